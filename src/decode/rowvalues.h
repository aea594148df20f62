// A decoded record as the values of a new table row: which field each value goes to.
#pragma once

#include "recorddecoder.h"

#include "table/newrow.h"

namespace darni::decode {

// Fills `to` afresh with the record's values, reusing its room.
void rowValuesOf(const DecodedRow& row, table::NewRow& to);

} // namespace darni::decode

// A decoded record as the values of a new table row: which field each value goes to.
#pragma once

#include "recorddecoder.h"

#include "table/newrow.h"

namespace darni::decode {

table::NewRow rowValuesOf(const DecodedRow& row);

} // namespace darni::decode

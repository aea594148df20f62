// Decoded rows into a table: each appended and posted as one new row.
#pragma once

#include "recorddecoder.h"

#include "table/dbftable.h"

#include <span>

namespace darni::decode {

// Throws TableError when the table cannot take a row; the rows posted before stay pending in the table.
void appendRows(table::DbfTable& table, std::span<const DecodedRow> rows);

} // namespace darni::decode

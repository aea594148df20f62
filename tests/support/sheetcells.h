// Reads a worksheet as the workbook writer reads it, for tests: the value of one cell.
#pragma once

#include "output/xls/xlssheetsource.h"

namespace darni::testing {

// The value of the range whose top left corner is at column, row: a text, a number (as the double the
// file stores), or an empty text for a blank cell and for no cell at all.
output::xls::XlsValue sheetCell(const output::xls::XlsSheetSource& sheet, int column, int row);

} // namespace darni::testing

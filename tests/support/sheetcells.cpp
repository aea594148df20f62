// Reads a worksheet as the workbook writer reads it.
#include "sheetcells.h"

#include <gtest/gtest.h>

namespace darni::testing {

output::xls::XlsValue sheetCell(const output::xls::XlsSheetSource& sheet, int column, int row)
{
    output::xls::XlsValue value = QString();
    for (const output::xls::XlsSheetCell& cell : sheet.rowCells(row)) {
        if (cell.bounds.left != column)
            continue;
        if (cell.number)
            value = *cell.number;
        else if (cell.text)
            value = *cell.text;
        if (cell.hasText != (cell.text && !cell.text->isEmpty()))
            ADD_FAILURE() << "a cell's hasText disagrees with its text at " << column << ',' << row;
    }
    return value;
}

} // namespace darni::testing

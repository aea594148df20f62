// Reads a worksheet as the workbook writer reads it.
#include "sheetcells.h"

#include <gtest/gtest.h>

namespace darni::testing {

output::xls::XlsValue sheetCell(const output::xls::XlsSheetSource& sheet, int column, int row)
{
    output::xls::XlsValue value = QString();
    sheet.visitRow(row, [&](const output::xls::XlsSheetCell& cell) {
        if (cell.bounds.left != column)
            return;
        if (cell.number)
            value = *cell.number;
        else if (cell.text)
            value = *cell.text;
        if (cell.hasText != (cell.text && !cell.text->isEmpty()))
            ADD_FAILURE() << "a cell's hasText disagrees with its text at " << column << ',' << row;
    });
    return value;
}

} // namespace darni::testing

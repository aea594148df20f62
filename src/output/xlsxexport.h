// "Экспорт в Excel 2007+ (.xlsx)": the rows of the page in view, in its order, as one worksheet with the
// same sixteen columns and header texts as the Excel 97-2003 export, written through libxlsxwriter.
// Numbers are numbers in the grid's format, a measurement not taken an empty cell; the header row is
// frozen and filtered, the columns as wide as their contents. A sheet holds 1,048,575 rows of data.
#pragma once

#include <QString>

namespace darni::table {
class RecordView;
}

namespace darni::output {

// Rows of data an Office Open XML worksheet holds below its header row.
inline constexpr int kMaxXlsxRows = 1'048'575;

// Writes the workbook; the file is replaced in one step, or left as it was. Throws files::UserError,
// before reading any row when the page has more rows than a worksheet holds.
void exportToXlsx(const table::RecordView& page, const QString& path);

} // namespace darni::output

// "Экспорт в Excel": the rows of the page the table shows, in its order, as one worksheet
// "ORNAK-ТР5" under a header row of sixteen columns. The layout is that of the ultrasonic tester on
// either page. Numbers are numbers (an empty one 0), texts are texts (an empty one a blank cell).
#pragma once

#include "table/recordschema.h"
#include "xls/xlsworkbook.h"

#include <QString>

#include <span>

namespace darni::table {
class RecordView;
}

namespace darni::output {

enum class ExportCell { Real, Integer, Text };
// What a text column holds that a spreadsheet can take as a date or a time of day: the .xlsx export
// writes such a text as a date or time cell (a text that is no calendar date stays text); the .xls
// and CSV exports keep the text.
enum class ExportCalendar { None, Date, Time };

struct ExportColumn
{
    const char16_t* header;
    table::Field field;
    ExportCell cell;
    // The number format as the grid shows the column, in Excel's notation; nullptr for the general
    // one. Formats the .xlsx export's numbers, dates and times (the .xls export writes its cells as it
    // always did).
    const char* numberFormat;
    ExportCalendar calendar = ExportCalendar::None;
};

std::span<const ExportColumn> exportColumns();

// A worksheet of Excel 97-2003 holds 65,536 rows, one of them the header row.
inline constexpr int kMaxExportRows = xls::XlsWorksheet::kMaxRow;

QString exportCaption();                         // "Экспорт в Excel"
QString exportSuccessMessage(const QString& path); // names the file without its folder

// Builds the workbook from the rows of the page, in the view's order. Throws xls::XlsError, before
// reading any row, when the page has more rows than a worksheet holds.
xls::XlsWorkbook exportWorkbook(const table::RecordView& page);

// exportWorkbook() written to the file, which is replaced. Throws xls::XlsError.
void exportToExcel(const table::RecordView& page, const QString& path);

// Columns as wide as their header texts, and never narrower than a sheet's default, in characters.
qsizetype headerColumnWidth(const ExportColumn& column);

} // namespace darni::output

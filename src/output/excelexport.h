// "Экспорт в Excel": the rows of the page the table shows, in its order, as one worksheet
// "ORNAK-ТР5" under a header row of sixteen columns. The layout is that of the ultrasonic tester on
// either page. Numbers are numbers, texts are texts; an empty one of either is a blank cell.
#pragma once

#include "table/recordschema.h"
#include "table/recordview.h"
#include "xls/xlssheetsource.h"
#include "xls/xlsworksheet.h"

#include <QString>

#include <map>
#include <span>
#include <vector>

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

QString exportCaption();                           // "Экспорт в Excel"
QString exportSuccessMessage(const QString& path); // names the file without its folder

// The page as the export's worksheet: the header row, then the rows of the page in the view's order.
// Each cell is made as the writer asks for it, so that no sheet of the page is ever held in memory.
class ExportSheet : public xls::XlsSheetSource
{
public:
    // Throws xls::XlsError, before reading any row, when the page has more rows than a worksheet holds.
    explicit ExportSheet(table::RecordView page);

    QString name() const override;
    xls::XlsBounds usedArea() const override;
    const std::map<int, double>& columnWidths() const override { return m_widths; }
    const xls::XlsPageSetup& pageSetup() const override { return m_pageSetup; }
    std::pair<int, int> columnSpan(int row) const override;
    std::span<const xls::XlsSheetCell> rowCells(int row, xls::XlsValueUse use = xls::XlsValueUse::Whole) const override;

private:
    table::RecordView m_page; // its own, so that a sheet made of a view just taken does not outlive it
    std::map<int, double> m_widths;
    xls::XlsPageSetup m_pageSetup;
    xls::XlsCellStyle m_style;
    // The row last asked for, and its cells' texts by column; their memory serves every row.
    mutable std::vector<xls::XlsSheetCell> m_cells;
    mutable std::vector<QString> m_texts;
};

// The workbook's title, which spreadsheet programs show as its author.
QString exportWorkbookTitle();

// The page's ExportSheet written to the file, which is replaced. Throws xls::XlsError.
void exportToExcel(const table::RecordView& page, const QString& path);

// Columns as wide as their header texts, and never narrower than a sheet's default, in characters.
qsizetype headerColumnWidth(const ExportColumn& column);

} // namespace darni::output

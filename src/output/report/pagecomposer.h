// Lays a report out on pages, independent of painting: the title on page 1, the column headings on
// every page, one framed data line per row of the page in view in the table's order, and the footer
// "Стр. N из M" on every page. Two passes: the number of pages is known before the first footer.
// The result is pages of positioned cells in report units, which a painter draws on any device and
// tests read as they are.
#pragma once

#include "reportlayout.h"
#include "textfitter.h"

#include "table/recordview.h"

#include <QRectF>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace darni::output::report {

struct PlacedCell
{
    QRectF rect;       // report units, from the paper's top left corner
    QStringList lines; // the text as it fits the cell
    Qt::Alignment alignment;
    CellFont font;
    bool framed;
    // The size the text is drawn in when the font's own would not fit it on one line (a number keeps
    // all its digits); 0 for the font's own size.
    double pointSize = 0;
};

struct ComposedPage
{
    std::vector<PlacedCell> cells;
};

struct ComposedReport
{
    const ReportLayout* layout = nullptr;
    std::vector<ComposedPage> pages;
};

// Rows a page holds when every row is as tall as the layout's: the first page holds fewer, below the
// title. A row grows where a number, a date or a time needs more lines than it holds; pages then hold
// fewer rows (PageByPageReport counts them).
int rowsOnFirstPage(const ReportLayout& layout);
int rowsOnOtherPages(const ReportLayout& layout);
int pageCount(const ReportLayout& layout, int rows);

struct PagePlan;

// The value of a field of a row as a report cell shows it; a blank number is blank, never 0.
QString reportValue(const table::RecordView& rows, int row, table::Field field, ValueFormat format);

// A report composed a page at a time, as a reader asks for its pages: which rows a page holds is
// planned once, from the layout and the few rows that may grow, so no page needs the ones before it
// and a preview can show the first page of any table at once. The rows are read through the view it
// holds (a stale view reads blank rows).
class PageByPageReport
{
public:
    PageByPageReport(table::RecordView rows, const ReportLayout& layout);
    ~PageByPageReport();
    PageByPageReport(PageByPageReport&&) noexcept;

    const ReportLayout& layout() const { return *m_layout; }
    const table::RecordView& rows() const { return m_rows; }
    int pageCount() const;
    // Page `index`, from 0.
    ComposedPage page(int index) const;
    // Every page, as composeReport() gives them; nothing when `progress` said stop.
    std::optional<ComposedReport> composeAll(const std::function<bool(int, int)>& progress = {}) const;

private:
    table::RecordView m_rows;
    const ReportLayout* m_layout;
    std::unique_ptr<TextFitter> m_fitter; // its measurements are kept from page to page
    std::unique_ptr<const PagePlan> m_plan;
};

// Reads the rows of the page in the view's order: the grids go on reading theirs.
// `progress` (rows done, rows in all) is asked now and then whether to go on; nothing when it says no.
std::optional<ComposedReport> composeReport(const table::RecordView& page, const ReportLayout& layout,
                                            const std::function<bool(int, int)>& progress = {});

} // namespace darni::output::report

// Lays a report out on pages.
#include "pagecomposer.h"

#include "table/cp1251.h"
#include "table/numbertext.h"
#include "table/recordview.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <utility>

namespace darni::output::report {

namespace {

constexpr int kProgressEveryRows = 256;
constexpr QChar kFixedDecimalComma = u',';
constexpr int kFixedDecimals = 2;
const QString kFooterText = QStringLiteral("Стр. %1 из %2");

int bodyTop(const ReportLayout& l, bool firstPage)
{
    return kOtherMargin + (firstPage ? l.titleHeight : 0) + l.headerHeight;
}

int footerTop(const ReportLayout& l)
{
    return l.pageHeight() - kOtherMargin - l.footerHeight;
}

// Numbers, dates and times are never cut or wrapped at words, as a part of one reads as another value.
bool keptWhole(table::Field field)
{
    return table::fieldSpec(field).valueType != table::ValueType::Text || field == table::Field::DATE ||
           field == table::Field::TIME;
}

// How much longer a number is shown than it is stored, at most: a "0" before a decimal comma that
// was stored without it, and ",00" after a whole number.
int shownGrowth(ValueFormat format)
{
    constexpr int kLeadingZero = 1;
    constexpr int kFixedDecimalsText = 2;
    return format == ValueFormat::Fixed2 ? kLeadingZero + kFixedDecimalsText : kLeadingZero;
}

// The longest text a column may show of a field stored this wide.
int longestShown(const ReportColumn& c, int storedWidth)
{
    if (table::fieldSpec(c.field).valueType == table::ValueType::Text)
        return storedWidth;
    // A number stored in another form than it is shown is written out with an exponent.
    return std::max(storedWidth + shownGrowth(c.format), table::kLongestNumberText);
}

double innerWidth(const ReportColumn& c)
{
    return c.width - 2 * kHorizontalInset;
}

// The height of a row whose data cells are `cellHeight` high.
int rowHeightFor(const ReportLayout& l, int cellHeight)
{
    return cellHeight + l.rowHeight - l.dataCellHeight;
}

// The height of the row, the layout's unless a number, a date or a time needs more lines than its cell
// holds; never more than the first page's body, so that every page holds a row.
int neededRowHeight(const table::RecordView& rows, int row, const ReportLayout& l, const TextFitter& fitter)
{
    double cellHeight = l.dataCellHeight;
    for (const ReportColumn& c : l.columns) {
        if (!keptWhole(c.field))
            continue;
        const auto whole = fitter.fitWhole(CellFont::Data, reportValue(rows, row, c.field, c.format), innerWidth(c));
        const double lines = static_cast<double>(whole.lines.size());
        cellHeight = std::max(cellHeight, lines * fitter.lineHeight(CellFont::Data, whole.points) + 2 * kVerticalInset);
    }
    const int height = rowHeightFor(l, static_cast<int>(std::ceil(cellHeight)));
    return std::min(height, footerTop(l) - bodyTop(l, true));
}

} // namespace

struct PagePlan
{
    // Rows taller than the layout's, by their place in the view, with their heights.
    std::vector<std::pair<int, int>> tallRows;
    // The first row of each page and, last, the number of rows; empty while no row is tall.
    std::vector<int> firstRows;

    int heightOf(int row, const ReportLayout& l) const
    {
        const auto it = std::lower_bound(tallRows.begin(), tallRows.end(), std::pair(row, 0));
        return it != tallRows.end() && it->first == row ? it->second : l.rowHeight;
    }
};

namespace {

// Only rows whose stored values are longer than their columns hold for sure are measured: in tables
// as the instrument fills them there are none, and the plan costs one read of a few fields.
std::unique_ptr<const PagePlan> planPages(const table::RecordView& rows, const ReportLayout& l,
                                          const TextFitter& fitter)
{
    auto plan = std::make_unique<PagePlan>();
    std::vector<table::RecordView::LengthLimit> limits;
    for (const ReportColumn& c : l.columns) {
        if (!keptWhole(c.field))
            continue;
        const bool isText = table::fieldSpec(c.field).valueType == table::ValueType::Text;
        const int capacity =
            fitter.wholeCapacity(CellFont::Data, innerWidth(c), l.dataCellHeight - 2 * kVerticalInset, isText);
        if (longestShown(c, rows.storedWidth(c.field)) > capacity)
            limits.push_back({c.field, capacity - (isText ? 0 : shownGrowth(c.format))});
    }
    for (const int row : rows.rowsLongerThan(limits)) {
        const int height = neededRowHeight(rows, row, l, fitter);
        if (height > l.rowHeight)
            plan->tallRows.emplace_back(row, height);
    }
    if (plan->tallRows.empty())
        return plan;
    plan->firstRows.push_back(0);
    int y = bodyTop(l, true);
    for (int row = 0; row < rows.size(); ++row) {
        const int height = plan->heightOf(row, l);
        if (y + height > footerTop(l) && row != plan->firstRows.back()) {
            plan->firstRows.push_back(row);
            y = bodyTop(l, false);
        }
        y += height;
    }
    plan->firstRows.push_back(rows.size());
    return plan;
}

// The rows of page `index`, [first, end).
std::pair<int, int> rowsOfPage(const PagePlan& plan, const ReportLayout& l, int rows, int index)
{
    if (!plan.firstRows.empty())
        return {plan.firstRows[static_cast<std::size_t>(index)], plan.firstRows[static_cast<std::size_t>(index) + 1]};
    const bool first = index == 0;
    const int from = first ? 0 : rowsOnFirstPage(l) + (index - 1) * rowsOnOtherPages(l);
    return {std::min(from, rows), std::min(rows, from + (first ? rowsOnFirstPage(l) : rowsOnOtherPages(l)))};
}

class Composer
{
public:
    Composer(const table::RecordView& rows, const ReportLayout& layout, const TextFitter& fitter, const PagePlan& plan,
             int pages)
        : m_rows(rows), m_layout(layout), m_fitter(fitter), m_plan(plan), m_pages(pages)
    {
    }

    // Page `index` (from 0) with the rows that the plan puts on it.
    ComposedPage compose(int index)
    {
        ComposedPage page;
        m_page = &page;
        startPage(index == 0);
        const auto [from, to] = rowsOfPage(m_plan, m_layout, m_rows.size(), index);
        // The rows' fields lie all over their records, and a long page's records are far apart in a
        // table too large for the processor's caches: each is asked for a few rows before it is read.
        constexpr int kRowsAhead = 2;
        for (int row = from; row < std::min(to, from + kRowsAhead); ++row)
            m_rows.prefetchRow(row);
        for (int row = from; row < to; ++row) {
            if (row + kRowsAhead < to)
                m_rows.prefetchRow(row + kRowsAhead);
            addRow(row);
        }
        finishPage(index + 1);
        m_page = nullptr;
        return page;
    }

private:
    void startPage(bool first)
    {
        int y = kOtherMargin;
        if (first) {
            addTitle(y);
            y += m_layout.titleHeight;
        }
        for (const ReportColumn& c : m_layout.columns) {
            add(QRectF(c.x, y + m_layout.headingTopOffset, c.width, m_layout.headerHeight),
                QString::fromUtf16(c.heading), Qt::AlignCenter, CellFont::Heading, true);
        }
        m_y = y + m_layout.headerHeight;
    }

    void addRow(int row)
    {
        const int height = m_plan.heightOf(row, m_layout);
        const int cellHeight = m_layout.dataCellHeight + height - m_layout.rowHeight;
        for (const ReportColumn& c : m_layout.columns) {
            const QRectF rect(c.x, m_y, c.width, cellHeight);
            const QString value = reportValue(m_rows, row, c.field, c.format);
            if (keptWhole(c.field))
                addWhole(rect, value, c.dataAlignment);
            else
                add(rect, value, c.dataAlignment, CellFont::Data, true);
        }
        m_y += height;
    }

    void finishPage(int number)
    {
        const int right = m_layout.pageWidth() - kOtherMargin;
        add(QRectF(kLeftMargin, footerTop(m_layout), right - kLeftMargin, m_layout.footerHeight),
            kFooterText.arg(number).arg(m_pages), Qt::AlignRight | Qt::AlignVCenter, CellFont::Footer, false);
    }

    void addTitle(int y)
    {
        QString text = QString::fromUtf16(m_layout.titleText);
        if (m_layout.titleHasSerial)
            text += reportValue(m_rows, kTitleRow, table::Field::SERIAL, ValueFormat::General);
        add(QRectF(kLeftMargin, y, m_layout.titleWidth, m_layout.titleHeight), text, Qt::AlignLeft | Qt::AlignTop,
            CellFont::Title, false);
    }

    void addWhole(const QRectF& rect, const QString& text, Qt::Alignment alignment)
    {
        if (text.isEmpty()) {
            add(rect, text, alignment, CellFont::Data, true);
            return;
        }
        auto whole = m_fitter.fitWhole(CellFont::Data, text, rect.width() - 2 * kHorizontalInset);
        m_page->cells.push_back({rect, std::move(whole.lines), alignment, CellFont::Data, true, whole.points});
    }

    void add(const QRectF& rect, const QString& text, Qt::Alignment alignment, CellFont font, bool framed)
    {
        const double innerWidth = rect.width() - 2 * kHorizontalInset;
        const double innerHeight = rect.height() - 2 * kVerticalInset;
        m_page->cells.push_back({rect, m_fitter.fit(font, text, innerWidth, innerHeight), alignment, font, framed, 0});
    }

    // The title names the serial number of the page's first row.
    static constexpr int kTitleRow = 0;

    const table::RecordView& m_rows;
    const ReportLayout& m_layout;
    const TextFitter& m_fitter;
    const PagePlan& m_plan;
    int m_pages;
    ComposedPage* m_page = nullptr;
    int m_y = 0;
};

} // namespace

int rowsOnFirstPage(const ReportLayout& l)
{
    return (footerTop(l) - bodyTop(l, true)) / l.rowHeight;
}

int rowsOnOtherPages(const ReportLayout& l)
{
    return (footerTop(l) - bodyTop(l, false)) / l.rowHeight;
}

int pageCount(const ReportLayout& l, int rows)
{
    const int first = rowsOnFirstPage(l);
    if (rows <= first)
        return 1;
    const int others = rowsOnOtherPages(l);
    return 1 + (rows - first + others - 1) / others;
}

QString reportValue(const table::RecordView& rows, int row, table::Field field, ValueFormat format)
{
    const bool isText = table::fieldSpec(field).valueType == table::ValueType::Text;
    if (isText)
        return table::cp1251::toUnicode(rows.text(row, field));
    const auto number = rows.number(row, field);
    // A measurement not taken is not a measured zero.
    if (!number)
        return {};
    const double value = *number;
    // From 10^15 on, two decimals would write out every digit of a number that has only fifteen.
    if (format == ValueFormat::Fixed2 && std::fabs(value) < table::kFirstExponentValue)
        return QString::number(value, 'f', kFixedDecimals).replace(u'.', kFixedDecimalComma);
    return table::numberText(value);
}

PageByPageReport::PageByPageReport(table::RecordView rows, const ReportLayout& layout)
    : m_rows(std::move(rows)), m_layout(&layout), m_fitter(std::make_unique<TextFitter>(layout.headingFontPoints)),
      m_plan(planPages(m_rows, layout, *m_fitter))
{
}

PageByPageReport::~PageByPageReport() = default;
PageByPageReport::PageByPageReport(PageByPageReport&&) noexcept = default;

int PageByPageReport::pageCount() const
{
    if (!m_plan->firstRows.empty())
        return static_cast<int>(m_plan->firstRows.size()) - 1;
    return report::pageCount(*m_layout, m_rows.size());
}

ComposedPage PageByPageReport::page(int index) const
{
    return Composer(m_rows, *m_layout, *m_fitter, *m_plan, pageCount()).compose(index);
}

std::optional<ComposedReport> PageByPageReport::composeAll(const std::function<bool(int, int)>& progress) const
{
    const int rows = m_rows.size();
    const int pages = pageCount();
    ComposedReport report;
    report.layout = m_layout;
    report.pages.reserve(static_cast<std::size_t>(pages));
    Composer composer(m_rows, *m_layout, *m_fitter, *m_plan, pages);
    int told = 0;
    for (int index = 0; index < pages; ++index) {
        report.pages.push_back(composer.compose(index));
        const int done = rowsOfPage(*m_plan, *m_layout, rows, index).second;
        if (progress && done / kProgressEveryRows > told / kProgressEveryRows && done < rows) {
            told = done;
            if (!progress(done, rows))
                return std::nullopt;
        }
    }
    if (progress && !progress(rows, rows))
        return std::nullopt;
    return report;
}

std::optional<ComposedReport> composeReport(const table::RecordView& page, const ReportLayout& layout,
                                            const std::function<bool(int, int)>& progress)
{
    return PageByPageReport(page, layout).composeAll(progress);
}

} // namespace darni::output::report

// Lays a report out on pages.
#include "pagecomposer.h"

#include "table/cp1251.h"
#include "table/recordview.h"
#include "table/numbertext.h"

#include <QLocale>

#include <algorithm>

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

class Composer
{
public:
    Composer(const table::RecordView& rows, const ReportLayout& layout, const TextFitter& fitter, int pages)
        : m_rows(rows), m_layout(layout), m_fitter(fitter), m_pages(pages)
    {
    }

    // Page `index` (from 0) with the rows that the layout puts on it.
    ComposedPage compose(int index)
    {
        ComposedPage page;
        m_page = &page;
        const bool first = index == 0;
        startPage(first);
        const int from = first ? 0 : rowsOnFirstPage(m_layout) + (index - 1) * rowsOnOtherPages(m_layout);
        const int to = std::min(m_rows.size(), from + (first ? rowsOnFirstPage(m_layout) : rowsOnOtherPages(m_layout)));
        for (int row = from; row < to; ++row)
            addRow(row);
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
            add(QRectF(c.x, y + m_layout.headingTopOffset, c.width, m_layout.headerHeight), QString::fromUtf16(c.heading),
                Qt::AlignCenter, CellFont::Heading, true);
        }
        m_y = y + m_layout.headerHeight;
    }

    void addRow(int row)
    {
        for (const ReportColumn& c : m_layout.columns) {
            const QRectF rect(c.x, m_y, c.width, m_layout.dataCellHeight);
            const QString value = reportValue(m_rows, row, c.field, c.format);
            if (keptWhole(c.field))
                addNumber(rect, value, c.dataAlignment);
            else
                add(rect, value, c.dataAlignment, CellFont::Data, true);
        }
        m_y += m_layout.rowHeight;
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

    // Numbers, dates and times are never cut or wrapped, as a part of one reads as another value.
    static bool keptWhole(table::Field field)
    {
        return table::fieldSpec(field).valueType != table::ValueType::Text || field == table::Field::DATE ||
               field == table::Field::TIME;
    }

    // A number stays on one line: where it is wider than its cell it is drawn smaller.
    void addNumber(const QRectF& rect, const QString& text, Qt::Alignment alignment)
    {
        const double innerWidth = rect.width() - 2 * kHorizontalInset;
        const auto points = m_fitter.shrunkPoints(CellFont::Data, text, innerWidth);
        if (!points) {
            add(rect, text, alignment, CellFont::Data, true);
            return;
        }
        m_page->cells.push_back({rect, {text}, alignment, CellFont::Data, true, *points});
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
    if (format == ValueFormat::Fixed2)
        return QString::number(value, 'f', kFixedDecimals).replace(u'.', kFixedDecimalComma);
    return table::numberText(value);
}

PageByPageReport::PageByPageReport(table::RecordView rows, const ReportLayout& layout)
    : m_rows(std::move(rows)), m_layout(&layout), m_fitter(std::make_unique<TextFitter>(layout.headingFontPoints))
{
}

PageByPageReport::~PageByPageReport() = default;
PageByPageReport::PageByPageReport(PageByPageReport&&) noexcept = default;

int PageByPageReport::pageCount() const
{
    return report::pageCount(*m_layout, m_rows.size());
}

ComposedPage PageByPageReport::page(int index) const
{
    return Composer(m_rows, *m_layout, *m_fitter, pageCount()).compose(index);
}

std::optional<ComposedReport> PageByPageReport::composeAll(const std::function<bool(int, int)>& progress) const
{
    const int rows = m_rows.size();
    const int pages = pageCount();
    ComposedReport report;
    report.layout = m_layout;
    report.pages.reserve(static_cast<std::size_t>(pages));
    Composer composer(m_rows, *m_layout, *m_fitter, pages);
    int told = 0;
    for (int index = 0; index < pages; ++index) {
        report.pages.push_back(composer.compose(index));
        const int done = std::min(rows, rowsOnFirstPage(*m_layout) + index * rowsOnOtherPages(*m_layout));
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

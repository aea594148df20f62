// Lays a report out on pages.
#include "pagecomposer.h"

#include "table/cp1251.h"
#include "table/dbftable.h"
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
    Composer(table::DbfTable& table, const ReportLayout& layout, int pages)
        : m_table(table), m_layout(layout), m_fitter(layout.headingFontPoints), m_pages(pages)
    {
    }

    void startPage(ComposedReport& report, bool first)
    {
        report.pages.emplace_back();
        m_page = &report.pages.back();
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

    bool rowFits() const { return m_y + m_layout.rowHeight <= footerTop(m_layout); }

    void addRow()
    {
        for (const ReportColumn& c : m_layout.columns) {
            add(QRectF(c.x, m_y, c.width, m_layout.dataCellHeight), reportValue(m_table, c.field, c.format),
                c.dataAlignment, CellFont::Data, true);
        }
        m_y += m_layout.rowHeight;
    }

    void finishPage(int number)
    {
        const int right = m_layout.pageWidth() - kOtherMargin;
        add(QRectF(kLeftMargin, footerTop(m_layout), right - kLeftMargin, m_layout.footerHeight),
            kFooterText.arg(number).arg(m_pages), Qt::AlignRight | Qt::AlignVCenter, CellFont::Footer, false);
    }

private:
    void addTitle(int y)
    {
        QString text = QString::fromUtf16(m_layout.titleText);
        if (m_layout.titleHasSerial)
            text += reportValue(m_table, table::Field::SERIAL, ValueFormat::General);
        add(QRectF(kLeftMargin, y, m_layout.titleWidth, m_layout.titleHeight), text, Qt::AlignLeft | Qt::AlignTop,
            CellFont::Title, false);
    }

    void add(const QRectF& rect, const QString& text, Qt::Alignment alignment, CellFont font, bool framed)
    {
        const double innerWidth = rect.width() - 2 * kHorizontalInset;
        const double innerHeight = rect.height() - 2 * kVerticalInset;
        m_page->cells.push_back({rect, m_fitter.fit(font, text, innerWidth, innerHeight), alignment, font, framed});
    }

    table::DbfTable& m_table;
    const ReportLayout& m_layout;
    TextFitter m_fitter;
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

QString reportValue(const table::DbfTable& t, table::Field field, ValueFormat format)
{
    const bool isText = table::fieldSpec(field).valueType == table::ValueType::Text;
    if (isText)
        return table::cp1251::toUnicode(t.text(field));
    const double value = t.real(field);
    if (format == ValueFormat::Fixed2)
        return QString::number(value, 'f', kFixedDecimals).replace(u'.', kFixedDecimalComma);
    return table::numberText(value);
}

std::optional<ComposedReport> composeReport(table::DbfTable& t, const ReportLayout& layout,
                                            const std::function<bool(int, int)>& progress)
{
    // First pass: how many rows, so how many pages.
    const int rows = t.count();
    const int pages = pageCount(layout, rows);

    ComposedReport report;
    report.layout = &layout;
    report.pages.reserve(static_cast<std::size_t>(pages));
    Composer composer(t, layout, pages);
    bool more = t.first();
    composer.startPage(report, true);
    int done = 0;
    while (more && done < rows) {
        if (!composer.rowFits()) {
            composer.finishPage(static_cast<int>(report.pages.size()));
            composer.startPage(report, false);
        }
        composer.addRow();
        ++done;
        if (progress && done % kProgressEveryRows == 0 && !progress(done, rows))
            return std::nullopt;
        // The cursor stays on the last row printed.
        if (done < rows)
            more = t.next();
    }
    composer.finishPage(static_cast<int>(report.pages.size()));
    if (progress && !progress(rows, rows))
        return std::nullopt;
    return report;
}

} // namespace darni::output::report

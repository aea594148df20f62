// Draws composed report pages.
#include "reportpainter.h"

#include "files/atomicfile.h"
#include "files/fileerror.h"

#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPdfWriter>
#include <QStaticText>

#include <array>

namespace darni::output::report {

namespace {

constexpr double kFrameWidthUnits = 1.0;
constexpr int kPdfDotsPerInch = 1200;

QRectF onDevice(const QRectF& units, double scale)
{
    return {units.x() * scale, units.y() * scale, units.width() * scale, units.height() * scale};
}

// Draws lines of text with their layout prepared once per text and font: reports repeat their texts.
class TextDrawer
{
public:
    TextDrawer(const TextFitter& fitter, QPaintDevice& device) : m_fitter(fitter), m_device(device) {}

    void draw(QPainter& painter, const PlacedCell& cell, const QRectF& inner)
    {
        const auto f = static_cast<std::size_t>(cell.font);
        QFont font = m_fitter.font(cell.font);
        if (cell.pointSize > 0)
            font.setPointSizeF(cell.pointSize);
        painter.setFont(font);
        const QFontMetricsF metrics(font, &m_device);
        const double lineHeight = metrics.height();
        const double blockHeight = lineHeight * static_cast<double>(cell.lines.size());
        double y = inner.top();
        if (cell.alignment.testFlag(Qt::AlignVCenter))
            y += (inner.height() - blockHeight) / 2;
        else if (cell.alignment.testFlag(Qt::AlignBottom))
            y += inner.height() - blockHeight;
        for (const QString& line : cell.lines) {
            // A text drawn smaller than its font is rare; it is laid out on its own.
            QStaticText own;
            if (cell.pointSize > 0) {
                own.setText(line);
                own.setTextFormat(Qt::PlainText);
                own.prepare(painter.transform(), font);
            }
            QStaticText& text = cell.pointSize > 0 ? own : prepared(f, line, painter);
            const double width = text.size().width();
            double x = inner.left();
            if (cell.alignment.testFlag(Qt::AlignHCenter))
                x += (inner.width() - width) / 2;
            else if (cell.alignment.testFlag(Qt::AlignRight))
                x += inner.width() - width;
            painter.drawStaticText(QPointF(x, y), text);
            y += lineHeight;
        }
    }

private:
    QStaticText& prepared(std::size_t font, const QString& line, QPainter& painter)
    {
        auto& cache = m_texts[font];
        auto it = cache.find(line);
        if (it == cache.end()) {
            it = cache.insert(line, QStaticText(line));
            it->setTextFormat(Qt::PlainText);
            it->prepare(painter.transform(), painter.font());
        }
        return *it;
    }

    const TextFitter& m_fitter;
    QPaintDevice& m_device;
    std::array<QHash<QString, QStaticText>, 4> m_texts;
};

void paintPage(QPainter& painter, const ComposedPage& page, TextDrawer& drawer, double scale)
{
    QPen frame(Qt::black);
    frame.setWidthF(kFrameWidthUnits * scale);
    for (const PlacedCell& cell : page.cells) {
        const QRectF rect = onDevice(cell.rect, scale);
        if (cell.framed) {
            painter.setPen(frame);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect);
        }
        if (cell.lines.isEmpty())
            continue;
        const QRectF inner = rect.adjusted(kHorizontalInset * scale, kVerticalInset * scale, -kHorizontalInset * scale,
                                           -kVerticalInset * scale);
        // The lines were fitted to the cell, so no clipping is needed to keep them inside it.
        painter.setPen(Qt::black);
        drawer.draw(painter, cell, inner);
    }
}

} // namespace

bool paintReport(const ComposedReport& report, QPagedPaintDevice& device, const QPageRanges& only)
{
    const ReportLayout& layout = *report.layout;
    QPageLayout page(QPageSize(QPageSize::A4), layout.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                     QMarginsF(0, 0, 0, 0));
    page.setMode(QPageLayout::FullPageMode);
    device.setPageLayout(page);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double scale = device.logicalDpiX() / kUnitsPerInch;
    const TextFitter fitter(layout.headingFontPoints);
    TextDrawer drawer(fitter, device);
    bool first = true;
    for (std::size_t i = 0; i < report.pages.size(); ++i) {
        if (!only.isEmpty() && !only.contains(static_cast<int>(i) + 1))
            continue;
        if (!first)
            device.newPage();
        first = false;
        paintPage(painter, report.pages[i], drawer, scale);
    }
    return painter.end();
}

void writeReportPdf(const ComposedReport& report, const QString& path)
{
    files::AtomicFile file(path);
    {
        QPdfWriter pdf(&file.device());
        pdf.setResolution(kPdfDotsPerInch);
        pdf.setTitle(QString::fromLatin1(report.layout->name));
        if (!paintReport(report, pdf))
            throw files::FileError(files::FileCause::Other,
                                   QStringLiteral("Не удалось составить отчет для файла %1.").arg(path));
    } // the writer finishes the document as it goes
    file.commit();
}

} // namespace darni::output::report

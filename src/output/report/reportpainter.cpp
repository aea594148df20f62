// Draws composed report pages.
#include "reportpainter.h"

#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

namespace darni::output::report {

namespace {

constexpr double kFrameWidthUnits = 1.0;

QRectF onDevice(const QRectF& units, double scale)
{
    return {units.x() * scale, units.y() * scale, units.width() * scale, units.height() * scale};
}

void paintPage(QPainter& painter, const ComposedPage& page, const TextFitter& fitter, double scale)
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
        painter.save();
        painter.setClipRect(rect);
        painter.setPen(Qt::black);
        painter.setFont(fitter.font(cell.font));
        painter.drawText(inner, static_cast<int>(cell.alignment), cell.lines.join(u'\n'));
        painter.restore();
    }
}

} // namespace

bool paintReport(const ComposedReport& report, QPagedPaintDevice& device, const QPageRanges& only)
{
    const ReportLayout& layout = *report.layout;
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                     layout.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0)));
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double scale = device.logicalDpiX() / kUnitsPerInch;
    const TextFitter fitter(layout.headingFontPoints);
    bool first = true;
    for (std::size_t i = 0; i < report.pages.size(); ++i) {
        if (!only.isEmpty() && !only.contains(static_cast<int>(i) + 1))
            continue;
        if (!first)
            device.newPage();
        first = false;
        paintPage(painter, report.pages[i], fitter, scale);
    }
    return painter.end();
}

} // namespace darni::output::report

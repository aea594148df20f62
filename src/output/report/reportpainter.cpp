// Draws composed report pages.
#include "reportpainter.h"

#include "files/atomicfile.h"
#include "files/fileerror.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

#include <array>
#include <optional>
#include <vector>

namespace darni::output::report {

namespace {

constexpr double kFrameWidthUnits = 1.0;
constexpr int kPdfDotsPerInch = 1200;
constexpr double kMetresPerInch = 0.0254;
constexpr qsizetype kMostTextsKept = 4096;

QRectF onDevice(const QRectF& units, double scale)
{
    return {units.x() * scale, units.y() * scale, units.width() * scale, units.height() * scale};
}

// Draws lines of text as glyph runs laid out once per text and font: reports repeat their texts, and a
// PDF or printer engine would otherwise lay out every text it is given afresh.
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
        // Most cells share the font of the one before: the painter changes state only when it differs.
        if (f != m_lastFont || cell.pointSize != m_lastPointSize) {
            painter.setFont(font);
            m_lastFont = f;
            m_lastPointSize = cell.pointSize;
        }
        const double lineHeight =
            cell.pointSize > 0 ? QFontMetricsF(font, &m_device).height() : this->lineHeight(f, font);
        const double blockHeight = lineHeight * static_cast<double>(cell.lines.size());
        double y = inner.top();
        if (cell.alignment.testFlag(Qt::AlignVCenter))
            y += (inner.height() - blockHeight) / 2;
        else if (cell.alignment.testFlag(Qt::AlignBottom))
            y += inner.height() - blockHeight;
        for (const QString& line : cell.lines) {
            // A text drawn smaller than its font is rare; it is laid out on its own.
            const PreparedText own = cell.pointSize > 0 ? layOut(line, font) : PreparedText{};
            const PreparedText& text = cell.pointSize > 0 ? own : prepared(f, line, font);
            double x = inner.left();
            if (cell.alignment.testFlag(Qt::AlignHCenter))
                x += (inner.width() - text.width) / 2;
            else if (cell.alignment.testFlag(Qt::AlignRight))
                x += inner.width() - text.width;
            for (const QGlyphRun& run : text.runs)
                painter.drawGlyphRun(QPointF(x, y), run);
            y += lineHeight;
        }
    }

private:
    double lineHeight(std::size_t f, const QFont& font)
    {
        if (!m_lineHeights[f])
            m_lineHeights[f] = QFontMetricsF(font, &m_device).height();
        return *m_lineHeights[f];
    }

    struct PreparedText
    {
        QList<QGlyphRun> runs; // positioned from the line's top left corner
        double width = 0;
    };

    PreparedText layOut(const QString& line, const QFont& font) const
    {
        QTextLayout layout(line, font, &m_device);
        layout.beginLayout();
        QTextLine textLine = layout.createLine();
        layout.endLayout();
        if (!textLine.isValid())
            return {};
        return {layout.glyphRuns(), textLine.naturalTextWidth()};
    }

    const PreparedText& prepared(std::size_t font, const QString& line, const QFont& qfont)
    {
        auto& cache = m_texts[font];
        auto it = cache.find(line);
        if (it == cache.end()) {
            // Row numbers and times rarely come again: a long report would otherwise keep every one.
            if (cache.size() >= kMostTextsKept)
                cache.clear();
            it = cache.insert(line, layOut(line, qfont));
        }
        return *it;
    }

    const TextFitter& m_fitter;
    QPaintDevice& m_device;
    std::array<QHash<QString, PreparedText>, 4> m_texts;
    std::array<std::optional<double>, 4> m_lineHeights;
    std::size_t m_lastFont = m_texts.size(); // none yet
    double m_lastPointSize = 0;
};

void paintPage(QPainter& painter, const ComposedPage& page, TextDrawer& drawer, double scale)
{
    // The frames first, all in one call: one state for the lines, one for the texts.
    QPen frame(Qt::black);
    frame.setWidthF(kFrameWidthUnits * scale);
    std::vector<QRectF> frames;
    frames.reserve(page.cells.size());
    for (const PlacedCell& cell : page.cells) {
        if (cell.framed)
            frames.push_back(onDevice(cell.rect, scale));
    }
    painter.setPen(frame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRects(frames.data(), static_cast<int>(frames.size()));
    painter.setPen(Qt::black);
    for (const PlacedCell& cell : page.cells) {
        if (cell.lines.isEmpty())
            continue;
        const QRectF rect = onDevice(cell.rect, scale);
        const QRectF inner = rect.adjusted(kHorizontalInset * scale, kVerticalInset * scale, -kHorizontalInset * scale,
                                           -kVerticalInset * scale);
        // The lines were fitted to the cell, so no clipping is needed to keep them inside it.
        drawer.draw(painter, cell, inner);
    }
}

} // namespace

namespace {

// Draws `pages` pages, asking `pageAt` for each only as it is drawn.
PaintOutcome paintPages(const ReportLayout& layout, int pages, const std::function<ComposedPage(int)>& pageAt,
                        QPagedPaintDevice& device, const QPageRanges& only,
                        const std::function<bool(int, int)>& progress)
{
    QPageLayout page(QPageSize(QPageSize::A4), layout.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                     QMarginsF(0, 0, 0, 0));
    page.setMode(QPageLayout::FullPageMode);
    device.setPageLayout(page);
    QPainter painter;
    if (!painter.begin(&device))
        return PaintOutcome::DeviceRefused;
    const double scale = device.logicalDpiX() / kUnitsPerInch;
    const TextFitter fitter(layout.headingFontPoints);
    TextDrawer drawer(fitter, device);
    bool first = true;
    for (int i = 0; i < pages; ++i) {
        if (!only.isEmpty() && !only.contains(i + 1))
            continue;
        if (!first)
            device.newPage();
        first = false;
        paintPage(painter, pageAt(i), drawer, scale);
        if (progress && !progress(i + 1, pages)) {
            painter.end();
            return PaintOutcome::Stopped;
        }
    }
    return painter.end() ? PaintOutcome::Painted : PaintOutcome::DeviceRefused;
}

} // namespace

PaintOutcome paintReport(const PageByPageReport& report, QPagedPaintDevice& device, const QPageRanges& only,
                         const std::function<bool(int, int)>& progress)
{
    return paintPages(
        report.layout(), report.pageCount(), [&report](int i) { return report.page(i); }, device, only, progress);
}

bool paintReport(const ComposedReport& report, QPagedPaintDevice& device, const QPageRanges& only)
{
    const auto pageAt = [&report](int i) { return report.pages[static_cast<std::size_t>(i)]; };
    return paintPages(*report.layout, static_cast<int>(report.pages.size()), pageAt, device, only, {}) ==
           PaintOutcome::Painted;
}

void paintReportPage(QPainter& painter, const ComposedPage& page, const ReportLayout& layout, double scale)
{
    // The page is laid out exactly as the PDF lays it out, at the PDF's resolution, and then scaled to
    // the screen as a whole, texts with their frames: laid out for the screen's own resolution and
    // zoom, fonts would keep their size while the cells shrink, and texts would run into each other.
    static QImage reference = [] {
        QImage image(1, 1, QImage::Format_Mono);
        image.setDotsPerMeterX(qRound(kPdfDotsPerInch / kMetresPerInch));
        image.setDotsPerMeterY(qRound(kPdfDotsPerInch / kMetresPerInch));
        return image;
    }();
    const double referenceScale = reference.logicalDpiX() / kUnitsPerInch;
    const TextFitter fitter(layout.headingFontPoints);
    TextDrawer drawer(fitter, reference);
    painter.save();
    painter.scale(scale / referenceScale, scale / referenceScale);
    paintPage(painter, page, drawer, referenceScale);
    painter.restore();
}

namespace {

// Paints into a PDF that takes the target's place only once whole.
PaintOutcome writePdf(const QString& path, const char* title,
                      const std::function<PaintOutcome(QPagedPaintDevice&)>& paint)
{
    files::AtomicFile file(path);
    PaintOutcome outcome = PaintOutcome::Painted;
    {
        QPdfWriter pdf(&file.device());
        pdf.setResolution(kPdfDotsPerInch);
        pdf.setTitle(QString::fromLatin1(title));
        outcome = paint(pdf);
    } // the writer finishes the document as it goes
    if (outcome == PaintOutcome::DeviceRefused)
        throw files::FileError(files::FileCause::Other,
                               QStringLiteral("Не удалось составить отчет для файла %1.").arg(path));
    if (outcome == PaintOutcome::Painted)
        file.commit();
    return outcome;
}

} // namespace

bool writeReportPdf(const PageByPageReport& report, const QString& path, const std::function<bool(int, int)>& progress)
{
    return writePdf(path, report.layout().name, [&](QPagedPaintDevice& pdf) {
               return paintReport(report, pdf, {}, progress);
           }) == PaintOutcome::Painted;
}

void writeReportPdf(const ComposedReport& report, const QString& path)
{
    (void)writePdf(path, report.layout->name, [&](QPagedPaintDevice& pdf) {
        return paintReport(report, pdf) ? PaintOutcome::Painted : PaintOutcome::DeviceRefused;
    });
}

} // namespace darni::output::report

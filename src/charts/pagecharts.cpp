// The three charts of a page, drawn with Qt Charts.
#include "pagecharts.h"

#include "table/numbertext.h"

#include "files/atomicfile.h"
#include "files/fileerror.h"

#include <QBuffer>
#include <QDate>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace darni::charts {

namespace {

// A picture of one chart, and a PDF page's resolution.
constexpr QSize kChartPixels(1000, 600);
constexpr int kPdfResolution = 300;
const QColor kBarOutline(0x1f, 0x3a, 0x5f);
const QColor kBarFill(0xa9, 0xc4, 0xe4);
constexpr int kBarOutlineWidth = 2;
// The caption above saved charts: its height in the picture's pixels and its font's.
constexpr int kCaptionPixels = 90;
constexpr int kCaptionFontPixels = 18;
constexpr double kCaptionMarginShare = 0.25;
constexpr double kAxisPadding = 0.05; // of the values' span, on each side
constexpr double kSpanOfOneValue = 1.0;
constexpr qreal kScatterMarker = 7.0;
constexpr double kMostCountTicks = 8;

struct Range
{
    double low;
    double high;
};

Range paddedRange(double low, double high)
{
    if (low > high)
        return {0, kSpanOfOneValue};
    const double pad = high > low ? (high - low) * kAxisPadding : kSpanOfOneValue;
    return {low - pad, high + pad};
}

Range rangeOf(const std::vector<QPointF>& points, bool alongY)
{
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    for (const QPointF& p : points) {
        const double v = alongY ? p.y() : p.x();
        low = std::min(low, v);
        high = std::max(high, v);
    }
    return paddedRange(low, high);
}

QValueAxis* axis(QChart& chart, const QString& title, Range range, Qt::Alignment side)
{
    auto* a = new QValueAxis(&chart);
    a->setTitleText(title);
    a->setRange(range.low, range.high);
    // Ticks on round values (3500, 4000, …), as a reader reads a scale.
    a->applyNiceNumbers();
    chart.addAxis(a, side);
    return a;
}

QString capitalised(const QString& word)
{
    return word.isEmpty() ? word : word.left(1).toUpper() + word.mid(1);
}

QLineSeries* line(QChart& chart, const QString& name, const std::vector<QPointF>& points)
{
    auto* series = new QLineSeries(&chart);
    series->setName(name);
    series->append(QList<QPointF>(points.begin(), points.end()));
    chart.addSeries(series);
    return series;
}

void attach(QAbstractSeries& series, QValueAxis& x, QValueAxis& y)
{
    series.attachAxis(&x);
    series.attachAxis(&y);
}

void buildAlongRows(QChart& chart, const output::ChartData& d)
{
    auto* rows =
        axis(chart, QStringLiteral("Строка"), {1, std::max(2.0, static_cast<double>(d.rows))}, Qt::AlignBottom);
    rows->setLabelFormat(QStringLiteral("%.0f"));
    auto* firstAxis = axis(chart, d.firstTitle, rangeOf(d.first, true), Qt::AlignLeft);
    auto* secondAxis = axis(chart, d.secondTitle, rangeOf(d.second, true), Qt::AlignRight);
    attach(*line(chart, d.firstTitle, d.first), *rows, *firstAxis);
    attach(*line(chart, d.secondTitle, d.second), *rows, *secondAxis);
}

void buildHistogram(QChart& chart, const output::ChartData& d)
{
    const output::Histogram& h = d.secondHistogram;
    const table::SeriesSpread& s = d.secondSpread;
    const double top = std::max(1, h.highestCount());
    // The bins as one stepped outline, filled below.
    std::vector<QPointF> outline{{h.lower, 0}};
    for (std::size_t bin = 0; bin < h.counts.size(); ++bin) {
        const double left = h.lower + h.binWidth * static_cast<double>(bin);
        outline.emplace_back(left, h.counts[bin]);
        outline.emplace_back(left + h.binWidth, h.counts[bin]);
    }
    outline.emplace_back(h.upper(), 0);
    double low = h.counts.empty() ? 0 : h.lower;
    double high = h.counts.empty() ? kSpanOfOneValue : h.upper();
    if (s.count > 0) {
        low = std::min(low, s.mean - s.standardDeviation);
        high = std::max(high, s.mean + s.standardDeviation);
    }
    auto* values = axis(chart, d.secondTitle, {low, high}, Qt::AlignBottom);
    auto* counts = axis(chart, QStringLiteral("Число строк"), {0, top + 1}, Qt::AlignLeft);
    counts->setLabelFormat(QStringLiteral("%.0f"));
    // Whole counts on the ticks.
    counts->setTickType(QValueAxis::TicksDynamic);
    counts->setTickAnchor(0);
    counts->setTickInterval(std::max(1.0, std::ceil((top + 1) / kMostCountTicks)));

    auto* upper = new QLineSeries(&chart);
    upper->append(QList<QPointF>(outline.begin(), outline.end()));
    auto* bins = new QAreaSeries(upper);
    bins->setName(QStringLiteral("Гистограмма"));
    // Bars with a dark outline over a light fill, readable on paper and in grey.
    bins->setPen(QPen(kBarOutline, kBarOutlineWidth));
    bins->setBrush(kBarFill);
    chart.addSeries(bins);
    attach(*bins, *values, *counts);
    if (s.count == 0)
        return;
    const struct
    {
        QString name;
        double at;
    } marks[] = {{QStringLiteral("Среднее"), s.mean},
                 {QStringLiteral("Среднее − σ"), s.mean - s.standardDeviation},
                 {QStringLiteral("Среднее + σ"), s.mean + s.standardDeviation}};
    for (const auto& mark : marks) {
        QLineSeries* l = line(chart, mark.name, {{mark.at, 0}, {mark.at, top}});
        attach(*l, *values, *counts);
        if (mark.at != s.mean)
            l->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
    }
}

void buildScatter(QChart& chart, const output::ChartData& d)
{
    auto* firstAxis = axis(chart, d.firstTitle, rangeOf(d.firstAgainstSecond, false), Qt::AlignBottom);
    auto* secondAxis = axis(chart, d.secondTitle, rangeOf(d.firstAgainstSecond, true), Qt::AlignLeft);
    auto* points = new QScatterSeries(&chart);
    points->setName(QStringLiteral("Строки"));
    points->setMarkerSize(kScatterMarker);
    points->append(QList<QPointF>(d.firstAgainstSecond.begin(), d.firstAgainstSecond.end()));
    chart.addSeries(points);
    attach(*points, *firstAxis, *secondAxis);
}

// Draws the chart into `target` through a scene of its own (a chart is a graphics widget).
void render(PageChart kind, const output::ChartData& data, QPainter& painter, const QRectF& target)
{
    QGraphicsScene scene;
    QChart* chart = buildChart(kind, data).release();
    scene.addItem(chart); // the scene owns it now
    chart->setGeometry(QRectF(QPointF(0, 0), kChartPixels));
    scene.render(&painter, target, QRectF(QPointF(0, 0), kChartPixels));
}

// What saved charts carry above them, so that a picture or a page says what it shows: the table, the
// day the charts were drawn, and the spread of both series.
QStringList captionLines(const output::ChartData& data)
{
    const QLocale locale = table::displayLocale();
    const auto spread = [&locale](const QString& title, const table::SeriesSpread& x) {
        if (x.count == 0)
            return title + QStringLiteral(": нет значений");
        const auto tenths = [&locale](double v) { return locale.toString(v, 'f', 1); };
        return QStringLiteral("%1: n %2, среднее %3, S %4, V %5 %")
            .arg(title, QString::number(x.count), tenths(x.mean), tenths(x.standardDeviation),
                 tenths(x.variationPercent));
    };
    const QString source = data.source.isEmpty() ? QStringLiteral("Графики") : data.source;
    return {source + QStringLiteral(" — ") + QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")),
            spread(data.firstTitle, data.firstSpread), spread(data.secondTitle, data.secondSpread)};
}

void drawCaption(QPainter& painter, const output::ChartData& data, const QRectF& area)
{
    QFont font = painter.font();
    font.setPixelSize(static_cast<int>(std::lround(area.height() * kCaptionFontPixels / kCaptionPixels)));
    painter.setFont(font);
    painter.setPen(Qt::black);
    const double margin = area.height() * kCaptionMarginShare;
    painter.drawText(area.adjusted(margin, 0, -margin, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     captionLines(data).join(u'\n'));
}

QByteArray pngOf(const output::ChartData& data)
{
    const int count = static_cast<int>(std::size(kPageCharts));
    QImage picture(kChartPixels.width(), kCaptionPixels + kChartPixels.height() * count, QImage::Format_ARGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        drawCaption(painter, data, QRectF(0, 0, kChartPixels.width(), kCaptionPixels));
        for (int i = 0; i < count; ++i)
            render(kPageCharts[i], data, painter,
                   QRectF(QPointF(0, kCaptionPixels + kChartPixels.height() * i), kChartPixels));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

QByteArray pdfOf(const output::ChartData& data)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(kPdfResolution);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                      QPageLayout::Millimeter));
        QPainter painter(&pdf);
        bool first = true;
        for (const PageChart kind : kPageCharts) {
            if (!std::exchange(first, false))
                pdf.newPage();
            const QRect page = painter.viewport();
            // The caption on top, the chart below it in its own proportions.
            const double captionHeight =
                page.height() * static_cast<double>(kCaptionPixels) / (kCaptionPixels + kChartPixels.height());
            drawCaption(painter, data, QRectF(page.left(), page.top(), page.width(), captionHeight));
            const QSizeF size =
                QSizeF(kChartPixels).scaled(QSizeF(page.width(), page.height() - captionHeight), Qt::KeepAspectRatio);
            render(kind, data, painter, QRectF(QPointF(page.left(), page.top() + captionHeight), size));
        }
    }
    return bytes;
}

} // namespace

QString chartTitle(PageChart chart, const output::ChartData& data)
{
    switch (chart) {
    case PageChart::AlongRows:
        return QStringLiteral("По строкам: %1 и %2").arg(data.firstName, data.secondName);
    case PageChart::StrengthHistogram:
        return QStringLiteral("Распределение: %1").arg(data.secondName);
    case PageChart::VelocityAgainstStrength:
        return QStringLiteral("%1 и %2").arg(capitalised(data.firstName), data.secondName);
    }
    return {};
}

std::unique_ptr<QChart> buildChart(PageChart kind, const output::ChartData& data)
{
    auto chart = std::make_unique<QChart>();
    chart->setTitle(chartTitle(kind, data));
    chart->setAnimationOptions(QChart::NoAnimation);
    // Axis figures the Russian way (decimal comma) whatever the system's locale.
    chart->setLocale(table::displayLocale());
    chart->setLocalizeNumbers(true);
    switch (kind) {
    case PageChart::AlongRows:
        buildAlongRows(*chart, data);
        break;
    case PageChart::StrengthHistogram:
        buildHistogram(*chart, data);
        break;
    case PageChart::VelocityAgainstStrength:
        buildScatter(*chart, data);
        break;
    }
    return chart;
}

void saveCharts(const output::ChartData& data, const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QStringLiteral("png") && suffix != QStringLiteral("pdf"))
        throw files::UserError(QStringLiteral("Графики сохраняются в файл .png или .pdf, а не в %1.").arg(path));
    const QByteArray bytes = suffix == QStringLiteral("png") ? pngOf(data) : pdfOf(data);
    try {
        files::AtomicFile file(path);
        file.write(bytes);
        file.commit();
    } catch (const files::FileError& e) {
        throw files::UserError(QStringLiteral("Графики не сохранены: %1").arg(e.message()));
    }
}

} // namespace darni::charts

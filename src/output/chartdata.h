// What the charts of a page show, computed without any drawing: the pulse velocity and the strength
// along the rows in page order, the strength's histogram with its mean and standard deviation, the
// velocity against the strength, and the spread of both. The charts window, darni-cli chart and the
// tests all draw or check the same numbers.
#pragma once

#include "table/seriesspread.h"

#include <QPointF>
#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace darni::table {
class RecordView;
}

namespace darni::output {

struct Histogram
{
    double lower = 0;     // the first bin's left edge
    double binWidth = 1;
    std::vector<int> counts;
    double upper() const { return lower + binWidth * static_cast<double>(counts.size()); }
    int highestCount() const;
};

struct ChartData
{
    // x is the row's place on the page, counted from 1; rows without the value are left out.
    std::vector<QPointF> velocity;
    std::vector<QPointF> strength;
    // (velocity, strength) of the rows that have both.
    std::vector<QPointF> velocityAgainstStrength;
    Histogram strengthHistogram;
    table::SeriesSpread velocitySpread;
    table::SeriesSpread strengthSpread;
    int rows = 0; // the rows taken, with or without values
};

// The chart data of the view's rows in its order; of only the rows in `slots` when any are given.
ChartData chartDataOf(const table::RecordView& rows, std::span<const std::uint32_t> slots = {});

// The histogram of `values`: as many bins as Sturges' rule gives (at most kMaxBins) over their range;
// one bin of width 1 around the value when all are equal; no bins for no values.
Histogram histogramOf(std::span<const double> values);
inline constexpr int kMaxHistogramBins = 30;

// Axis and series titles, in Russian.
QString velocityTitle(); // "Скорость УЗК, м/с"
QString strengthTitle(); // "Прочность R, МПа"

} // namespace darni::output

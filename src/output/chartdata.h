// What the charts of a page show, computed without any drawing: two series along the rows in page
// order (velocity and strength, or on the pull-off page force and strength), the second's histogram
// with its mean and standard deviation, the first against the second, and the spread of both. The charts window,
// darni-cli chart and the tests all draw or check the same numbers.
#pragma once

#include "table/recordkind.h"
#include "table/recordschema.h"
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
    double lower = 0; // the first bin's left edge
    double binWidth = 1;
    std::vector<int> counts;
    double upper() const { return lower + binWidth * static_cast<double>(counts.size()); }
    int highestCount() const;
};

// What a page's charts draw: on the ultrasonic page the pulse velocity and the strength, on the
// pull-off page the pull-off force and the strength, each with its title.
struct ChartSeries
{
    table::Field field;
    const char16_t* title; // with its unit, for axes and legends
    const char16_t* name;  // in a chart's title: "скорость", "усилие", "прочность"
};
struct PageSeries
{
    ChartSeries first;
    ChartSeries second;
};
const PageSeries& seriesOf(table::RecordKind page);

struct ChartData
{
    QString firstTitle;  // "Скорость УЗК, м/с" or "Усилие P, кН"
    QString secondTitle; // "Прочность R, МПа"
    QString firstName;   // "скорость" or "усилие"
    QString secondName;  // "прочность"
    // What saved charts name as their source (the table's file name); empty when unknown.
    QString source;
    // x is the row's place on the page, counted from 1; rows without the value are left out.
    std::vector<QPointF> first;
    std::vector<QPointF> second;
    // (first, second) of the rows that have both.
    std::vector<QPointF> firstAgainstSecond;
    Histogram secondHistogram;
    table::SeriesSpread firstSpread;
    table::SeriesSpread secondSpread;
    int rows = 0; // the rows taken, with or without values
};

// The chart data of the view's rows in its order, of the series of `page`; of only the rows in `slots`
// when any are given.
ChartData chartDataOf(const table::RecordView& rows, table::RecordKind page = table::RecordKind::Ultrasonic,
                      std::span<const std::uint32_t> slots = {});

// The histogram of `values`: as many bins as Sturges' rule gives (at most kMaxBins) over their range;
// one bin of width 1 around the value when all are equal; no bins for no values.
Histogram histogramOf(std::span<const double> values);
inline constexpr int kMaxHistogramBins = 30;

} // namespace darni::output

// What the charts of a page show.
#include "chartdata.h"

#include "table/recordview.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace darni::output {

namespace {
using table::Field;
using table::RecordKind;

constexpr PageSeries kUltrasonicSeries{{Field::D9, u"Скорость УЗК, м/с", u"скорость"},
                                       {Field::P2, u"Прочность R, МПа", u"прочность"}};
constexpr PageSeries kPullOffSeries{{Field::P, u"Усилие P, кН", u"усилие"},
                                    {Field::R, u"Прочность R, МПа", u"прочность"}};
// Around a single value the one bin reaches this far on each side.
constexpr double kHalfBinAroundOne = 0.5;
} // namespace

int Histogram::highestCount() const
{
    return counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
}

const PageSeries& seriesOf(RecordKind page)
{
    return page == RecordKind::PullOff ? kPullOffSeries : kUltrasonicSeries;
}

Histogram histogramOf(std::span<const double> values)
{
    Histogram h;
    if (values.empty()) {
        h.counts.clear();
        return h;
    }
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    if (*low == *high) {
        h.lower = *low - kHalfBinAroundOne;
        h.binWidth = 2 * kHalfBinAroundOne;
        h.counts = {static_cast<int>(values.size())};
        return h;
    }
    // Sturges: 1 + log2(n) bins.
    const int bins = std::clamp(static_cast<int>(std::ceil(std::log2(static_cast<double>(values.size())))) + 1, 1,
                                kMaxHistogramBins);
    h.lower = *low;
    h.binWidth = (*high - *low) / bins;
    h.counts.assign(static_cast<std::size_t>(bins), 0);
    for (const double v : values) {
        // The highest value belongs to the last bin, not to one past it.
        const int bin = std::min(bins - 1, static_cast<int>((v - h.lower) / h.binWidth));
        ++h.counts[static_cast<std::size_t>(bin)];
    }
    return h;
}

ChartData chartDataOf(const table::RecordView& rows, RecordKind page, std::span<const std::uint32_t> slots)
{
    const std::unordered_set<std::uint32_t> wanted(slots.begin(), slots.end());
    const PageSeries& series = seriesOf(page);
    ChartData d;
    d.firstTitle = QString::fromUtf16(series.first.title);
    d.secondTitle = QString::fromUtf16(series.second.title);
    d.firstName = QString::fromUtf16(series.first.name);
    d.secondName = QString::fromUtf16(series.second.name);
    std::vector<double> firsts;
    std::vector<double> seconds;
    for (int row = 0; row < rows.size(); ++row) {
        if (!wanted.empty() && !wanted.count(rows.slotAt(row)))
            continue;
        const double place = ++d.rows;
        const auto first = rows.number(row, series.first.field);
        const auto second = rows.number(row, series.second.field);
        if (first) {
            d.first.emplace_back(place, *first);
            firsts.push_back(*first);
        }
        if (second) {
            d.second.emplace_back(place, *second);
            seconds.push_back(*second);
        }
        if (first && second)
            d.firstAgainstSecond.emplace_back(*first, *second);
    }
    d.secondHistogram = histogramOf(seconds);
    d.firstSpread = table::spreadOf(firsts);
    d.secondSpread = table::spreadOf(seconds);
    return d;
}

} // namespace darni::output

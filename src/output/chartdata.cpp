// What the charts of a page show.
#include "chartdata.h"

#include "table/recordview.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace darni::output {

namespace {
using table::Field;
constexpr Field kVelocity = Field::D9;
constexpr Field kStrength = Field::P2;
// Around a single value the one bin reaches this far on each side.
constexpr double kHalfBinAroundOne = 0.5;
} // namespace

int Histogram::highestCount() const
{
    return counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
}

QString velocityTitle()
{
    return QStringLiteral("Скорость УЗК, м/с");
}

QString strengthTitle()
{
    return QStringLiteral("Прочность R, МПа");
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

ChartData chartDataOf(const table::RecordView& rows, std::span<const std::uint32_t> slots)
{
    const std::unordered_set<std::uint32_t> wanted(slots.begin(), slots.end());
    ChartData d;
    std::vector<double> velocities;
    std::vector<double> strengths;
    for (int row = 0; row < rows.size(); ++row) {
        if (!wanted.empty() && !wanted.count(rows.slotAt(row)))
            continue;
        const double place = ++d.rows;
        const auto velocity = rows.number(row, kVelocity);
        const auto strength = rows.number(row, kStrength);
        if (velocity) {
            d.velocity.emplace_back(place, *velocity);
            velocities.push_back(*velocity);
        }
        if (strength) {
            d.strength.emplace_back(place, *strength);
            strengths.push_back(*strength);
        }
        if (velocity && strength)
            d.velocityAgainstStrength.emplace_back(*velocity, *strength);
    }
    d.strengthHistogram = histogramOf(strengths);
    d.velocitySpread = table::spreadOf(velocities);
    d.strengthSpread = table::spreadOf(strengths);
    return d;
}

} // namespace darni::output

// The spread of a series of measurements.
#include "seriesspread.h"

#include "recordview.h"

#include <cmath>
#include <vector>

namespace darni::table {

namespace {
constexpr double kPercent = 100.0;
} // namespace

SeriesSpread spreadOf(std::span<const double> values)
{
    SeriesSpread s;
    s.count = static_cast<int>(values.size());
    if (values.empty())
        return s;
    double sum = 0;
    for (const double v : values)
        sum += v;
    s.mean = sum / static_cast<double>(values.size());
    if (values.size() < 2)
        return s;
    double squares = 0;
    for (const double v : values)
        squares += (v - s.mean) * (v - s.mean);
    s.standardDeviation = std::sqrt(squares / static_cast<double>(values.size() - 1));
    s.variationPercent = s.mean == 0 ? 0 : s.standardDeviation / std::fabs(s.mean) * kPercent;
    return s;
}

SeriesSpread spreadOf(const RecordView& rows, Field field)
{
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(rows.size()));
    for (int row = 0; row < rows.size(); ++row) {
        if (const auto value = rows.number(row, field))
            values.push_back(*value);
    }
    return spreadOf(values);
}

} // namespace darni::table

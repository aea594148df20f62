// Minimum, mean and maximum of P and of R.
#include "tablestatistics.h"

#include "recordview.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace darni::table {

namespace {
constexpr double kTenth = 0.1; // the double nearest to 0.1
constexpr long double kHalf = 0.5L;
constexpr int kExtendedMantissaBits = 64;

struct Accumulator
{
    double min = 0;
    double max = 0;
    double sum = 0;

    int count = 0;

    void start(double v)
    {
        min = max = sum = v;
        count = 1;
    }
    void add(double v)
    {
        min = std::min(min, v);
        max = std::max(max, v);
        sum += v;
        ++count;
    }
    void take(std::optional<double> v)
    {
        if (!v)
            return;
        if (count == 0)
            start(*v);
        else
            add(*v);
    }
    double mean() const { return count == 0 ? 0.0 : roundToTenth(sum / count); }
};
} // namespace

double roundToTenth(double x)
{
    // The rounding rule is defined by 64-bit-mantissa arithmetic; where long double is wider or
    // narrower than that the halfway cases could land on the other side.
    static_assert(std::numeric_limits<long double>::digits >= kExtendedMantissaBits ||
                      std::numeric_limits<long double>::digits == std::numeric_limits<double>::digits,
                  "unexpected long double");
    const long double scaled = static_cast<long double>(x) / static_cast<long double>(kTenth) + kHalf;
    const long double whole = std::trunc(scaled);
    return static_cast<double>(whole * static_cast<long double>(kTenth));
}

TableStatistics findMma(const RecordView& rows)
{
    TableStatistics s;
    const int n = rows.size();
    if (n < 2) {
        // The one row, or none: its values unrounded, a blank as 0.
        s.minP = s.meanP = s.maxP = rows.real(0, Field::P);
        s.minR = s.meanR = s.maxR = rows.real(0, Field::R);
        return s;
    }
    Accumulator p;
    Accumulator r;
    for (int i = 0; i < n; ++i) {
        p.take(rows.number(i, Field::P));
        r.take(rows.number(i, Field::R));
    }
    return {p.min, p.mean(), p.max, r.min, r.mean(), r.max};
}

TableStatistics selectionStatistics(std::span<const CapturedValues> rows)
{
    Accumulator p;
    Accumulator r;
    for (const CapturedValues& row : rows) {
        p.take(row.p);
        r.take(row.r);
    }
    return {p.min, p.mean(), p.max, r.min, r.mean(), r.max};
}

} // namespace darni::table

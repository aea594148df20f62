// Minimum, mean and maximum of P and of R over the rows of the showing page, and the rounding of
// means to one decimal.
#pragma once

#include <optional>
#include <span>

namespace darni::table {

class RecordView;

struct TableStatistics
{
    double minP = 0;
    double meanP = 0;
    double maxP = 0;
    double minR = 0;
    double meanR = 0;
    double maxR = 0;
};

// x / 0.1 + 0.5 in extended precision (64-bit mantissa), cut toward zero, times 0.1: so 1.25 gives 1.2,
// 1.35 gives 1.4 and 10.05 gives 10.1, as the binary values of those decimals lie.
double roundToTenth(double x);

// "find_mma": over the rows of the page. A row without a value of a field is left out of that field's
// figures, as for marked rows; none with a value gives 0. With fewer than two rows the one row's values
// stand for all three, unrounded (0 with no row).
TableStatistics findMma(const RecordView& rows);

// P and R of a marked row as they were when it was marked; empty for a blank field.
struct CapturedValues
{
    std::optional<double> p;
    std::optional<double> r;
};

// The same figures over marked rows. A row without a value of a field is left out of that field's
// figures rather than counted as 0, so that a blank measurement neither drags the minimum to 0 nor
// the mean down; when no marked row has a value the figures are 0.
TableStatistics selectionStatistics(std::span<const CapturedValues> rows);

} // namespace darni::table

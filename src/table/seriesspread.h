// The spread of a series of measurements, as engineers report it beside the mean: the count, the mean,
// the standard deviation of the sample (n − 1 in the denominator) and the coefficient of variation.
#pragma once

#include "recordschema.h"

#include <span>

namespace darni::table {

class RecordView;

struct SeriesSpread
{
    int count = 0;
    double mean = 0;
    double standardDeviation = 0; // 0 for fewer than two values
    double variationPercent = 0;  // standard deviation / mean × 100; 0 when the mean is 0
};

SeriesSpread spreadOf(std::span<const double> values);
// Over the rows of the view that have a value of the field; blanks are left out.
SeriesSpread spreadOf(const RecordView& rows, Field field);

} // namespace darni::table

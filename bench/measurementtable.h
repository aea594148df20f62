// Tables shaped like decoded measurements, for the benchmarks.
#pragma once

#include <QString>

namespace darni::bench {

// Creates (or replaces) a table of `rows` through-sounding rows as the decoder writes them.
void makeMeasurementTable(const QString& path, int rows);

} // namespace darni::bench

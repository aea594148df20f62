// Tables shaped like decoded measurements, for the benchmarks.
#pragma once

#include <QString>

namespace darni::table {
class DbfTable;
class RecordView;
} // namespace darni::table

namespace darni::bench {

// Creates (or replaces) a table of `rows` through-sounding rows as the decoder writes them.
void makeMeasurementTable(const QString& path, int rows);

// One plain walk over the ultrasonic page's rows, reading the two footer columns: the reference most
// benchmarks measure against. The sum keeps the reads from being optimised away.
double walkPage(table::DbfTable& table);
// The same over a reader's view of the page.
double walkRows(const table::RecordView& rows);

// The table as the window holds it: made with `rows` rows at `path`, opened on the ultrasonic page,
// and that page walked once.
void openWalkedPage(table::DbfTable& t, const QString& path, int rows);

} // namespace darni::bench

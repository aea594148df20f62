// Tables shaped like decoded measurements, for the benchmarks.
#include "measurementtable.h"

#include "table/cp1251.h"
#include "table/dbftable.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

namespace darni::bench {

using namespace darni::table;

namespace {

// Rows handed to the table at a time, as the decoder hands them, each row's room kept from batch to
// batch as the decoder keeps it.
constexpr int kRowsPerBatch = 4096;

void fillLikeADecodedRow(NewRow& row, int i)
{
    static const std::string material = cp1251::fromUnicode(QStringLiteral("Бетон тяжёлый")).toStdString();
    static const std::string product = cp1251::fromUnicode(QStringLiteral("Колонна")).toStdString();
    static const std::string dependence = cp1251::fromUnicode(QStringLiteral("Базовая")).toStdString();
    static const std::string mode = cp1251::fromUnicode(QStringLiteral("Cквозное")).toStdString();
    row.clear();
    row.setReal(Field::N, i + 1)
        .setText(Field::DATE, "17.05.2024")
        .setText(Field::TIME, "10:42:07")
        .setReal(Field::P, 20.0 + (i * 7919 % 500) / 10.0)
        .setReal(Field::R, 150)
        .setInteger(Field::D9, 3000 + i % 2000)
        .setReal(Field::P2, 25.5 + (i % 100) / 100.0)
        .setText(Field::P3, product)
        .setText(Field::D2, material)
        .setReal(Field::P4, 1.05)
        .setText(Field::P5, dependence)
        .setText(Field::ZAV, mode);
}
} // namespace

void makeMeasurementTable(const QString& path, int rows)
{
    DbfTable::create(path);
    DbfTable t;
    t.open(path);
    std::vector<NewRow> batch(kRowsPerBatch);
    for (int first = 0; first < rows; first += kRowsPerBatch) {
        const int count = std::min(kRowsPerBatch, rows - first);
        for (int k = 0; k < count; ++k)
            fillLikeADecodedRow(batch[static_cast<std::size_t>(k)], first + k);
        t.appendRows(std::span<const NewRow>(batch.data(), static_cast<std::size_t>(count)));
    }
    t.close();
}

double walkPage(DbfTable& t)
{
    return walkRows(t.view(RowFilter::recordKind(0)));
}

double walkRows(const table::RecordView& rows)
{
    double sum = 0;
    for (int row = 0; row < rows.size(); ++row)
        sum += rows.number(row, Field::P).value_or(0.0) + rows.number(row, Field::R).value_or(0.0);
    return sum;
}

void openWalkedPage(table::DbfTable& t, const QString& path, int rows)
{
    makeMeasurementTable(path, rows);
    t.open(path);
    volatile double sink = walkPage(t);
    (void)sink;
}

} // namespace darni::bench

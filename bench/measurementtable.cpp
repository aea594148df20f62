// Tables shaped like decoded measurements, for the benchmarks.
#include "measurementtable.h"

#include "table/cp1251.h"
#include "table/dbftable.h"

#include <string>

namespace darni::bench {

using namespace darni::table;

namespace {
void fillLikeADecodedRow(DbfTable& t, int i)
{
    static const std::string material = cp1251::fromUnicode(QStringLiteral("Бетон тяжёлый")).toStdString();
    static const std::string product = cp1251::fromUnicode(QStringLiteral("Колонна")).toStdString();
    static const std::string dependence = cp1251::fromUnicode(QStringLiteral("Базовая")).toStdString();
    static const std::string mode = cp1251::fromUnicode(QStringLiteral("Cквозное")).toStdString();
    t.setReal(Field::N, i + 1);
    t.setText(Field::DATE, "17.05.2024");
    t.setText(Field::TIME, "10:42:07");
    t.setReal(Field::P, 20.0 + (i * 7919 % 500) / 10.0);
    t.setReal(Field::R, 150);
    t.setInteger(Field::D9, 3000 + i % 2000);
    t.setReal(Field::P2, 25.5 + (i % 100) / 100.0);
    t.setText(Field::P3, product);
    t.setText(Field::D2, material);
    t.setReal(Field::P4, 1.05);
    t.setText(Field::P5, dependence);
    t.setText(Field::ZAV, mode);
}
} // namespace

void makeMeasurementTable(const QString& path, int rows)
{
    DbfTable::create(path);
    DbfTable t;
    t.open(path);
    for (int i = 0; i < rows; ++i) {
        t.append();
        fillLikeADecodedRow(t, i);
        t.post();
    }
    t.close();
}

double walkPage(DbfTable& t)
{
    double sum = 0;
    for (bool ok = t.first(); ok; ok = t.next())
        sum += t.real(Field::P) + t.real(Field::R);
    return sum;
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
    t.setFilter(table::RowFilter::recordKind(0));
    volatile double sink = walkPage(t);
    (void)sink;
}

} // namespace darni::bench

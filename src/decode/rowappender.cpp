// Decoded rows into a table.
#include "rowappender.h"

#include "table/cp1251.h"

namespace darni::decode {

using table::Field;

namespace {

void setText(table::DbfTable& table, Field f, const QString& text)
{
    table.setText(f, table::cp1251::fromUnicode(text).toStdString());
}

void setReal(table::DbfTable& table, Field f, const std::optional<double>& value)
{
    if (value)
        table.setReal(f, *value);
}

} // namespace

void appendRows(table::DbfTable& table, std::span<const DecodedRow> rows)
{
    for (const DecodedRow& row : rows) {
        table.append();
        table.setReal(Field::N, row.number);
        table.setText(Field::TIME, row.time.toLatin1().toStdString());
        table.setText(Field::DATE, row.date.toLatin1().toStdString());
        setText(table, Field::P5, row.dependence);
        setText(table, Field::ZAV, row.mode);
        setReal(table, Field::R, row.baseLength);
        setReal(table, Field::P, row.transitTime);
        if (row.velocity)
            table.setInteger(Field::D9, *row.velocity);
        setReal(table, Field::T, row.timeOutside);
        setReal(table, Field::P10, row.timeAcross);
        setReal(table, Field::P9, row.crackDepth);
        if (row.material)
            setText(table, Field::D2, *row.material);
        setReal(table, Field::P4, row.ks);
        if (row.productType)
            setText(table, Field::P3, *row.productType);
        setReal(table, Field::P2, row.strength);
        table.post();
    }
}

} // namespace darni::decode

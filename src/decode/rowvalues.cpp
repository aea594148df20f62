// A decoded record as the values of a new table row.
#include "rowvalues.h"

#include "table/cp1251.h"

namespace darni::decode {

using table::Field;

namespace {

// The values a decoded record may have, more or fewer by sounding mode.
constexpr std::size_t kValuesOfARecord = 15;

void setText(table::NewRow& to, Field f, const QString& text)
{
    to.setText(f, table::cp1251::fromUnicode(text).toStdString());
}

void setReal(table::NewRow& to, Field f, const std::optional<double>& value)
{
    if (value)
        to.setReal(f, *value);
}

} // namespace

table::NewRow rowValuesOf(const DecodedRow& row)
{
    table::NewRow to(kValuesOfARecord);
    to.setReal(Field::N, row.number);
    to.setText(Field::TIME, row.time.toLatin1().toStdString());
    to.setText(Field::DATE, row.date.toLatin1().toStdString());
    setText(to, Field::P5, row.dependence);
    setText(to, Field::ZAV, row.mode);
    setReal(to, Field::R, row.baseLength);
    setReal(to, Field::P, row.transitTime);
    if (row.velocity)
        to.setInteger(Field::D9, *row.velocity);
    setReal(to, Field::T, row.timeOutside);
    setReal(to, Field::P10, row.timeAcross);
    setReal(to, Field::P9, row.crackDepth);
    if (row.material)
        setText(to, Field::D2, *row.material);
    setReal(to, Field::P4, row.ks);
    if (row.productType)
        setText(to, Field::P3, *row.productType);
    setReal(to, Field::P2, row.strength);
    return to;
}

} // namespace darni::decode

// A decoded record as the values of a new table row.
#include "rowvalues.h"

#include "table/cp1251.h"

namespace darni::decode {

using table::Field;

namespace {

// The bytes are handed on as they are: a copy into a std::string first would cost an allocation for
// each text of each record.
void setBytes(table::NewRow& to, Field f, const QByteArray& bytes)
{
    to.setText(f, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void setText(table::NewRow& to, Field f, const QString& text)
{
    setBytes(to, f, table::cp1251::fromUnicode(text));
}

void setReal(table::NewRow& to, Field f, const std::optional<double>& value)
{
    if (value)
        to.setReal(f, *value);
}

} // namespace

void rowValuesOf(const DecodedRow& row, table::NewRow& to)
{
    to.clear();
    to.setReal(Field::N, row.number);
    setBytes(to, Field::TIME, row.time.toLatin1());
    setBytes(to, Field::DATE, row.date.toLatin1());
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
}

} // namespace darni::decode

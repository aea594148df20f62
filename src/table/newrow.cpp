// The values of one row on its way into a table.
#include "newrow.h"

#include "dbfheader.h"
#include "fieldcodec.h"
#include "fieldlayout.h"
#include "tableerror.h"

#include <cmath>
#include <cstring>

namespace darni::table {

FieldValue FieldValue::text(std::string_view cp1251Text)
{
    FieldValue v(Kind::Text);
    v.m_text.assign(cp1251Text);
    return v;
}

FieldValue FieldValue::real(double value)
{
    FieldValue v(Kind::Real);
    v.m_real = value;
    return v;
}

FieldValue FieldValue::integer(std::int64_t value)
{
    FieldValue v(Kind::Integer);
    v.m_integer = value;
    return v;
}

namespace {
void refuseTooWide(Field field, int width)
{
    throw TableError(TableError::Cause::ValueTooWide,
                     QStringLiteral("Значение не помещается в поле %1 (%2 знаков).")
                         .arg(QString::fromLatin1(fieldSpec(field).name.data(),
                                                  static_cast<qsizetype>(fieldSpec(field).name.size())))
                         .arg(width));
}
} // namespace

void FieldValue::writeInto(Field field, const FieldLayout& layout, char* record) const
{
    const BoundField& b = layout[field];
    char* out = record + b.offset;
    bool fits = true;
    switch (m_kind) {
    case Kind::Blank:
        std::memset(out, dbf::kBlank, static_cast<std::size_t>(b.width));
        break;
    case Kind::Text:
        fieldcodec::writeText(m_text, out, b.width);
        break;
    case Kind::Real:
        // Fields without decimals take the whole part: decoded values are truncated, never rounded.
        fits = fieldcodec::writeNumber(b.decimals == 0 ? std::trunc(m_real) : m_real, b.decimals, out, b.width);
        break;
    case Kind::Integer:
        fits = b.decimals == 0 ? fieldcodec::writeInteger(m_integer, out, b.width)
                               : fieldcodec::writeNumber(static_cast<double>(m_integer), b.decimals, out, b.width);
        break;
    }
    if (!fits)
        refuseTooWide(field, b.width);
}

NewRow& NewRow::set(Field field, FieldValue value)
{
    const std::uint64_t bit = std::uint64_t{1} << static_cast<std::size_t>(field);
    if (m_fieldsSet & bit) {
        for (Entry& entry : m_values) {
            if (entry.field == field) {
                entry.value = std::move(value);
                return *this;
            }
        }
    }
    m_fieldsSet |= bit;
    m_values.push_back({field, std::move(value)});
    return *this;
}

void NewRow::writeInto(const FieldLayout& layout, char* record) const
{
    for (const Entry& entry : m_values)
        entry.value.writeInto(entry.field, layout, record);
}

} // namespace darni::table

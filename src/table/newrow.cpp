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

// One value over its field's bytes in `record`: the one encoding of both a FieldValue and a NewRow.
void writeValue(Field field, FieldValue::Kind kind, double real, std::int64_t integer, std::string_view text,
                const FieldLayout& layout, char* record)
{
    const BoundField& b = layout[field];
    char* out = record + b.offset;
    bool fits = true;
    switch (kind) {
    case FieldValue::Kind::Blank:
        std::memset(out, dbf::kBlank, static_cast<std::size_t>(b.width));
        break;
    case FieldValue::Kind::Text:
        fieldcodec::writeText(text, out, b.width);
        break;
    case FieldValue::Kind::Real:
        // Fields without decimals take the whole part: decoded values are truncated, never rounded.
        fits = fieldcodec::writeNumber(b.decimals == 0 ? std::trunc(real) : real, b.decimals, out, b.width);
        break;
    case FieldValue::Kind::Integer:
        fits = b.decimals == 0 ? fieldcodec::writeInteger(integer, out, b.width)
                               : fieldcodec::writeNumber(static_cast<double>(integer), b.decimals, out, b.width);
        break;
    }
    if (!fits)
        refuseTooWide(field, b.width);
}

} // namespace

void FieldValue::writeInto(Field field, const FieldLayout& layout, char* record) const
{
    writeValue(field, m_kind, m_real, m_integer, m_text, layout, record);
}

NewRow::Entry& NewRow::entryFor(Field field, FieldValue::Kind kind)
{
    const std::uint64_t bit = std::uint64_t{1} << static_cast<std::size_t>(field);
    if (m_fieldsSet & bit) {
        for (Entry& entry : m_values) {
            if (entry.field == field) {
                entry.kind = kind;
                return entry;
            }
        }
    }
    m_fieldsSet |= bit;
    return m_values.emplace_back(Entry{field, kind, 0, 0, 0, 0});
}

NewRow& NewRow::setText(Field field, std::string_view cp1251Text)
{
    Entry& entry = entryFor(field, FieldValue::Kind::Text);
    entry.textAt = static_cast<std::uint32_t>(m_texts.size());
    entry.textLength = static_cast<std::uint32_t>(cp1251Text.size());
    m_texts.append(cp1251Text);
    return *this;
}

NewRow& NewRow::setReal(Field field, double value)
{
    entryFor(field, FieldValue::Kind::Real).real = value;
    return *this;
}

NewRow& NewRow::setInteger(Field field, std::int64_t value)
{
    entryFor(field, FieldValue::Kind::Integer).integer = value;
    return *this;
}

void NewRow::writeInto(const FieldLayout& layout, char* record) const
{
    for (const Entry& e : m_values) {
        writeValue(e.field, e.kind, e.real, e.integer, std::string_view(m_texts).substr(e.textAt, e.textLength), layout,
                   record);
    }
}

} // namespace darni::table

// The values of one row on its way into a table, field by field, before any table's layout is known:
// a decoder, an editor or a test says what goes where, and the table writes the values into its own
// records. A field given no value stays blank.
#pragma once

#include "recordschema.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace darni::table {

class FieldLayout;

class FieldValue
{
public:
    enum class Kind : std::uint8_t { Blank, Text, Real, Integer };

    static FieldValue blank() { return FieldValue(Kind::Blank); }
    // Text in code page 1251; cut at the field's width when stored.
    static FieldValue text(std::string_view cp1251Text);
    // Stored with the field's decimals; a field without decimals takes the whole part, never rounded.
    static FieldValue real(double value);
    static FieldValue integer(std::int64_t value);

    Kind kind() const { return m_kind; }
    // Writes the value over the field's bytes in `record`; TableError(ValueTooWide), with the record
    // untouched, when a number's text does not fit the field.
    void writeInto(Field field, const FieldLayout& layout, char* record) const;

private:
    explicit FieldValue(Kind kind) : m_kind(kind) {}

    Kind m_kind;
    double m_real = 0;
    std::int64_t m_integer = 0;
    std::string m_text;
};

class NewRow
{
public:
    // Room for this many values, so that filling the row allocates once.
    explicit NewRow(std::size_t expectedValues = 0) { m_values.reserve(expectedValues); }

    NewRow& setText(Field field, std::string_view cp1251Text);
    NewRow& setReal(Field field, double value);
    NewRow& setInteger(Field field, std::int64_t value);
    // No value set any more; the room stays, so that a row filled again and again allocates once.
    void clear()
    {
        m_values.clear();
        m_texts.clear();
        m_fieldsSet = 0;
    }

    // Writes every value into `record`, a blank record of the layout's table; TableError(ValueTooWide)
    // when one does not fit.
    void writeInto(const FieldLayout& layout, char* record) const;

private:
    // A value as plain data, its text kept in m_texts: a row is filled for every record of a transfer,
    // and values that own their texts would cost a move of each text on every one.
    struct Entry
    {
        Field field;
        FieldValue::Kind kind;
        double real;
        std::int64_t integer;
        std::uint32_t textAt;
        std::uint32_t textLength;
    };
    Entry& entryFor(Field field, FieldValue::Kind kind);

    std::vector<Entry> m_values;
    std::string m_texts;
    // One bit a field, so that setting a field anew is told from setting it first without a search.
    std::uint64_t m_fieldsSet = 0;
    static_assert(kFieldCount <= 64);
};

} // namespace darni::table

// One sort tag of a table: the live rows ordered by one field's key, ascending or descending, equal
// keys in record-slot order. Numeric fields give their value as key (blank as 0); text fields their
// stored bytes at full width, or pieces of stored text put together (sortkey.h), compared as code
// page 1251 byte values.
#pragma once

#include "numerickey.h"
#include "recordschema.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace darni::table {

class IndexTag
{
public:
    enum class KeyType : char { Number = 'N', Text = 'C' };

    // Bytes of a record that make up (part of) the key.
    struct Range
    {
        int offset;
        int length;
    };

    // The key is the bytes of `ranges` one after another (a number key has one range); `expression` is
    // how the index file states it.
    IndexTag(QString name, Field field, bool descending, KeyType type, std::vector<Range> ranges, QString expression);

    const QString& name() const { return m_name; }
    Field field() const { return m_field; }
    const QString& expression() const { return m_expression; }
    bool isDescending() const { return m_descending; }
    KeyType keyType() const { return m_type; }
    // Bytes of a key in the index file: 12 for numbers, the field width for text.
    int keyLength() const;

    void clear();
    void reserve(std::size_t entries) { m_entries.reserve(entries); }
    // Adds the record in this slot; entries added since the last sort are sorted in on demand.
    void add(std::uint32_t slot, const char* record);
    // Removes the record in this slot, found by its key as stored in `record`. False if absent.
    bool remove(std::uint32_t slot, const char* record);
    bool sameKey(const char* recordA, const char* recordB) const;

    // The order; each call sorts in what was added.
    std::size_t size();
    std::uint32_t slotAt(std::size_t position);
    std::optional<std::size_t> positionOf(std::uint32_t slot, const char* record);
    // The key at a position as the index file stores it.
    void storedKey(std::size_t position, std::uint8_t* out);

private:
    struct Entry
    {
        double number;
        std::uint32_t slot;
        std::uint32_t text; // index of the key in m_texts, for text keys
    };

    Entry entryFor(std::uint32_t slot, const char* record);
    template <typename Entries>
    void radixSortNumbers(Entries first, Entries last) const;
    int compareKeys(const Entry& a, const Entry& b) const;
    bool before(const Entry& a, const Entry& b) const;
    void sortPending();
    std::size_t lowerBound(const Entry& e);

    QString m_name;
    Field m_field;
    bool m_descending;
    KeyType m_type;
    std::vector<Range> m_ranges;
    QString m_expression;
    int m_keyWidth;
    std::vector<Entry> m_entries;
    std::size_t m_sorted = 0;                 // m_entries[0, m_sorted) are in order
    std::vector<char> m_texts;                // text keys, m_keyWidth bytes each
    std::optional<double> m_lastStoredNumber; // the number whose stored key is m_lastStoredKey
    numerickey::Bytes m_lastStoredKey{};
};

} // namespace darni::table

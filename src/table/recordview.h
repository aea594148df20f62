// One reader's own look at the rows of a table's page: the live rows of a kind (or all), in an order,
// fixed when the view is taken, each read where the table keeps it (mostly its memory map). Any number of views may be
// read side by side, and a view never fails: once the table has gained or lost rows, been reordered, replaced or
// closed, the view is stale and reads every field as blank until its owner takes a new one. An edit of a row's fields
// shows in every view at once, in the place the row had when the view was taken.
#pragma once

#include "recordschema.h"

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace darni::table {

class DbfTable;

class RecordView
{
public:
    // A view of no rows.
    RecordView() = default;
    RecordView(const DbfTable& table, std::vector<std::uint32_t> slots, std::uint64_t generation);

    int size() const { return static_cast<int>(m_slots.size()); }
    bool isEmpty() const { return m_slots.empty(); }
    // The rows' slots (1-based places in the file), in the view's order.
    std::span<const std::uint32_t> slots() const { return m_slots; }
    std::uint32_t slotAt(int row) const { return m_slots[static_cast<std::size_t>(row)]; }
    // The table changed since the view was taken: its rows are no longer those of the page.
    bool isStale() const;
    // The same for two views of the same rows in any order, another for other rows (a sort keeps it,
    // a delete, an append or a rewrite changes it).
    std::uint64_t rowSetKey() const { return m_rowSetKey; }
    // The rows of this view are some of those of the view with this rowSetKey, with the values they
    // had there but those of changedField(); 0 when not known. Whatever was measured over those rows,
    // such as the widest value of a field, bounds what these rows give in every other field.
    std::uint64_t narrowedFrom() const { return m_narrowedFrom; }
    // The one field whose values a rewrite gave anew (the numbers of a renumbering), and the row that
    // got the widest of them.
    struct ChangedField
    {
        Field field;
        int widestRow;
    };
    const std::optional<ChangedField>& changedField() const { return m_changedField; }
    void setNarrowedFrom(std::uint64_t rowSetKey, std::optional<ChangedField> changed = std::nullopt)
    {
        m_narrowedFrom = rowSetKey;
        m_changedField = changed;
    }

    // Fields of the row at `row` (0-based); blank when the view is stale or the row cannot be read.
    bool isNull(int row, Field f) const;
    QByteArray text(int row, Field f) const;
    // The same without a copy: valid until the table changes or the view is read again.
    std::string_view textView(int row, Field f) const;
    // Asks the memory for the row's record, for a reader that will read many of its fields soon.
    void prefetchRow(int row) const;
    std::optional<double> number(int row, Field f) const;
    double real(int row, Field f) const { return number(row, f).value_or(0.0); }
    std::int32_t integer(int row, Field f) const;
    // For each field, the row among the first `rows` whose stored text is longest without its blanks
    // (−1 when all are blank): the widest value a column shows. One pass, each record read once.
    std::vector<int> longestRows(std::span<const Field> fields, int rows) const;
    // The width of a field as the file stores it (the schema's when the view has no table).
    int storedWidth(Field f) const;

    struct LengthLimit
    {
        Field field;
        int characters;
    };
    // The rows, in the view's order, in which some field's value as stored is longer than its limit:
    // the rows whose shown text may be longer than a column was sized for. A text counts without its
    // blanks; a number also without the zeros that end its decimals, and one shown in another form
    // (written with an exponent, or with more digits than are shown) counts as too long. One pass,
    // each record read once.
    std::vector<int> rowsLongerThan(std::span<const LengthLimit> limits) const;

private:
    std::string_view fieldView(int row, Field f) const;

    const DbfTable* m_table = nullptr;
    std::vector<std::uint32_t> m_slots;
    std::uint64_t m_generation = 0;
    std::uint64_t m_rowSetKey = 0;
    std::uint64_t m_narrowedFrom = 0;
    std::optional<ChangedField> m_changedField;
    mutable QByteArray m_scratch; // a record read from the file where the table has no map
};

} // namespace darni::table

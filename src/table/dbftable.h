// One table of measurement records as its users see it: a cursor over the live rows under a row
// filter in the active sort order, field access, append, edit, post, delete and the rewrites (pack,
// delete rows, renumber). The records themselves are the RecordStore's, the orders the SortTags'; this
// class holds the cursor, the filter and the edit state over both.
#pragma once

#include "dbfheader.h"
#include "fieldlayout.h"
#include "recordschema.h"
#include "recordstore.h"
#include "recordview.h"
#include "rowfilter.h"
#include "sorttags.h"
#include "tablefile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace darni::table {

class DbfTable
{
public:
    enum class State { Browse, Edit, Insert };
    using Access = TableFile::Access;

    // Create or replace a table file holding no records. The file appears whole or not at all; on
    // failure TableError tells why and an earlier file of that name is left as it was.
    static void create(const QString& path);
    // Throws TableError unless a new table could replace `path` now: a read-only table, a folder or
    // a table that another program holds are refused with their cause.
    static void checkReplaceable(const QString& path);

    DbfTable() = default;
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;
    ~DbfTable();

    // Opens for reading and writing, denying other writers, or only for reading; throws TableError.
    // The header's count is the count of rows: rows beyond it are an append that never finished and
    // are not read (an opening for writing cuts them off). A count greater than the file holds is
    // corrected, in the file only when opened for writing. An opening for reading changes no byte.
    // Temporary files that an interrupted writer left beside the table are removed. On failure the
    // table stays closed.
    void open(const QString& path, Access access = Access::ReadWrite);
    // A new empty table for `path` that takes the name only on commitNew(): until then an existing
    // table of that name stays as it was, held locked. Throws TableError.
    void openNew(const QString& path);
    // Writes what is pending and puts the new table in place of the old in one step; throws TableError,
    // after which the new table is closed and gone and the old one unchanged.
    void commitNew();
    // Posts a row being edited and writes what is pending; the file is released even when that fails.
    // A new table not yet committed is thrown away.
    void close();
    bool isOpen() const { return m_store.isOpen(); }
    bool isWritable() const { return m_store.isWritable(); }
    QString path() const { return m_store.path(); }
    const DbfHeader& header() const { return m_store.header(); }
    // Record slots in the file, deleted ones included.
    std::uint32_t slotCount() const { return m_store.slotCount(); }

    // The filter stays with the table across close and open.
    void setFilter(const RowFilter& filter);
    const RowFilter& filter() const { return m_filter; }

    // Cursor over the live rows that pass the filter, in the active order (file order or a sort tag).
    // Moving posts a row being edited.
    bool first();
    bool last();
    bool next();
    bool prior();
    // Positions on the row in this slot (1-based) if it is live and passes the filter.
    bool goToSlot(std::uint32_t slot);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    // The current row's slot, 0 when there is none (an empty page or a row being inserted).
    std::uint32_t currentSlot() const { return m_current; }
    bool hasCurrentRow() const { return m_current != 0 || m_state == State::Insert; }
    // Re-reads the file: stays on the current row if it is still shown, else goes to the first.
    void refresh();
    // Live rows that pass the filter, counted by walking them; the cursor does not move.
    int count();

    // The page as it stands, for one reader: the live rows that pass the filter, in the active order.
    // The cursor does not move. The view goes stale at the next change of rows, order or filter.
    RecordView view();
    // Filters the rows by the first of these kinds (NB_TYPE values) that some live row has, the last
    // when none has, with one walk over the rows that also leaves the page's view at hand. Returns the
    // kind chosen.
    int showFirstKindPresent(std::span<const int> kinds);
    // Counts those changes (and every open and close); views compare it with their own.
    std::uint64_t generation() const { return m_store.generation() + m_orderGeneration; }
    // Changes when rows are added, removed or the file is replaced, not when only their order changes.
    std::uint64_t rowsGeneration() const { return m_store.generation(); }
    // The record in this slot as every reader sees it, pending writes included; nullptr when there is
    // no such slot or it cannot be read. `scratch` holds the bytes where the table has no map. Never
    // throws: a view reads through this while the grid paints.
    const char* recordForReading(std::uint32_t slot, QByteArray& scratch) const noexcept
    {
        return m_store.recordForReading(slot, scratch);
    }
    const FieldLayout& layout() const { return m_store.layout(); }
    // Asks the memory for the whole mapped record in this slot, for a reader that will read many of its
    // fields soon; nothing for a record outside the map.
    void prefetchRecord(std::uint32_t slot) const { m_store.prefetchRecord(slot); }

    // Fields of the current row. A blank field is null: 0 as a number, the empty text as text. Text is
    // code page 1251 bytes, without trailing blanks.
    bool isNull(Field f) const;
    QByteArray text(Field f) const;
    std::optional<double> number(Field f) const;
    double real(Field f) const { return number(f).value_or(0.0); }
    std::int32_t integer(Field f) const;

    // Setting needs edit or insert mode; TableError(ValueTooWide) when a number does not fit.
    void setText(Field f, std::string_view cp1251Text);
    void setReal(Field f, double value);
    void setInteger(Field f, std::int64_t value);
    void setNull(Field f);

    // The same by field name, without regard to case; TableError(MissingField) for other names.
    static Field fieldNamed(std::string_view name);

    State state() const { return m_state; }
    // A new blank row in insert mode; it gets the next slot when posted.
    void append();
    void edit();
    void post();
    void cancel();
    // Marks the current row deleted and moves to the next row shown, else the prior one.
    void deleteRow();
    // Removes the rows marked deleted: writes the live rows to a temporary table beside this one and
    // puts it in this one's place by an atomic rename, so the table's name always holds a whole table.
    void pack();
    // The same, leaving out the rows in these slots as well (slots no longer live are passed over).
    // Nothing is marked in the file before: a failure leaves the table as it was.
    void removeRows(const std::vector<std::uint32_t>& slots);
    // Gives the rows in these slots the numbers 1, 2, … in this order in field N, through a new copy
    // of the table that replaces it in one step.
    void renumberRows(std::span<const std::uint32_t> slotsInOrder);
    // Writes appended rows that are still buffered, syncs them, then the header with their count (the
    // moment they become part of the table), and the index file when the sort tags changed. On any
    // failure the file is cut back to the rows it held before and the error thrown.
    void flush();

    // Sort tags, kept in the index file beside the table (indexPath()). The first tag creates the file
    // and sets the header's production index flag at once; nothing here clears it again.
    // Throws TableError: MissingField for a field the table lacks, KeyTooLong for a text field wider
    // than 100 characters, TagExists for a name in use.
    void addTag(const QString& name, std::string_view fieldName, bool descending);
    // TableError(NoSuchTag) when there is no such tag. Deleting the active tag returns to file order.
    void deleteTag(const QString& name);
    // The tag of that name, made anew from the field's values (added when there was none), with one
    // write of the index file.
    void replaceTag(const QString& name, std::string_view fieldName, bool descending);
    // An empty name chooses the file order; the cursor stays on its row.
    void setActiveTag(const QString& name);
    QString activeTag() const;
    QStringList tagNames() const;
    QString indexPath() const;

private:
    using Direction = RecordStore::Direction;

    void requireOpen() const;
    void requireWritable() const;
    void requireEditing() const;
    // After the store opened a file: the tags from its index file, the cursor on the first row.
    void afterLoading(const QString& path);
    // Lets the file go at once, writing nothing, and forgets the cursor and the orders.
    void release();
    void resetCursor();
    void rewrite(const RecordStore::Rewrite& plan);
    // The last view taken, while nothing it depends on has changed.
    bool lastViewStands() const;
    RecordView& keepAsLastView(std::vector<std::uint32_t> slots);
    // The record's kind as the filter reads it: its NB_TYPE, a blank as 0.
    int kindOf(const char* record) const;
    // The page as it was before a rewrite, in the slots the rewrite gave its rows, and the numbers it
    // gave them (by old slot, 0 for none).
    void keepViewAfterRewrite(const RecordView& before, std::span<const std::uint32_t> newSlots,
                              std::span<const std::uint32_t> newNumbers);
    // The store's writes that may take rows back; the cursor and the orders follow when they do.
    void writeAppends();
    void flushRows();
    void followRollBack();
    void writeIndexFile();
    // Writes the index with a new tag and marks the table as having one.
    void writeTagsAdded();
    const char* recordAt(std::uint32_t slot, Direction direction = Direction::Forward);
    bool isShown(const char* record) const;
    std::optional<std::uint32_t> findShown(std::uint32_t from, Direction direction);
    void moveTo(std::uint32_t slot);
    void clearRow();
    const char* rowData() const;
    char* fieldBytes(Field f);
    std::string_view fieldView(Field f) const;
    void checkedWriteNumber(Field f, bool fits);
    std::optional<std::uint32_t> firstInOrder(Direction direction);
    std::optional<std::uint32_t> nextInOrder(Direction direction);
    void updateTags(std::uint32_t slot, const char* before, const char* after);
    void orderChanged();

    RecordStore m_store;
    SortTags m_tags;
    RowFilter m_filter;
    // Counts changes of filter and order, which the store does not see; views compare the sum.
    std::uint64_t m_orderGeneration = 0;
    // The last view taken, handed out again while nothing it depends on has changed (rows, order,
    // filter, or a posted edit, which may move a row in or out of the filter or within the order): a
    // view walks every record, and a page's readers ask for it one after another.
    std::optional<RecordView> m_lastView;
    std::uint64_t m_lastViewGeneration = 0;
    std::uint64_t m_lastViewEdits = 0;
    std::uint64_t m_edits = 0;

    std::optional<std::size_t> m_orderPosition; // the current row's place in the active tag, once known
    QByteArray m_row;             // the current row being edited or inserted, or read when not in the store
    bool m_rowInStore = false;    // the current row is read where the store holds it
    mutable QByteArray m_scratch; // the current row's bytes where the store has them only in the file
    // Where the current row lies in the store's map, while the map stays as it was.
    const char* m_mappedRow = nullptr;
    std::uint64_t m_mappedRowGeneration = 0;
    std::uint32_t m_current = 0;
    State m_state = State::Browse;
    bool m_bof = true;
    bool m_eof = true;
};

} // namespace darni::table

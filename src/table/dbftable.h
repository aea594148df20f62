// One table of measurement records, as explicit operations on its file: views of its live rows (all,
// or one kind) in the active sort order, appending a batch of rows, setting one field of one row, the
// rewrites (delete rows, renumber), the kinds present and the sort tags. The records are the
// RecordStore's, the orders the SortTags'. There is no current row, no shared filter and no edit in
// progress: every operation names the rows it works on and is done when it returns.
#pragma once

#include "dbfheader.h"
#include "fieldlayout.h"
#include "newrow.h"
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
    // Writes what is pending; the file is released even when that fails. A new table not yet
    // committed is thrown away.
    void close();
    // Lets the file go at once, writing nothing: rows appended and not yet counted are gone.
    void abandon() { release(); }
    bool isOpen() const { return m_store.isOpen(); }
    bool isWritable() const { return m_store.isWritable(); }
    QString path() const { return m_store.path(); }
    const DbfHeader& header() const { return m_store.header(); }
    // Record slots in the file, deleted ones included.
    std::uint32_t slotCount() const { return m_store.slotCount(); }

    // The order a view shows rows in: the active sort tag's, or the file's whatever tag is active.
    enum class Order { Active, File };
    // The live rows that pass `rows` (every live row by default), in that order. The view goes stale
    // at the next change of rows or order.
    RecordView view(const RowFilter& rows = {}, Order order = Order::Active);
    // The first of these kinds (NB_TYPE values) that some live row has, the last when none has, found
    // with one walk over the rows that also leaves that kind's view at hand.
    int firstKindPresent(std::span<const int> kinds);
    // Counts changes of rows and order (and every open and close); views compare it with their own.
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
    // Whether this slot holds a live row.
    bool isLive(std::uint32_t slot);

    // The field of that name, without regard to case; TableError(MissingField) for other names.
    static Field fieldNamed(std::string_view name);

    // Appends the rows after the last, in this order. They are counted in the file only by flush(),
    // close() or commitNew(), all together. A value that does not fit (TableError ValueTooWide) stops
    // the batch at its row; a caller that wants none of the uncounted rows then lets the table go with
    // abandon(), as the workspace does with a failed append.
    void appendRows(std::span<const NewRow> rows);
    // Gives one field of the live row in this slot a value, written in place at once; the orders follow.
    // TableError(ValueTooWide), with the row unchanged, when a number does not fit.
    void setField(std::uint32_t slot, Field field, const FieldValue& value);
    // Writes a copy of the table without the rows in these slots (slots no longer live are passed
    // over) and puts it in this one's place by an atomic rename, so the table's name always holds a
    // whole table. Nothing is marked in the file before: a failure leaves the table as it was.
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
    // An empty name chooses the file order.
    void setActiveTag(const QString& name);
    QString activeTag() const;
    QStringList tagNames() const;
    QString indexPath() const;

private:
    void requireOpen() const;
    void requireWritable() const;
    // After the store opened a file: the tags from its index file.
    void afterLoading(const QString& path);
    // Lets the file go at once, writing nothing, and forgets the orders.
    void release();
    void rewrite(const RecordStore::Rewrite& plan);
    // The last view taken, while nothing it depends on has changed.
    bool lastViewStands(const RowFilter& rows) const;
    RecordView& keepAsLastView(const RowFilter& rows, std::vector<std::uint32_t> slots);
    // The record's kind as a filter reads it: its NB_TYPE, a blank as 0.
    int kindOf(const char* record) const;
    // The page as it was before a rewrite, in the slots the rewrite gave its rows, and the numbers it
    // gave them (by old slot, 0 for none).
    void keepViewAfterRewrite(const RecordView& before, std::span<const std::uint32_t> newSlots,
                              std::span<const std::uint32_t> newNumbers);
    // The store's writes that may take rows back; the orders follow when they do.
    void flushRows();
    void followRollBack();
    void writeIndexFile();
    // Writes the index with a new tag and marks the table as having one.
    void writeTagsAdded();
    void orderChanged();

    RecordStore m_store;
    SortTags m_tags;
    // Counts changes of order, which the store does not see; views compare the sum.
    std::uint64_t m_orderGeneration = 0;
    // The last view taken and the rows it shows, handed out again while nothing it depends on has
    // changed (rows, order, or a field set, which may move a row in or out of a kind or within the
    // order): a view walks every record, and a page's readers ask for it one after another.
    std::optional<RecordView> m_lastView;
    RowFilter m_lastViewRows;
    std::uint64_t m_lastViewGeneration = 0;
    std::uint64_t m_lastViewEdits = 0;
    std::uint64_t m_edits = 0;
    QByteArray m_rowRecord; // the record of the row being appended
};

} // namespace darni::table

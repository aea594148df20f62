// The table layer: one dBase table file of measurement records, opened for reading and writing, with
// a cursor over its live rows under a row filter, field access by name, append, edit, post, delete
// and pack.
#pragma once

#include "dbfheader.h"
#include "fielddescriptor.h"
#include "fieldlayout.h"
#include "indextag.h"
#include "recordview.h"
#include "recordschema.h"
#include "rowfilter.h"
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
    bool isOpen() const { return m_file.isOpen(); }
    bool isWritable() const { return m_file.isWritable(); }
    QString path() const { return m_file.path(); }
    const DbfHeader& header() const { return m_header; }
    // Record slots in the file, deleted ones included.
    std::uint32_t slotCount() const { return m_slotCount; }

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
    // Counts those changes (and every open and close); views compare it with their own.
    std::uint64_t generation() const { return m_generation; }
    // The record in this slot as every reader sees it, pending writes included; nullptr when there is
    // no such slot or it cannot be read. `scratch` holds the bytes where the table has no map. Never
    // throws: a view reads through this while the grid paints.
    const char* recordForReading(std::uint32_t slot, QByteArray& scratch) const noexcept;
    const FieldLayout& layout() const { return m_layout; }

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
    // Between these two, rows rewritten one after another (as renumbering does) reach the file together
    // rather than one by one; the end, flush() and close() write what is held.
    void beginWriteBatch();
    void endWriteBatch();
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
    // An empty name chooses the file order; the cursor stays on its row.
    void setActiveTag(const QString& name);
    QString activeTag() const;
    QStringList tagNames() const;
    void rebuildTags();
    QString indexPath() const;

private:
    enum class Direction { Forward, Backward };

    // What a rewrite does to the rows it copies, by slot (1-based); empty vectors change nothing.
    struct Rewrite
    {
        std::vector<bool> drop;
        std::vector<std::uint32_t> number; // the new N, 0 to keep the row's own
    };

    void requireOpen() const;
    void requireWritable() const;
    // Makes `file` the table's file and reads it; on failure the table is closed again.
    void take(TableFile file, const QString& path);
    void load(const QString& path);
    void rewrite(const Rewrite& plan);
    std::uint32_t writeRewrittenCopy(TableFile& out, const Rewrite& plan);
    void writeAppends();
    void commitWrittenRows();
    void rollBackAppends();
    void keepEndMark(qint64 offset, const char* data, qint64 size);
    void requireEditing() const;
    void resetState();
    void readHeaderAndFields(const QString& path);
    void correctRecordCount();
    void writeHeader();
    void flushAppends(); // writes and commits
    void writeRecord(std::uint32_t slot, const char* record);
    std::uint32_t dirtyCount() const;
    char* dirtyRecord(std::uint32_t slot);
    const char* dirtyRecord(std::uint32_t slot) const;
    void flushDirtyRows();
    const char* recordAt(std::uint32_t slot, Direction direction);
    const char* storedRecordAt(std::uint32_t slot, Direction direction);
    bool holdsEndMark(std::uint32_t slot) const;
    void remap();
    bool isShown(const char* record) const;
    std::optional<std::uint32_t> findShown(std::uint32_t from, Direction direction);
    void moveTo(std::uint32_t slot);
    void clearRow();
    const char* rowData() const;
    char* fieldBytes(Field f);
    std::string_view fieldView(Field f) const;
    void checkedWriteNumber(Field f, bool fits);
    void loadIndexFile(const QString& path);
    void buildTag(IndexTag& tag);
    IndexTag makeTag(const QString& name, Field field, bool descending) const;
    void writeIndexFile();
    int findTag(const QString& name) const;
    std::optional<std::uint32_t> firstInOrder(Direction direction);
    std::optional<std::uint32_t> nextInOrder(Direction direction);
    void updateTags(std::uint32_t slot, const char* before, const char* after);

    TableFile m_file;
    DbfHeader m_header = DbfHeader::forNewTable(0, 0);
    std::vector<FieldDescriptor> m_descriptors;
    QByteArray m_descriptorArea; // from the end of the header to the first record, kept for pack
    FieldLayout m_layout;
    int m_recordLength = 0;
    int m_headerLength = 0;
    RowFilter m_filter;

    std::uint32_t m_slotCount = 0;     // slots, buffered appends included
    std::uint32_t m_writtenSlots = 0;   // slots on disk
    std::uint32_t m_committedSlots = 0; // slots that the header counts
    // While rows stand written past the counted ones, the end mark stays at the first of them in the
    // file, so that readers that stop at the end mark rather than at the count see the counted rows
    // only; this is that row's own flag, written when the rows are committed.
    std::optional<char> m_heldFlag;
    QByteArray m_heldRecord; // that row with its own flag, as recordAt() gives it
    QByteArray m_pendingAppends;      // rows appended after the written slots, not yet written
    // Rewritten rows of consecutive written slots from m_dirtyFirst on, not yet written; reads see them
    // here before the file.
    QByteArray m_dirtyRows;
    std::uint32_t m_dirtyFirst = 0;
    bool m_batchingWrites = false;

    // The written slots mapped for reading, so that walks in any order cost no more than touching the
    // records; the window below serves where the platform does not map files.
    const char* m_mapped = nullptr;
    std::uint32_t m_mappedSlots = 0;
    QByteArray m_window; // consecutive records read from the file
    std::uint32_t m_windowFirst = 0;
    std::uint32_t m_windowCount = 0;

    std::uint64_t m_generation = 0;

    std::vector<IndexTag> m_tags;
    int m_activeTag = -1;                    // into m_tags; −1 for file order
    std::optional<std::size_t> m_orderPosition; // the current row's place in the active tag, once known
    bool m_indexStale = false;               // the tags changed since the index file was written

    QByteArray m_row;        // the current row's record, unless it is read from the map
    bool m_rowInMap = false; // the current row is read where the map holds it
    std::uint32_t m_current = 0;
    State m_state = State::Browse;
    bool m_bof = true;
    bool m_eof = true;
};

} // namespace darni::table

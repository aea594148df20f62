// The records of one dBase table file: its header and field layout, the rows read through a memory map
// (or a read window where the platform maps nothing), rows appended in batches and committed all at
// once, rows rewritten in place, and copies of the table that replace it in one step (pack, delete,
// renumber). It knows no order and no kinds of row: the sort tags and the table sit above.
#pragma once

#include "dbfheader.h"
#include "fielddescriptor.h"
#include "fieldlayout.h"
#include "tablefile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace darni::table {

class RecordStore
{
public:
    using Access = TableFile::Access;
    // Which way a walk goes, so that the read window holds the records that come next.
    enum class Direction { Forward, Backward };

    // What a rewrite does to the rows it copies, by slot (1-based); empty vectors change nothing.
    struct Rewrite
    {
        std::vector<bool> drop;
        std::vector<std::uint32_t> number; // the new N, 0 to keep the row's own
    };

    RecordStore() = default;
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Opens the file and reads its header and fields; throws TableError. The rows are the whole slots
    // that begin with a row's flag: up to the header's count, and past it too, except the slots of an
    // append of ours that never committed (its first new slot still holds the end mark). A count that
    // disagrees is written with this opening's first write; opening itself changes no byte.
    void open(const QString& path, Access access);
    // An empty table in a file beside `path` that takes the name on commitNew(); an existing table of
    // that name stays as it was, held locked, until then.
    void openNew(const QString& path);
    // Writes the rows and puts the new table in place of the old in one step; throws TableError.
    void commitNew();
    // Writes and commits pending rows (a table never committed is thrown away) and releases the file.
    // The file is released even when writing fails; the failure is thrown then.
    void close();
    // Releases the file at once, writing nothing.
    void abandon();

    bool isOpen() const { return m_file.isOpen(); }
    bool isWritable() const { return m_file.isWritable(); }
    bool isReplacement() const { return m_file.isReplacement(); }
    QString path() const { return m_file.path(); }
    const DbfHeader& header() const { return m_header; }
    const FieldLayout& layout() const { return m_layout; }
    int recordLength() const { return m_recordLength; }
    // Record slots, deleted rows and rows not yet written included.
    std::uint32_t slotCount() const { return m_slotCount; }
    // Changes whenever slots are added or taken away, the file is replaced, opened or closed.
    std::uint64_t generation() const { return m_generation; }

    // The record in this slot (1 ≤ slot ≤ slotCount()); valid until the next call that reads or writes.
    // Throws TableError when the file cannot be read.
    const char* record(std::uint32_t slot, Direction direction = Direction::Forward)
    {
        // Walks and tag builds ask for every record: the mapped ones cost no call.
        if (slot <= m_mappedSlots && !holdsEndMark(slot))
            return m_mapped + static_cast<qsizetype>(slot - 1) * m_recordLength;
        return recordOutsideMap(slot, direction);
    }
    // The same for a walk over every slot in file order through a map not yet read (a table just
    // opened). It reads the file a window at a time: one pass so costs a fraction of the first reads of
    // as many mapped pages, though later passes read a map already read faster still.
    const char* walkedRecord(std::uint32_t slot);
    // The same for readers that must not fail (a grid painting): nullptr when there is no such slot or
    // it cannot be read; `scratch` holds the bytes where they are not in memory.
    const char* recordForReading(std::uint32_t slot, QByteArray& scratch) const noexcept;
    // How many records ahead a walk asks for the bytes it will read: records lie a page or so apart,
    // beyond what the processor guesses by itself, and a walk of a table just written or opened waits
    // on the memory for each one unless several are on their way at once.
    static constexpr std::uint32_t kPrefetchAhead = 8;
    // The unit in which the processor loads memory.
    static constexpr int kCacheLineBytes = 64;
    // Asks the memory for the bytes at `offset` of the mapped record in `slot`; nothing for a slot
    // outside the map.
    void prefetch(std::uint32_t slot, int offset) const
    {
        if (slot > m_mappedSlots)
            return;
#if defined(__GNUC__) || defined(__clang__)
        __builtin_prefetch(m_mapped + static_cast<qsizetype>(slot - 1) * m_recordLength + offset);
#else
        (void)offset;
#endif
    }
    // The same for the whole record, for a reader that will read many of its fields soon.
    void prefetchRecord(std::uint32_t slot) const
    {
        for (int offset = 0; offset < m_recordLength; offset += kCacheLineBytes)
            prefetch(slot, offset);
    }
    // Where the mapped record of this slot lies, for as long as mapGeneration() stays; nullptr when it
    // is not read from the map as it stands (not mapped, or standing in for the held end mark).
    const char* mappedRecord(std::uint32_t slot) const
    {
        return slot >= 1 && slot <= m_mappedSlots && !holdsEndMark(slot)
                   ? m_mapped + static_cast<qsizetype>(slot - 1) * m_recordLength
                   : nullptr;
    }
    // Changes whenever the map moves or the held end mark moves.
    std::uint64_t mapGeneration() const
    {
        return m_mapGeneration;
    }

    // A new row after the last; it stays in memory until a batch is full or flush(). Returns its slot.
    std::uint32_t append(const char* record);
    // Replaces the record in this slot.
    void writeRecord(std::uint32_t slot, const char* record);
    // Writes appended rows that are still in memory past the counted ones, the end mark held at the
    // first of them, so that readers stopping at the end mark see only counted rows. On failure the
    // file and the store go back to the counted rows, and the error is thrown.
    void writeAppends();
    // writeAppends(), then syncs them and commits them: the first new row's flag, then the header's
    // count (the moment they become part of the table). On failure as writeAppends().
    void flush();
    // Whether the last failed write took rows back (the owner of an order over them rebuilds it).
    bool rolledBack() const
    {
        return m_rolledBack;
    }

    // The production index flag: set in memory, and written at once when asked.
    void setProductionIndex(bool present, bool writeNow);

    // Writes a copy of the table as the plan says and puts it in the table's place in one step; the
    // store then holds the copy, keeping the lock. `withIndex` is the copy's production index flag;
    // `beforeReplacing` runs once the copy is whole on the disk, just before it takes the name.
    // Throws TableError; the table is then unchanged. Returns where each old slot's row went in the
    // copy, by old slot (0 for a row left out, as index 0 is).
    std::vector<std::uint32_t> rewrite(const Rewrite& plan, bool withIndex,
                                       const std::function<void()>& beforeReplacing = {});

private:
    void take(TableFile file, const QString& path);
    void load(const QString& path);
    void readHeaderAndFields(const QString& path);
    void countRows();
    bool slotBeginsRow(std::uint32_t slot);
    void writeHeader();
    // Writes the header's corrected count before the first write that relies on it.
    void settleHeader();
    void commitWrittenRows();
    void rollBackAppends();
    void keepEndMark(qint64 offset, const char* data, qint64 size);
    void remap();
    void reset();
    bool holdsEndMark(std::uint32_t slot) const
    {
        return m_heldFlag && slot == m_committedSlots + 1;
    }
    const char* recordOutsideMap(std::uint32_t slot, Direction direction);
    const char* storedRecord(std::uint32_t slot, Direction direction);
    const char* windowRecord(std::uint32_t slot, Direction direction);
    std::vector<std::uint32_t> writeRewrittenCopy(TableFile& out, const Rewrite& plan, bool withIndex);
    qint64 offsetOf(std::uint32_t slot) const;

    TableFile m_file;
    DbfHeader m_header = DbfHeader::forNewTable(0, 0);
    std::vector<FieldDescriptor> m_descriptors;
    QByteArray m_descriptorArea; // from the end of the header to the first record, kept for rewrites
    FieldLayout m_layout;
    int m_recordLength = 0;
    int m_headerLength = 0;

    std::uint32_t m_slotCount = 0;      // slots, rows in memory included
    std::uint32_t m_writtenSlots = 0;   // slots on disk
    std::uint32_t m_committedSlots = 0; // slots that the header counts, once it is written
    bool m_headerStale = false;         // the header on disk holds another count than m_committedSlots
    // While rows stand written past the counted ones, the end mark stays at the first of them in the
    // file; this is that row's own flag, written when the rows are committed.
    std::optional<char> m_heldFlag;
    QByteArray m_heldRecord;     // that row with its own flag, as record() gives it
    QByteArray m_pendingAppends; // rows appended after the written slots, not yet written
    bool m_rolledBack = false;
    std::uint64_t m_generation = 0;
    std::uint64_t m_mapGeneration = 0;

    // The written slots mapped for reading, so that walks in any order cost no more than touching the
    // records; the window below serves where the platform does not map files.
    const char* m_mapped = nullptr;
    std::uint32_t m_mappedSlots = 0;
    QByteArray m_window; // consecutive records read from the file
    std::uint32_t m_windowFirst = 0;
    std::uint32_t m_windowCount = 0;
};

} // namespace darni::table

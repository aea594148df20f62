// The records of one dBase table file.
#include "recordstore.h"

#include "fieldcodec.h"
#include "files/atomicfile.h"
#include "tableerror.h"
#include "tablelog.h"
#include "tablepaths.h"

#include <QDate>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace darni::table {

namespace {
// Rows are read from the file this many bytes at a time, so a walk costs one read per window.
constexpr int kReadWindowBytes = 256 * 1024;
// Appended rows are written together once this many bytes have gathered (and before anything else
// touches the file), with the header's count following each batch.
constexpr int kAppendBatchBytes = 1024 * 1024;
// The rewritten copy is written in pieces of about this size.
constexpr int kRewriteWriteBytes = 1024 * 1024;

QByteArray emptyTableBytes()
{
    std::vector<FieldDescriptor> descriptors;
    descriptors.reserve(kFieldCount);
    for (const auto& entry : kMeasurementFields)
        descriptors.push_back(FieldDescriptor::fromSpec(entry));

    DbfHeader header =
        DbfHeader::forNewTable(dbf::headerLength(static_cast<int>(kFieldCount)), recordLengthOf(descriptors));
    header.setLastUpdate(QDate::currentDate());

    QByteArray bytes;
    bytes.append(reinterpret_cast<const char*>(header.bytes().data()), dbf::kHeaderSize);
    for (const auto& d : descriptors) {
        const auto b = d.toBytes();
        bytes.append(reinterpret_cast<const char*>(b.data()), dbf::kDescriptorSize);
    }
    bytes.append(dbf::kDescriptorTerminator);
    bytes.append(dbf::kEndOfFile);
    return bytes;
}
} // namespace

// ---- opening and closing ----------------------------------------------------------------------

void RecordStore::open(const QString& path, Access access)
{
    close();
    files::removeAbandonedTemporaries(path);
    take(TableFile::open(path, access), path);
}

void RecordStore::openNew(const QString& path)
{
    close();
    // The rows go into a file beside the target, which takes the target's name only when whole: a
    // failure or a crash leaves an earlier table of that name as it was.
    TableFile file = TableFile::createReplacement(path);
    const QByteArray bytes = emptyTableBytes();
    file.writeAt(0, bytes.constData(), bytes.size());
    take(std::move(file), path);
}

void RecordStore::commitNew()
{
    try {
        writeAppends();
        commitWrittenRows();
        m_file.commitReplacement();
    } catch (...) {
        abandon();
        throw;
    }
}

void RecordStore::take(TableFile file, const QString& path)
{
    m_file = std::move(file);
    try {
        load(path);
    } catch (...) {
        abandon();
        throw;
    }
    ++m_generation;
}

void RecordStore::load(const QString& path)
{
    readHeaderAndFields(path);
    countRows();
    remap();
}

void RecordStore::readHeaderAndFields(const QString& path)
{
    const auto notATable = [&path](const QString& why) {
        qCWarning(lcTable) << "not a table:" << path << why;
        return TableError(TableError::Cause::NotATable,
                          QStringLiteral("Файл %1 не является таблицей: %2").arg(path, why));
    };

    const qint64 fileSize = m_file.size();
    if (fileSize < dbf::kHeaderSize)
        throw notATable(QStringLiteral("файл короче заголовка"));
    DbfHeader::Bytes headerBytes{};
    m_file.readAt(0, reinterpret_cast<char*>(headerBytes.data()), dbf::kHeaderSize);
    const DbfHeader header = DbfHeader::fromBytes(headerBytes);
    if (!header.hasKnownVersion())
        throw notATable(QStringLiteral("неизвестная версия"));

    const int headerLength = header.headerLength();
    const qint64 areaSize = std::max<qint64>(0, std::min<qint64>(headerLength, fileSize) - dbf::kHeaderSize);
    QByteArray area(areaSize, Qt::Uninitialized);
    m_file.readAt(dbf::kHeaderSize, area.data(), areaSize);

    // Reading no further than the header length keeps records from overlapping the descriptors.
    std::vector<FieldDescriptor> descriptors;
    const int maxDescriptors = std::max(0, (headerLength - dbf::kHeaderSize) / dbf::kDescriptorSize);
    bool terminated = false;
    for (int i = 0; i < maxDescriptors; ++i) {
        const qsizetype at = static_cast<qsizetype>(i) * dbf::kDescriptorSize;
        if (at < area.size() && area[at] == dbf::kDescriptorTerminator) {
            terminated = true;
            break;
        }
        if (at + dbf::kDescriptorSize > area.size())
            throw notATable(QStringLiteral("описания полей обрываются"));
        auto d = FieldDescriptor::parse(reinterpret_cast<const std::uint8_t*>(area.constData() + at));
        if (!d)
            throw notATable(QStringLiteral("описание поля %1 неверно").arg(i + 1));
        descriptors.push_back(std::move(*d));
    }
    if (descriptors.size() > static_cast<std::size_t>(dbf::kMaxFieldCount))
        throw notATable(QStringLiteral("слишком много полей"));
    const qsizetype terminatorAt = static_cast<qsizetype>(descriptors.size()) * dbf::kDescriptorSize;
    terminated = terminated || (terminatorAt < area.size() && area[terminatorAt] == dbf::kDescriptorTerminator);
    // A header whose lengths disagree with its own field list would have every row read from the
    // wrong place: such a file is no table, whatever rows it seems to hold.
    const int descriptorsEnd = dbf::headerLength(static_cast<int>(descriptors.size()));
    if (!terminated && headerLength >= descriptorsEnd)
        throw notATable(QStringLiteral("нет конца описаний полей"));
    if (terminated && (headerLength < descriptorsEnd || headerLength > descriptorsEnd + dbf::kMaxHeaderPadding))
        throw notATable(QStringLiteral("длина заголовка %1 не согласуется с описаниями полей").arg(headerLength));
    if (recordLengthOf(descriptors) != header.recordLength())
        throw notATable(QStringLiteral("длина записи %1 не согласуется с шириной полей (%2)")
                            .arg(header.recordLength())
                            .arg(recordLengthOf(descriptors)));

    m_layout = FieldLayout::bind(descriptors, header.recordLength());
    m_header = header;
    m_descriptors = std::move(descriptors);
    m_descriptorArea = std::move(area);
    m_descriptorArea.resize(headerLength - dbf::kHeaderSize, '\0');
    m_headerLength = headerLength;
    m_recordLength = header.recordLength();

    // The production index flag only counts when its index file is there; it is written as found
    // with the next header write.
    if (m_header.hasProductionIndex() && !QFileInfo::exists(indexFilePath(path)))
        m_header.setProductionIndex(false);
}

bool RecordStore::slotBeginsRow(std::uint32_t slot)
{
    char flag = 0;
    m_file.readAt(offsetOf(slot), &flag, 1);
    return flag == dbf::kLiveFlag || flag == dbf::kDeletedFlag;
}

void RecordStore::countRows()
{
    const qint64 payload = std::max<qint64>(0, m_file.size() - m_headerLength);
    const auto whole = static_cast<std::uint32_t>(
        std::min<qint64>(payload / m_recordLength, std::numeric_limits<std::uint32_t>::max()));
    const std::uint32_t counted = m_header.recordCount();
    std::uint32_t slots = std::min(whole, counted);
    if (counted < whole) {
        // Whole rows past the count are rows: another program that stopped before its header's count
        // leaves them so. Our own append that never committed is told apart by the end mark it holds
        // in its first new slot until the commit, and stays invisible.
        while (slots < whole && slotBeginsRow(slots + 1))
            ++slots;
    } else {
        // A count too high for the file: a slot that begins with anything but a row's flag (the end
        // mark, zero bytes) is past the last row.
        while (slots > 0 && !slotBeginsRow(slots))
            --slots;
    }
    m_slotCount = m_writtenSlots = m_committedSlots = slots;
    // The header takes the count with the first write this opening makes: an opening that writes
    // nothing leaves every byte, and bytes past the rows are never cut off.
    m_headerStale = slots != counted;
    if (m_headerStale)
        qCInfo(lcTable) << "record count" << counted << "read as" << slots << m_file.path();
}

void RecordStore::close()
{
    if (!m_file.isOpen())
        return;
    // A new table that was never committed is thrown away: the name keeps what it held.
    if (m_file.isReplacement() || !m_file.isWritable()) {
        abandon();
        return;
    }
    try {
        flush();
    } catch (...) {
        abandon();
        throw;
    }
    abandon();
}

void RecordStore::abandon()
{
    m_file.close();
    reset();
}

void RecordStore::reset()
{
    ++m_generation;
    ++m_mapGeneration;
    m_descriptors.clear();
    m_descriptorArea.clear();
    m_slotCount = m_writtenSlots = m_committedSlots = 0;
    m_headerStale = false;
    m_heldFlag.reset();
    m_pendingAppends.clear();
    m_rolledBack = false;
    m_mapped = nullptr;
    m_mappedSlots = 0;
    m_window.clear();
    m_windowFirst = m_windowCount = 0;
}

qint64 RecordStore::offsetOf(std::uint32_t slot) const
{
    return m_headerLength + static_cast<qint64>(slot - 1) * m_recordLength;
}

// ---- writing ----------------------------------------------------------------------------------

void RecordStore::writeHeader()
{
    m_header.setRecordCount(m_committedSlots);
    m_header.setLastUpdate(QDate::currentDate());
    m_file.writeAt(0, reinterpret_cast<const char*>(m_header.bytes().data()), dbf::kHeaderSize);
    m_headerStale = false;
}

void RecordStore::settleHeader()
{
    if (m_headerStale && m_file.isWritable() && !m_file.isReplacement())
        writeHeader();
}

void RecordStore::setProductionIndex(bool present, bool writeNow)
{
    m_header.setProductionIndex(present);
    if (writeNow && m_file.isWritable())
        writeHeader();
}

std::uint32_t RecordStore::append(const char* record)
{
    m_pendingAppends.append(record, m_recordLength);
    ++m_slotCount;
    ++m_generation;
    // A full batch goes to the file past the counted rows; the header counts them at the next flush.
    if (m_pendingAppends.size() >= kAppendBatchBytes)
        writeAppends();
    return m_slotCount;
}

void RecordStore::writeAppends()
{
    m_rolledBack = false;
    if (m_pendingAppends.isEmpty())
        return;
    settleHeader();
    const qint64 offset = offsetOf(m_writtenSlots + 1);
    m_pendingAppends.append(dbf::kEndOfFile);
    if (m_writtenSlots == m_committedSlots) {
        m_heldFlag = m_pendingAppends[0];
        m_pendingAppends[0] = dbf::kEndOfFile;
        ++m_mapGeneration;
    }
    try {
        m_file.writeAt(offset, m_pendingAppends.constData(), m_pendingAppends.size());
    } catch (...) {
        rollBackAppends();
        throw;
    }
    m_pendingAppends.resize(0); // keeps its memory for the next rows
    m_writtenSlots = m_slotCount;
    remap();
}

void RecordStore::flush()
{
    writeAppends();
    // A new table becomes visible as a whole on commitNew(); until then nothing needs committing.
    if (m_file.isReplacement() || m_writtenSlots == m_committedSlots)
        return;
    // The rows reach the disk before the end mark moves and the count takes them in.
    try {
        m_file.sync();
        commitWrittenRows();
        m_file.sync();
    } catch (...) {
        rollBackAppends();
        throw;
    }
}

void RecordStore::commitWrittenRows()
{
    if (m_writtenSlots == m_committedSlots)
        return;
    // The first written row gets its own flag back (two small writes in a row; a crash between them
    // leaves whole rows that a writer's next open cuts back to the count), then the header counts them.
    if (m_heldFlag) {
        m_file.writeAt(offsetOf(m_committedSlots + 1), &*m_heldFlag, 1);
        m_heldFlag.reset();
        ++m_mapGeneration;
    }
    const std::uint32_t committed = std::exchange(m_committedSlots, m_writtenSlots);
    try {
        writeHeader();
    } catch (...) {
        m_committedSlots = committed;
        throw;
    }
}

void RecordStore::keepEndMark(qint64 offset, const char* data, qint64 size)
{
    if (!m_heldFlag)
        return;
    const qint64 held = offsetOf(m_committedSlots + 1);
    if (held < offset || held >= offset + size)
        return;
    m_heldFlag = data[held - offset];
    m_file.writeAt(held, &dbf::kEndOfFile, 1);
}

void RecordStore::rollBackAppends()
{
    // The file goes back to the rows the header counted; so does the store.
    m_pendingAppends.clear();
    m_heldFlag.reset();
    ++m_mapGeneration;
    m_slotCount = m_writtenSlots = m_committedSlots;
    m_rolledBack = true;
    ++m_generation;
    const qint64 end = offsetOf(m_committedSlots + 1);
    try {
        m_file.unmap();
        m_mapped = nullptr;
        m_mappedSlots = 0;
        m_windowCount = 0;
        m_file.truncate(end);
        m_file.writeAt(end, &dbf::kEndOfFile, 1);
        writeHeader();
        remap();
    } catch (const TableError& e) {
        qCWarning(lcTable) << "could not cut the table back after a failed append:" << e.message();
    }
}

void RecordStore::writeRecord(std::uint32_t slot, const char* record)
{
    if (slot > m_writtenSlots) {
        std::memcpy(m_pendingAppends.data() + static_cast<qsizetype>(slot - m_writtenSlots - 1) * m_recordLength,
                    record, static_cast<std::size_t>(m_recordLength));
        return;
    }
    settleHeader();
    const qint64 offset = offsetOf(slot);
    m_file.writeAt(offset, record, m_recordLength);
    keepEndMark(offset, record, m_recordLength);
    if (slot >= m_windowFirst && slot < m_windowFirst + m_windowCount) {
        std::memcpy(m_window.data() + static_cast<qsizetype>(slot - m_windowFirst) * m_recordLength, record,
                    static_cast<std::size_t>(m_recordLength));
    }
}

// ---- reading ----------------------------------------------------------------------------------

void RecordStore::remap()
{
    ++m_mapGeneration;
    m_mapped = m_file.map(m_headerLength, static_cast<qint64>(m_writtenSlots) * m_recordLength);
    m_mappedSlots = m_mapped ? m_writtenSlots : 0;
}

const char* RecordStore::recordOutsideMap(std::uint32_t slot, Direction direction)
{
    const char* stored = storedRecord(slot, direction);
    if (!holdsEndMark(slot))
        return stored;
    m_heldRecord = QByteArray(stored, m_recordLength);
    m_heldRecord[0] = *m_heldFlag;
    return m_heldRecord.constData();
}

const char* RecordStore::walkedRecord(std::uint32_t slot)
{
    const char* stored = slot > m_writtenSlots ? m_pendingAppends.constData() +
                                                     static_cast<qsizetype>(slot - m_writtenSlots - 1) * m_recordLength
                                               : windowRecord(slot, Direction::Forward);
    if (!holdsEndMark(slot))
        return stored;
    m_heldRecord = QByteArray(stored, m_recordLength);
    m_heldRecord[0] = *m_heldFlag;
    return m_heldRecord.constData();
}

const char* RecordStore::storedRecord(std::uint32_t slot, Direction direction)
{
    if (slot > m_writtenSlots)
        return m_pendingAppends.constData() + static_cast<qsizetype>(slot - m_writtenSlots - 1) * m_recordLength;
    if (slot <= m_mappedSlots)
        return m_mapped + static_cast<qsizetype>(slot - 1) * m_recordLength;
    return windowRecord(slot, direction);
}

const char* RecordStore::windowRecord(std::uint32_t slot, Direction direction)
{
    if (slot < m_windowFirst || slot >= m_windowFirst + m_windowCount) {
        const auto perWindow = static_cast<std::uint32_t>(std::max(1, kReadWindowBytes / m_recordLength));
        const std::uint32_t first =
            direction == Direction::Forward ? slot : (slot > perWindow ? slot - perWindow + 1 : 1);
        const std::uint32_t count = std::min(perWindow, m_writtenSlots - first + 1);
        m_window.resize(static_cast<qsizetype>(count) * m_recordLength);
        m_windowCount = 0; // stays empty if the read fails
        m_file.readAt(offsetOf(first), m_window.data(), m_window.size());
        m_windowFirst = first;
        m_windowCount = count;
    }
    return m_window.constData() + static_cast<qsizetype>(slot - m_windowFirst) * m_recordLength;
}

const char* RecordStore::recordForReading(std::uint32_t slot, QByteArray& scratch) const noexcept
{
    if (!isOpen() || slot < 1 || slot > m_slotCount)
        return nullptr;
    if (slot > m_writtenSlots)
        return m_pendingAppends.constData() + static_cast<qsizetype>(slot - m_writtenSlots - 1) * m_recordLength;
    const char* stored = nullptr;
    if (slot <= m_mappedSlots) {
        stored = m_mapped + static_cast<qsizetype>(slot - 1) * m_recordLength;
    } else {
        scratch.resize(m_recordLength);
        if (!m_file.tryReadAt(offsetOf(slot), scratch.data(), m_recordLength))
            return nullptr;
        stored = scratch.constData();
    }
    if (!holdsEndMark(slot))
        return stored;
    // The end mark held in the file stands in for this row's own flag.
    if (stored != scratch.constData())
        scratch = QByteArray(stored, m_recordLength);
    scratch[0] = *m_heldFlag;
    return scratch.constData();
}

// ---- rewrites ---------------------------------------------------------------------------------

std::vector<std::uint32_t> RecordStore::writeRewrittenCopy(TableFile& out, const Rewrite& plan, bool withIndex)
{
    std::vector<std::uint32_t> newSlots(static_cast<std::size_t>(m_slotCount) + 1, 0);
    qint64 at = 0;
    const auto writeAll = [&out, &at](const char* data, qint64 size) {
        out.writeAt(at, data, size);
        at += size;
    };

    DbfHeader header = m_header;
    header.setProductionIndex(withIndex);
    header.setRecordCount(0);
    header.setLastUpdate(QDate::currentDate());
    writeAll(reinterpret_cast<const char*>(header.bytes().data()), dbf::kHeaderSize);
    writeAll(m_descriptorArea.constData(), m_descriptorArea.size());

    const auto dropped = [&plan](std::uint32_t slot) { return slot < plan.drop.size() && plan.drop[slot]; };
    const auto renumbered = [&plan](std::uint32_t slot) { return slot < plan.number.size() && plan.number[slot] != 0; };
    const BoundField& numberField = m_layout[Field::N];

    // The rows go over in pieces read from the file into one buffer, where the rows left out close up
    // and new numbers are written in, and each piece is written as it stands: the bytes pass once
    // through memory the program owns, as in a plain copy, and the map is not read at all (a first
    // read of each mapped page costs more than reading the file).
    const auto perPiece = static_cast<std::uint32_t>(std::max(1, kRewriteWriteBytes / m_recordLength));
    std::vector<char> piece(static_cast<std::size_t>(perPiece) * static_cast<std::size_t>(m_recordLength));
    std::uint32_t copied = 0;
    for (std::uint32_t first = 1; first <= m_slotCount; first += perPiece) {
        const std::uint32_t count = std::min(perPiece, m_slotCount - first + 1);
        m_file.readAt(offsetOf(first), piece.data(), static_cast<qint64>(count) * m_recordLength);
        char* kept = piece.data();
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t slot = first + i;
            char* row = piece.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(m_recordLength);
            if (holdsEndMark(slot))
                row[0] = *m_heldFlag;
            if (row[0] == dbf::kDeletedFlag || dropped(slot))
                continue;
            newSlots[slot] = ++copied;
            if (kept != row)
                std::memmove(kept, row, static_cast<std::size_t>(m_recordLength));
            if (renumbered(slot) &&
                !fieldcodec::writeNumber(static_cast<double>(plan.number[slot]), numberField.decimals,
                                         kept + numberField.offset, numberField.width)) {
                throw TableError(TableError::Cause::ValueTooWide,
                                 QStringLiteral("Значение не помещается в поле N (%1 знаков).").arg(numberField.width));
            }
            kept += m_recordLength;
        }
        writeAll(piece.data(), kept - piece.data());
    }
    writeAll(&dbf::kEndOfFile, 1);

    header.setRecordCount(copied);
    out.writeAt(0, reinterpret_cast<const char*>(header.bytes().data()), dbf::kHeaderSize);
    return newSlots;
}

std::vector<std::uint32_t> RecordStore::rewrite(const Rewrite& plan, bool withIndex,
                                                const std::function<void()>& beforeReplacing)
{
    flush();
    const QString path = m_file.path();
    // The table's name holds the old table until the whole new one is on the disk and renamed over
    // it; then this opening's lock passes to the new file with it, so no other writer gets between.
    TableFile copy = TableFile::createReplacement(path, &m_file);
    std::vector<std::uint32_t> newSlots = writeRewrittenCopy(copy, plan, withIndex);
    copy.sync();
    if (beforeReplacing)
        beforeReplacing();
    copy.commitReplacement();

    reset();
    take(std::move(copy), path);
    return newSlots;
}

} // namespace darni::table

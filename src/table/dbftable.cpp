// The table layer over one dBase table file.
#include "dbftable.h"

#include "fieldcodec.h"
#include "files/atomicfile.h"
#include "mdxfile.h"
#include "sortkey.h"
#include "tableerror.h"
#include "tablelog.h"
#include "tablepaths.h"

#include <QDate>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <utility>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

namespace darni::table {

namespace {
// Rows are read from the file this many bytes at a time, so a walk costs one read per window.
constexpr int kReadWindowBytes = 256 * 1024;
// Appended rows are written together once this many bytes have gathered (and before anything else
// touches the file), with the header's count following each batch.
constexpr int kAppendBatchBytes = 1024 * 1024;
// The packed copy is written in pieces of about this size.
constexpr int kPackWriteBytes = 1024 * 1024;
// A hint to start loading memory that will be read soon; nothing where the compiler has no such hint.
inline void prefetch(const void* address)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

QString latin(std::string_view s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// Under the index's own words, what they mean for the user.
QString keyTooLongExplanation()
{
    return QStringLiteral("По этому столбцу сортировать нельзя: его текст длиннее 100 знаков, а ключ "
                          "сортировки не может быть длиннее.");
}

// The tags of an index file, read only when the file is no larger than an index of the table can be:
// a file of any other size is not ours, and reading it whole would cost for nothing.
std::optional<std::vector<StoredTag>> readIndexFile(const QString& path, std::uint32_t slots)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray headerPages = file.read(mdx::kHeaderPages * mdx::kPageSize);
    const auto tags = MdxFile::tagsInUse(headerPages);
    if (!tags || file.size() > mdx::largestFileFor(slots, *tags)) {
        qCWarning(lcTable) << "index file does not fit its table" << path << file.size();
        return std::nullopt;
    }
    return MdxFile::read(headerPages + file.readAll());
}
} // namespace

// ---- creating ---------------------------------------------------------------------------------

namespace {
QByteArray emptyTableBytes()
{
    std::vector<FieldDescriptor> descriptors;
    descriptors.reserve(kFieldCount);
    for (const auto& entry : kMeasurementFields)
        descriptors.push_back(FieldDescriptor::fromSpec(entry));

    DbfHeader header = DbfHeader::forNewTable(dbf::headerLength(static_cast<int>(kFieldCount)),
                                              recordLengthOf(descriptors));
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

void DbfTable::create(const QString& path)
{
    DbfTable table;
    table.openNew(path);
    table.commitNew();
}

void DbfTable::checkReplaceable(const QString& path)
{
    TableFile::checkReplaceable(path);
}

void DbfTable::openNew(const QString& path)
{
    close();
    // The rows go into a file beside the target, which takes the target's name only when whole: a
    // failure or a crash leaves an earlier table of that name as it was.
    TableFile file = TableFile::createReplacement(path);
    const QByteArray bytes = emptyTableBytes();
    file.writeAt(0, bytes.constData(), bytes.size());
    take(std::move(file), path);
}

void DbfTable::commitNew()
{
    requireOpen();
    try {
        if (m_state != State::Browse)
            post();
        writeAppends();
        commitWrittenRows();
        m_file.commitReplacement();
        if (m_indexStale)
            writeIndexFile();
    } catch (...) {
        m_file.close();
        resetState();
        throw;
    }
}

// ---- opening and closing ----------------------------------------------------------------------

DbfTable::~DbfTable()
{
    try {
        close();
    } catch (const TableError& e) {
        qCWarning(lcTable) << "closing on destruction failed:" << e.message();
    }
}

void DbfTable::open(const QString& path, Access access)
{
    close();
    files::removeAbandonedTemporaries(path);
    files::removeAbandonedTemporaries(indexFilePath(path));
    take(TableFile::open(path, access), path);
}

void DbfTable::take(TableFile file, const QString& path)
{
    m_file = std::move(file);
    try {
        load(path);
    } catch (...) {
        m_file.close();
        resetState();
        throw;
    }
    ++m_generation;
    first();
}

void DbfTable::load(const QString& path)
{
    readHeaderAndFields(path);
    correctRecordCount();
    remap();
    if (m_header.hasProductionIndex())
        loadIndexFile(indexFilePath(path));
}

void DbfTable::readHeaderAndFields(const QString& path)
{
    const auto notATable = [&path](const QString& why) {
        qCWarning(lcTable) << "not a table:" << path << why;
        return TableError(TableError::Cause::NotATable, QStringLiteral("Файл %1 не является таблицей: %2").arg(path, why));
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
    for (int i = 0; i < maxDescriptors; ++i) {
        const qsizetype at = static_cast<qsizetype>(i) * dbf::kDescriptorSize;
        if (at < area.size() && area[at] == dbf::kDescriptorTerminator)
            break;
        if (at + dbf::kDescriptorSize > area.size())
            throw notATable(QStringLiteral("описания полей обрываются"));
        auto d = FieldDescriptor::parse(reinterpret_cast<const std::uint8_t*>(area.constData() + at));
        if (!d)
            throw notATable(QStringLiteral("описание поля %1 неверно").arg(i + 1));
        descriptors.push_back(std::move(*d));
    }
    if (descriptors.size() > static_cast<std::size_t>(dbf::kMaxFieldCount))
        throw notATable(QStringLiteral("слишком много полей"));

    m_layout = FieldLayout::bind(descriptors, header.recordLength());
    m_header = header;
    m_descriptors = std::move(descriptors);
    m_descriptorArea = std::move(area);
    m_descriptorArea.resize(headerLength - dbf::kHeaderSize, '\0');
    m_headerLength = headerLength;
    m_recordLength = header.recordLength();
    m_row = QByteArray(m_recordLength, dbf::kBlank);

    // The production index flag only counts when its index file is there; it is written as found
    // with the next header write.
    if (m_header.hasProductionIndex()) {
        if (!QFileInfo::exists(indexFilePath(path)))
            m_header.setProductionIndex(false);
    }
}

void DbfTable::correctRecordCount()
{
    const qint64 fileSize = m_file.size();
    const qint64 payload = std::max<qint64>(0, fileSize - m_headerLength);
    const auto inFile = static_cast<std::uint32_t>(
        std::min<qint64>(payload / m_recordLength, std::numeric_limits<std::uint32_t>::max()));
    // The header's count is written last by every append, so rows beyond it never were committed;
    // bytes after the end mark are no rows either.
    std::uint32_t slots = std::min(inFile, m_header.recordCount());
    // A count too high for the end mark: a slot that begins with anything but a row's flag (the end
    // mark, zero bytes) is past the last row.
    for (char flag = 0; slots > 0; --slots) {
        m_file.readAt(m_headerLength + static_cast<qint64>(slots - 1) * m_recordLength, &flag, 1);
        if (flag == dbf::kBlank || flag == dbf::kDeletedFlag)
            break;
    }
    m_slotCount = m_writtenSlots = m_committedSlots = slots;
    if (!m_file.isWritable() || m_file.isReplacement())
        return;
    if (slots != m_header.recordCount()) {
        qCInfo(lcTable) << "record count corrected from" << m_header.recordCount() << "to" << slots << m_file.path();
        writeHeader();
    }
    const qint64 end = m_headerLength + static_cast<qint64>(slots) * m_recordLength;
    if (fileSize > end + 1) {
        qCInfo(lcTable) << "cutting off" << fileSize - end - 1 << "bytes after the last row" << m_file.path();
        m_file.truncate(end);
        m_file.writeAt(end, &dbf::kEndOfFile, 1);
    }
}

void DbfTable::close()
{
    if (!m_file.isOpen())
        return;
    if (m_file.isReplacement()) {
        // A new table that was never committed is thrown away: the name keeps what it held.
        m_file.close();
        resetState();
        return;
    }
    try {
        if (m_state != State::Browse && m_file.isWritable())
            post();
        if (m_file.isWritable()) {
            flushAppends();
            if (m_indexStale)
                writeIndexFile();
        }
    } catch (...) {
        m_file.close();
        resetState();
        throw;
    }
    m_file.close();
    resetState();
}

void DbfTable::resetState()
{
    ++m_generation;
    m_descriptors.clear();
    m_descriptorArea.clear();
    m_slotCount = m_writtenSlots = m_committedSlots = 0;
    m_heldFlag.reset();
    m_pendingAppends.clear();
    m_dirtyRows.clear();
    m_batchingWrites = false;
    m_mapped = nullptr;
    m_mappedSlots = 0;
    m_rowInMap = false;
    m_window.clear();
    m_windowFirst = m_windowCount = 0;
    m_row.clear();
    m_current = 0;
    m_state = State::Browse;
    m_bof = m_eof = true;
    m_tags.clear();
    m_activeTag = -1;
    m_orderPosition.reset();
    m_indexStale = false;
}

void DbfTable::requireOpen() const
{
    if (!isOpen())
        throw TableError(TableError::Cause::NotOpen, QStringLiteral("Таблица не открыта."));
}

void DbfTable::requireWritable() const
{
    requireOpen();
    if (!m_file.isWritable())
        throw TableError(TableError::Cause::ReadOnly,
                         QStringLiteral("Таблица %1 открыта только для чтения.").arg(m_file.path()));
}

// ---- writing the file -------------------------------------------------------------------------

void DbfTable::writeHeader()
{
    m_header.setRecordCount(m_committedSlots);
    m_header.setLastUpdate(QDate::currentDate());
    m_file.writeAt(0, reinterpret_cast<const char*>(m_header.bytes().data()), dbf::kHeaderSize);
}

void DbfTable::flush()
{
    requireOpen();
    if (!m_file.isWritable())
        return;
    flushAppends();
    if (m_indexStale)
        writeIndexFile();
}

void DbfTable::writeAppends()
{
    flushDirtyRows();
    if (m_pendingAppends.isEmpty())
        return;
    const qint64 offset = m_headerLength + static_cast<qint64>(m_writtenSlots) * m_recordLength;
    m_pendingAppends.append(dbf::kEndOfFile);
    if (m_writtenSlots == m_committedSlots) {
        m_heldFlag = m_pendingAppends[0];
        m_pendingAppends[0] = dbf::kEndOfFile;
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

void DbfTable::flushAppends()
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

void DbfTable::commitWrittenRows()
{
    if (m_writtenSlots == m_committedSlots)
        return;
    // The first written row gets its own flag back (two small writes in a row; a crash between them
    // leaves whole rows that a writer's next open cuts back to the count), then the header counts them.
    if (m_heldFlag) {
        const qint64 at = m_headerLength + static_cast<qint64>(m_committedSlots) * m_recordLength;
        m_file.writeAt(at, &*m_heldFlag, 1);
        m_heldFlag.reset();
    }
    const std::uint32_t committed = std::exchange(m_committedSlots, m_writtenSlots);
    try {
        writeHeader();
    } catch (...) {
        m_committedSlots = committed;
        throw;
    }
}

void DbfTable::keepEndMark(qint64 offset, const char* data, qint64 size)
{
    if (!m_heldFlag)
        return;
    const qint64 held = m_headerLength + static_cast<qint64>(m_committedSlots) * m_recordLength;
    if (held < offset || held >= offset + size)
        return;
    m_heldFlag = data[held - offset];
    m_file.writeAt(held, &dbf::kEndOfFile, 1);
}

void DbfTable::rollBackAppends()
{
    // The file goes back to the rows the header counted; so does the table in memory.
    if (m_rowInMap && m_current <= m_committedSlots) {
        std::memcpy(m_row.data(), rowData(), static_cast<std::size_t>(m_recordLength));
        m_rowInMap = false;
    }
    m_pendingAppends.clear();
    m_dirtyRows.clear();
    m_heldFlag.reset();
    m_slotCount = m_writtenSlots = m_committedSlots;
    ++m_generation;
    if (m_current > m_slotCount) {
        m_current = 0;
        clearRow();
    }
    const qint64 end = m_headerLength + static_cast<qint64>(m_committedSlots) * m_recordLength;
    try {
        m_file.unmap();
        m_mapped = nullptr;
        m_mappedSlots = 0;
        m_rowInMap = false;
        m_windowCount = 0;
        m_file.truncate(end);
        m_file.writeAt(end, &dbf::kEndOfFile, 1);
        writeHeader();
        remap();
    } catch (const TableError& e) {
        qCWarning(lcTable) << "could not cut the table back after a failed append:" << e.message();
    }
    for (IndexTag& tag : m_tags)
        buildTag(tag);
    m_orderPosition.reset();
}

void DbfTable::writeRecord(std::uint32_t slot, const char* record)
{
    if (slot > m_writtenSlots) {
        std::memcpy(m_pendingAppends.data() + static_cast<qsizetype>(slot - m_writtenSlots - 1) * m_recordLength,
                    record, static_cast<std::size_t>(m_recordLength));
        return;
    }
    if (!m_batchingWrites) {
        flushDirtyRows();
        const qint64 offset = m_headerLength + static_cast<qint64>(slot - 1) * m_recordLength;
        m_file.writeAt(offset, record, m_recordLength);
        keepEndMark(offset, record, m_recordLength);
    } else if (char* dirty = dirtyRecord(slot)) {
        std::memcpy(dirty, record, static_cast<std::size_t>(m_recordLength));
    } else {
        const bool follows = !m_dirtyRows.isEmpty() && slot == m_dirtyFirst + dirtyCount();
        if (!follows || m_dirtyRows.size() >= kAppendBatchBytes)
            flushDirtyRows();
        if (m_dirtyRows.isEmpty())
            m_dirtyFirst = slot;
        m_dirtyRows.append(record, m_recordLength);
    }
    if (slot >= m_windowFirst && slot < m_windowFirst + m_windowCount) {
        std::memcpy(m_window.data() + static_cast<qsizetype>(slot - m_windowFirst) * m_recordLength, record,
                    static_cast<std::size_t>(m_recordLength));
    }
}

// ---- reading rows -----------------------------------------------------------------------------

void DbfTable::remap()
{
    if (m_rowInMap) {
        std::memcpy(m_row.data(), rowData(), static_cast<std::size_t>(m_recordLength));
        m_rowInMap = false;
    }
    m_mapped = m_file.map(m_headerLength, static_cast<qint64>(m_writtenSlots) * m_recordLength);
    m_mappedSlots = m_mapped ? m_writtenSlots : 0;
}

std::uint32_t DbfTable::dirtyCount() const
{
    return static_cast<std::uint32_t>(m_dirtyRows.size() / m_recordLength);
}

const char* DbfTable::dirtyRecord(std::uint32_t slot) const
{
    if (m_dirtyRows.isEmpty() || slot < m_dirtyFirst || slot >= m_dirtyFirst + dirtyCount())
        return nullptr;
    return m_dirtyRows.constData() + static_cast<qsizetype>(slot - m_dirtyFirst) * m_recordLength;
}

char* DbfTable::dirtyRecord(std::uint32_t slot)
{
    if (m_dirtyRows.isEmpty() || slot < m_dirtyFirst || slot >= m_dirtyFirst + dirtyCount())
        return nullptr;
    return m_dirtyRows.data() + static_cast<qsizetype>(slot - m_dirtyFirst) * m_recordLength;
}

void DbfTable::beginWriteBatch()
{
    requireOpen();
    m_batchingWrites = true;
}

void DbfTable::endWriteBatch()
{
    m_batchingWrites = false;
    if (isOpen())
        flushDirtyRows();
}

void DbfTable::flushDirtyRows()
{
    if (m_dirtyRows.isEmpty())
        return;
    const QByteArray rows = std::exchange(m_dirtyRows, {});
    const qint64 offset = m_headerLength + static_cast<qint64>(m_dirtyFirst - 1) * m_recordLength;
    m_file.writeAt(offset, rows.constData(), rows.size());
    keepEndMark(offset, rows.constData(), rows.size());
}

bool DbfTable::holdsEndMark(std::uint32_t slot) const
{
    return m_heldFlag && slot == m_committedSlots + 1;
}

const char* DbfTable::recordAt(std::uint32_t slot, Direction direction)
{
    const char* record = storedRecordAt(slot, direction);
    // Rewritten rows not yet in the file carry their own flag already.
    if (!holdsEndMark(slot) || dirtyRecord(slot))
        return record;
    m_heldRecord = QByteArray(record, m_recordLength);
    m_heldRecord[0] = *m_heldFlag;
    return m_heldRecord.constData();
}

const char* DbfTable::storedRecordAt(std::uint32_t slot, Direction direction)
{
    if (slot > m_writtenSlots)
        return m_pendingAppends.constData() + static_cast<qsizetype>(slot - m_writtenSlots - 1) * m_recordLength;
    if (const char* dirty = dirtyRecord(slot))
        return dirty;
    if (slot <= m_mappedSlots)
        return m_mapped + static_cast<qsizetype>(slot - 1) * m_recordLength;
    if (slot < m_windowFirst || slot >= m_windowFirst + m_windowCount) {
        const auto perWindow = static_cast<std::uint32_t>(std::max(1, kReadWindowBytes / m_recordLength));
        const std::uint32_t first =
            direction == Direction::Forward ? slot : (slot > perWindow ? slot - perWindow + 1 : 1);
        const std::uint32_t count = std::min(perWindow, m_writtenSlots - first + 1);
        m_window.resize(static_cast<qsizetype>(count) * m_recordLength);
        m_windowCount = 0; // stays empty if the read fails
        m_file.readAt(m_headerLength + static_cast<qint64>(first - 1) * m_recordLength, m_window.data(),
                      m_window.size());
        m_windowFirst = first;
        m_windowCount = count;
    }
    return m_window.constData() + static_cast<qsizetype>(slot - m_windowFirst) * m_recordLength;
}

const char* DbfTable::recordForReading(std::uint32_t slot, QByteArray& scratch) const noexcept
{
    if (!isOpen() || slot < 1 || slot > m_slotCount)
        return nullptr;
    if (slot > m_writtenSlots)
        return m_pendingAppends.constData() + static_cast<qsizetype>(slot - m_writtenSlots - 1) * m_recordLength;
    if (const char* dirty = dirtyRecord(slot))
        return dirty;
    const char* stored = nullptr;
    if (slot <= m_mappedSlots) {
        stored = m_mapped + static_cast<qsizetype>(slot - 1) * m_recordLength;
    } else {
        scratch.resize(m_recordLength);
        if (!m_file.tryReadAt(m_headerLength + static_cast<qint64>(slot - 1) * m_recordLength, scratch.data(),
                              m_recordLength))
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

RecordView DbfTable::view()
{
    requireOpen();
    std::vector<std::uint32_t> slots;
    if (m_activeTag < 0) {
        for (std::uint32_t slot = 1; slot <= m_slotCount; ++slot) {
            if (isShown(recordAt(slot, Direction::Forward)))
                slots.push_back(slot);
        }
    } else {
        IndexTag& tag = m_tags[static_cast<std::size_t>(m_activeTag)];
        const std::size_t n = tag.size();
        slots.reserve(n);
        for (std::size_t p = 0; p < n; ++p) {
            const std::uint32_t slot = tag.slotAt(p);
            if (isShown(recordAt(slot, Direction::Forward)))
                slots.push_back(slot);
        }
    }
    return RecordView(*this, std::move(slots), m_generation);
}

bool DbfTable::isShown(const char* record) const
{
    if (record[0] == dbf::kDeletedFlag)
        return false;
    if (!m_filter.isActive())
        return true;
    const BoundField& kind = m_layout[Field::NB_TYPE];
    const double value = fieldcodec::numberValue(std::string_view(record + kind.offset, kind.width)).value_or(0);
    return m_filter.accepts(static_cast<int>(value));
}

std::optional<std::uint32_t> DbfTable::findShown(std::uint32_t from, Direction direction)
{
    if (direction == Direction::Forward) {
        for (std::uint32_t slot = std::max<std::uint32_t>(from, 1); slot <= m_slotCount; ++slot) {
            if (isShown(recordAt(slot, direction)))
                return slot;
        }
        return std::nullopt;
    }
    for (std::uint32_t slot = std::min(from, m_slotCount); slot >= 1; --slot) {
        if (isShown(recordAt(slot, direction)))
            return slot;
    }
    return std::nullopt;
}

void DbfTable::moveTo(std::uint32_t slot)
{
    m_current = slot;
    // A mapped row is read where it lies: a walk touches only the fields it reads.
    m_rowInMap = slot <= m_mappedSlots && !dirtyRecord(slot) && !holdsEndMark(slot);
    if (!m_rowInMap)
        std::memcpy(m_row.data(), recordAt(slot, Direction::Forward), static_cast<std::size_t>(m_recordLength));
}

void DbfTable::clearRow()
{
    m_row.fill(dbf::kBlank);
    m_rowInMap = false;
}

const char* DbfTable::rowData() const
{
    return m_rowInMap ? m_mapped + static_cast<qsizetype>(m_current - 1) * m_recordLength : m_row.constData();
}

// ---- the cursor -------------------------------------------------------------------------------

void DbfTable::setFilter(const RowFilter& filter)
{
    m_filter = filter;
    ++m_generation;
    if (isOpen())
        first();
}

std::optional<std::uint32_t> DbfTable::firstInOrder(Direction direction)
{
    m_orderPosition.reset();
    if (m_activeTag < 0)
        return findShown(direction == Direction::Forward ? 1 : m_slotCount, direction);
    IndexTag& tag = m_tags[static_cast<std::size_t>(m_activeTag)];
    const std::size_t n = tag.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t p = direction == Direction::Forward ? i : n - 1 - i;
        const std::uint32_t slot = tag.slotAt(p);
        if (isShown(recordAt(slot, Direction::Forward))) {
            m_orderPosition = p;
            return slot;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> DbfTable::nextInOrder(Direction direction)
{
    if (m_current == 0)
        return std::nullopt;
    if (m_activeTag < 0) {
        if (direction == Direction::Forward)
            return findShown(m_current + 1, Direction::Forward);
        return m_current > 1 ? findShown(m_current - 1, Direction::Backward) : std::nullopt;
    }
    IndexTag& tag = m_tags[static_cast<std::size_t>(m_activeTag)];
    if (!m_orderPosition)
        m_orderPosition = tag.positionOf(m_current, recordAt(m_current, Direction::Forward));
    if (!m_orderPosition)
        return std::nullopt;
    const std::size_t n = tag.size();
    for (std::size_t p = *m_orderPosition; direction == Direction::Forward ? p + 1 < n : p > 0;) {
        p = direction == Direction::Forward ? p + 1 : p - 1;
        const std::uint32_t slot = tag.slotAt(p);
        if (isShown(recordAt(slot, Direction::Forward))) {
            m_orderPosition = p;
            return slot;
        }
    }
    return std::nullopt;
}

bool DbfTable::first()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    const auto slot = firstInOrder(Direction::Forward);
    m_bof = true;
    m_eof = !slot;
    if (!slot) {
        m_current = 0;
        clearRow();
        return false;
    }
    moveTo(*slot);
    return true;
}

bool DbfTable::last()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    const auto slot = firstInOrder(Direction::Backward);
    m_eof = true;
    m_bof = !slot;
    if (!slot) {
        m_current = 0;
        clearRow();
        return false;
    }
    moveTo(*slot);
    return true;
}

bool DbfTable::next()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    const auto slot = nextInOrder(Direction::Forward);
    if (!slot) {
        m_eof = true;
        return false;
    }
    moveTo(*slot);
    m_bof = m_eof = false;
    return true;
}

bool DbfTable::prior()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    const auto slot = nextInOrder(Direction::Backward);
    if (!slot) {
        m_bof = true;
        return false;
    }
    moveTo(*slot);
    m_bof = m_eof = false;
    return true;
}

bool DbfTable::goToSlot(std::uint32_t slot)
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    if (slot < 1 || slot > m_slotCount || !isShown(recordAt(slot, Direction::Forward)))
        return false;
    if (slot != m_current)
        m_orderPosition.reset();
    moveTo(slot);
    m_bof = m_eof = false;
    return true;
}

void DbfTable::refresh()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    // Appended rows reach the file but are not yet counted: a caller that appends in several steps
    // commits them together with flush() or close(), so a crash keeps all of them or none.
    if (m_file.isWritable()) {
        writeAppends();
        if (m_indexStale)
            writeIndexFile();
    }
    m_windowCount = 0;
    if (m_current == 0 || !goToSlot(m_current))
        first();
}

int DbfTable::count()
{
    requireOpen();
    int shown = 0;
    for (std::uint32_t slot = 1; slot <= m_slotCount; ++slot) {
        if (isShown(recordAt(slot, Direction::Forward)))
            ++shown;
    }
    return shown;
}

// ---- fields -----------------------------------------------------------------------------------

Field DbfTable::fieldNamed(std::string_view name)
{
    const auto field = fieldByName(name);
    if (!field)
        throw TableError(TableError::Cause::MissingField, QStringLiteral("В таблице нет поля %1.").arg(latin(name)));
    return *field;
}

std::string_view DbfTable::fieldView(Field f) const
{
    const BoundField& b = m_layout[f];
    if (m_recordLength < b.offset + b.width || m_row.isEmpty())
        return {};
    return {rowData() + b.offset, static_cast<std::size_t>(b.width)};
}

char* DbfTable::fieldBytes(Field f)
{
    return m_row.data() + m_layout[f].offset;
}

bool DbfTable::isNull(Field f) const
{
    return fieldView(f).find_first_not_of(dbf::kBlank) == std::string_view::npos;
}

QByteArray DbfTable::text(Field f) const
{
    const auto value = fieldcodec::textValue(fieldView(f));
    return QByteArray(value.data(), static_cast<qsizetype>(value.size()));
}

std::optional<double> DbfTable::number(Field f) const
{
    return fieldcodec::numberValue(fieldView(f));
}

std::int32_t DbfTable::integer(Field f) const
{
    return fieldcodec::integerValue(fieldView(f));
}

void DbfTable::requireEditing() const
{
    requireOpen();
    if (m_state == State::Browse)
        throw TableError(TableError::Cause::NotEditing, QStringLiteral("Строка таблицы не редактируется."));
}

void DbfTable::setText(Field f, std::string_view cp1251Text)
{
    requireEditing();
    fieldcodec::writeText(cp1251Text, fieldBytes(f), m_layout[f].width);
}

void DbfTable::checkedWriteNumber(Field f, bool fits)
{
    if (fits)
        return;
    throw TableError(TableError::Cause::ValueTooWide,
                     QStringLiteral("Значение не помещается в поле %1 (%2 знаков).")
                         .arg(latin(fieldSpec(f).name))
                         .arg(m_layout[f].width));
}

void DbfTable::setReal(Field f, double value)
{
    requireEditing();
    const BoundField& b = m_layout[f];
    // Fields without decimals take the whole part: decoded values are truncated, never rounded.
    const double stored = b.decimals == 0 ? std::trunc(value) : value;
    checkedWriteNumber(f, fieldcodec::writeNumber(stored, b.decimals, fieldBytes(f), b.width));
}

void DbfTable::setInteger(Field f, std::int64_t value)
{
    requireEditing();
    const BoundField& b = m_layout[f];
    const bool fits = b.decimals == 0
                          ? fieldcodec::writeInteger(value, fieldBytes(f), b.width)
                          : fieldcodec::writeNumber(static_cast<double>(value), b.decimals, fieldBytes(f), b.width);
    checkedWriteNumber(f, fits);
}

void DbfTable::setNull(Field f)
{
    requireEditing();
    std::memset(fieldBytes(f), dbf::kBlank, static_cast<std::size_t>(m_layout[f].width));
}

// ---- changing rows ----------------------------------------------------------------------------

void DbfTable::append()
{
    requireWritable();
    if (m_state != State::Browse)
        post();
    clearRow();
    m_current = 0;
    m_state = State::Insert;
}

void DbfTable::edit()
{
    requireWritable();
    if (m_state != State::Browse)
        return;
    if (m_current == 0)
        throw TableError(TableError::Cause::NoCurrentRow, QStringLiteral("Нет текущей строки."));
    if (m_rowInMap) {
        std::memcpy(m_row.data(), rowData(), static_cast<std::size_t>(m_recordLength));
        m_rowInMap = false;
    }
    m_state = State::Edit;
}

void DbfTable::post()
{
    requireOpen();
    if (m_state == State::Edit) {
        if (m_tags.empty()) {
            writeRecord(m_current, m_row.constData());
        } else {
            const QByteArray before(recordAt(m_current, Direction::Forward), m_recordLength);
            writeRecord(m_current, m_row.constData());
            updateTags(m_current, before.constData(), m_row.constData());
        }
    } else if (m_state == State::Insert) {
        m_pendingAppends.append(m_row);
        m_current = ++m_slotCount;
        ++m_generation;
        m_bof = m_eof = false;
        updateTags(m_current, nullptr, m_row.constData());
    }
    m_state = State::Browse;
    // A full batch goes to the file past the counted rows; the header counts them at the next flush.
    if (m_pendingAppends.size() >= kAppendBatchBytes)
        writeAppends();
}

void DbfTable::cancel()
{
    requireOpen();
    const State was = m_state;
    m_state = State::Browse;
    if (was == State::Edit)
        moveTo(m_current);
    else if (was == State::Insert)
        first();
}

void DbfTable::deleteRow()
{
    requireWritable();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_current == 0)
        throw TableError(TableError::Cause::NoCurrentRow, QStringLiteral("Нет текущей строки."));
    m_state = State::Browse; // an unposted edit of a deleted row is dropped
    QByteArray record(recordAt(m_current, Direction::Forward), m_recordLength);
    const auto after = nextInOrder(Direction::Forward);
    const auto before = after ? std::nullopt : nextInOrder(Direction::Backward);
    record[0] = dbf::kDeletedFlag;
    const QByteArray live(recordAt(m_current, Direction::Forward), m_recordLength);
    writeRecord(m_current, record.constData());
    updateTags(m_current, live.constData(), nullptr);
    ++m_generation;

    if (after) {
        moveTo(*after);
        m_bof = m_eof = false;
    } else if (before) {
        moveTo(*before);
        m_bof = false;
        m_eof = true;
    } else {
        m_current = 0;
        clearRow();
        m_bof = m_eof = true;
    }
}

// ---- pack and other rewrites -------------------------------------------------------------------

std::uint32_t DbfTable::writeRewrittenCopy(TableFile& out, const Rewrite& plan)
{
    qint64 at = 0;
    const auto writeAll = [&out, &at](const char* data, qint64 size) {
        out.writeAt(at, data, size);
        at += size;
    };

    DbfHeader header = m_header;
    header.setProductionIndex(!m_tags.empty());
    header.setRecordCount(0);
    header.setLastUpdate(QDate::currentDate());
    writeAll(reinterpret_cast<const char*>(header.bytes().data()), dbf::kHeaderSize);
    writeAll(m_descriptorArea.constData(), m_descriptorArea.size());

    const auto dropped = [&plan](std::uint32_t slot) { return slot < plan.drop.size() && plan.drop[slot]; };
    const auto renumbered = [&plan](std::uint32_t slot) {
        return slot < plan.number.size() && plan.number[slot] != 0;
    };
    const BoundField& numberField = m_layout[Field::N];

    // Runs of rows copied unchanged go over whole, by the system's own copy where it has one.
    std::uint32_t copied = 0;
    // One buffer for the whole copy: its memory is kept between pieces, never given back and taken anew.
    std::vector<char> batch;
    batch.reserve(static_cast<std::size_t>(kPackWriteBytes + m_recordLength));
    const auto appendRecord = [&batch, this](const char* record) {
        batch.insert(batch.end(), record, record + m_recordLength);
    };
    bool systemCopy = true;
    const auto writeBatch = [&] {
        writeAll(batch.data(), static_cast<qint64>(batch.size()));
        batch.clear();
    };
    const auto copyRun = [&](std::uint32_t first, std::uint32_t end) {
        if (first == 0 || first == end)
            return;
        const qint64 offset = m_headerLength + static_cast<qint64>(first - 1) * m_recordLength;
        const qint64 length = static_cast<qint64>(end - first) * m_recordLength;
        if (systemCopy && end - 1 <= m_writtenSlots) {
            if (!batch.empty())
                writeBatch();
            if (m_file.copyTo(out, offset, length, at)) {
                at += length;
                return;
            }
            systemCopy = false;
        }
        for (std::uint32_t slot = first; slot < end; ++slot) {
            appendRecord(recordAt(slot, Direction::Forward));
            if (batch.size() >= static_cast<std::size_t>(kPackWriteBytes))
                writeBatch();
        }
    };
    std::uint32_t runStart = 0;
    for (std::uint32_t slot = 1; slot <= m_slotCount; ++slot) {
        const char* record = recordAt(slot, Direction::Forward);
        if (record[0] == dbf::kDeletedFlag || dropped(slot) || renumbered(slot)) {
            copyRun(runStart, slot);
            runStart = 0;
            if (record[0] == dbf::kDeletedFlag || dropped(slot))
                continue;
            ++copied;
            const std::size_t start = batch.size();
            appendRecord(record);
            if (!fieldcodec::writeNumber(static_cast<double>(plan.number[slot]), numberField.decimals,
                                         batch.data() + start + numberField.offset, numberField.width))
                checkedWriteNumber(Field::N, false);
            if (batch.size() >= static_cast<std::size_t>(kPackWriteBytes))
                writeBatch();
            continue;
        }
        ++copied;
        if (runStart == 0)
            runStart = slot;
    }
    copyRun(runStart, m_slotCount + 1);
    batch.push_back(dbf::kEndOfFile);
    writeBatch();

    header.setRecordCount(copied);
    out.writeAt(0, reinterpret_cast<const char*>(header.bytes().data()), dbf::kHeaderSize);
    return copied;
}

void DbfTable::rewrite(const Rewrite& plan)
{
    requireWritable();
    if (m_state != State::Browse)
        post();
    flushAppends();

    const QString path = m_file.path();
    const QString active = activeTag();
    std::vector<IndexTag> tags;
    for (const IndexTag& t : m_tags)
        tags.push_back(makeTag(t.name(), t.field(), t.isDescending()));

    // The table's name holds the old table until the whole new one is on the disk and renamed over
    // it; then this opening's lock passes to the new file with it, so no other writer gets between.
    TableFile copy = TableFile::createReplacement(path, &m_file);
    writeRewrittenCopy(copy, plan);
    copy.commitReplacement();

    resetState();
    m_file = std::move(copy);
    load(path);
    for (IndexTag& tag : tags)
        buildTag(tag);
    m_tags = std::move(tags);
    if (m_tags.empty()) {
        QFile::remove(indexFilePath(path));
    } else {
        // The order is taken from the rows at the next open, so an index file lost here costs nothing.
        try {
            writeIndexFile();
        } catch (const TableError& e) {
            qCWarning(lcTable) << "index file not rewritten after a rewrite:" << e.message();
        }
    }
    if (!active.isEmpty() && findTag(active) >= 0)
        setActiveTag(active);
    first();
}

void DbfTable::pack()
{
    rewrite({});
}

void DbfTable::removeRows(const std::vector<std::uint32_t>& slots)
{
    requireWritable();
    Rewrite plan;
    plan.drop.assign(static_cast<std::size_t>(m_slotCount) + 1, false);
    for (const std::uint32_t slot : slots) {
        if (slot >= 1 && slot <= m_slotCount)
            plan.drop[slot] = true;
    }
    rewrite(plan);
}

void DbfTable::renumberRows(std::span<const std::uint32_t> slotsInOrder)
{
    requireWritable();
    Rewrite plan;
    plan.number.assign(static_cast<std::size_t>(m_slotCount) + 1, 0);
    std::uint32_t number = 0;
    for (const std::uint32_t slot : slotsInOrder) {
        if (slot >= 1 && slot <= m_slotCount && plan.number[slot] == 0)
            plan.number[slot] = ++number;
    }
    rewrite(plan);
}

// ---- sort tags --------------------------------------------------------------------------------

QString DbfTable::indexPath() const
{
    return indexFilePath(m_file.path());
}

int DbfTable::findTag(const QString& name) const
{
    for (std::size_t i = 0; i < m_tags.size(); ++i) {
        if (m_tags[i].name().compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

IndexTag DbfTable::makeTag(const QString& name, Field field, bool descending) const
{
    const BoundField& b = m_layout[field];
    const QString fieldName = latin(fieldSpec(field).name);
    if (fieldSpec(field).valueType != ValueType::Text)
        return IndexTag(name, field, descending, IndexTag::KeyType::Number, {{b.offset, b.width}}, fieldName);
    // A composed key where the table's fields are wide enough for its pieces; else the field itself.
    if (const ComposedKey* composed = composedKeyFor(field)) {
        std::vector<IndexTag::Range> ranges;
        for (const KeyPart& part : composed->parts) {
            const BoundField& piece = m_layout[part.field];
            if (part.from + part.length > piece.width)
                return IndexTag(name, field, descending, IndexTag::KeyType::Text, {{b.offset, b.width}}, fieldName);
            ranges.push_back({piece.offset + part.from, part.length});
        }
        return IndexTag(name, field, descending, IndexTag::KeyType::Text, std::move(ranges), latin(composed->expression));
    }
    return IndexTag(name, field, descending, IndexTag::KeyType::Text, {{b.offset, b.width}}, fieldName);
}

void DbfTable::buildTag(IndexTag& tag)
{
    tag.clear();
    tag.reserve(m_slotCount);
    // Keys lie a record apart; asking for them a few records ahead hides most of the memory's latency.
    constexpr std::uint32_t kPrefetchAhead = 8;
    const int keyOffset = m_layout[tag.field()].offset;
    for (std::uint32_t slot = 1; slot <= m_slotCount; ++slot) {
        if (slot + kPrefetchAhead <= m_mappedSlots) {
            const char* ahead = m_mapped + static_cast<qsizetype>(slot + kPrefetchAhead - 1) * m_recordLength;
            prefetch(ahead);
            prefetch(ahead + keyOffset);
        }
        const char* record = recordAt(slot, Direction::Forward);
        if (record[0] != dbf::kDeletedFlag)
            tag.add(slot, record);
    }
    (void)tag.size(); // sorts
}

void DbfTable::updateTags(std::uint32_t slot, const char* before, const char* after)
{
    for (IndexTag& tag : m_tags) {
        if (before && after && tag.sameKey(before, after))
            continue;
        if (before)
            tag.remove(slot, before);
        if (after)
            tag.add(slot, after);
        m_indexStale = true;
        m_orderPosition.reset();
    }
}

void DbfTable::writeIndexFile()
{
    // A table open only for reading keeps its order in memory and leaves the index file as it is.
    if (!m_file.isWritable())
        return;
    // The index may name rows not yet counted: an open takes the order from the rows themselves.
    writeAppends();
    std::vector<IndexTag*> tags;
    for (IndexTag& t : m_tags)
        tags.push_back(&t);
    MdxFile::write(indexPath(), QFileInfo(m_file.path()).completeBaseName(), tags);
    m_indexStale = false;
}

void DbfTable::loadIndexFile(const QString& path)
{
    // An index file that is missing, unreadable or not sound counts as absent: the table opens without
    // tags, and the next tag made replaces the file.
    const auto stored = readIndexFile(path, m_slotCount);
    std::vector<IndexTag> tags;
    bool usable = stored.has_value();
    for (const StoredTag& s : stored.value_or(std::vector<StoredTag>{})) {
        const std::string expression = s.definition.fieldName.toStdString();
        const ComposedKey* composed = composedKeyNamed(expression);
        const auto field = composed ? std::optional<Field>(composed->field) : fieldByName(expression);
        if (!field || findTag(s.definition.name) >= 0) {
            usable = false;
            break;
        }
        IndexTag tag = makeTag(s.definition.name, *field, s.definition.descending);
        if (static_cast<char>(tag.keyType()) != s.definition.keyType || tag.keyLength() != s.definition.keyLength ||
            tag.expression().compare(s.definition.fieldName, Qt::CaseInsensitive) != 0) {
            usable = false;
            break;
        }
        tags.push_back(std::move(tag));
    }
    if (!usable) {
        qCWarning(lcTable) << "index file ignored" << path;
        m_header.setProductionIndex(false);
        return;
    }
    // The order comes from the rows themselves, so an index file left behind by an interrupted run
    // cannot put the walk out of step with the table.
    for (IndexTag& tag : tags)
        buildTag(tag);
    m_tags = std::move(tags);
}

void DbfTable::addTag(const QString& name, std::string_view fieldName, bool descending)
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    const Field field = fieldNamed(fieldName);
    const BoundField& b = m_layout[field];
    if (fieldSpec(field).valueType == ValueType::Text && b.width > mdx::kMaxTextKey) {
        throw TableError(TableError::Cause::KeyTooLong,
                         QStringLiteral("Index result for \"%1\" too long, >100 characters (%2).\n%3")
                             .arg(latin(fieldSpec(field).name))
                             .arg(b.width)
                             .arg(keyTooLongExplanation()));
    }
    if (findTag(name) >= 0)
        throw TableError(TableError::Cause::TagExists, QStringLiteral("Тег %1 уже есть.").arg(name));
    if (m_tags.size() >= static_cast<std::size_t>(mdx::kMaxTags))
        throw TableError(TableError::Cause::TagExists, QStringLiteral("Больше тегов в индексном файле нет места."));

    IndexTag tag = makeTag(name, field, descending);
    buildTag(tag);
    m_tags.push_back(std::move(tag));
    writeIndexFile();
    // A table open only for reading sorts in memory; its header stays as it is.
    if (!m_header.hasProductionIndex() && m_file.isWritable()) {
        m_header.setProductionIndex(true);
        writeHeader();
    }
}

void DbfTable::deleteTag(const QString& name)
{
    requireOpen();
    const int at = findTag(name);
    if (at < 0)
        throw TableError(TableError::Cause::NoSuchTag, QStringLiteral("Тега %1 нет.").arg(name));
    m_tags.erase(m_tags.begin() + at);
    if (m_activeTag == at)
        m_activeTag = -1;
    else if (m_activeTag > at)
        --m_activeTag;
    m_orderPosition.reset();
    ++m_generation;
    writeIndexFile();
}

void DbfTable::setActiveTag(const QString& name)
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    const int at = name.isEmpty() ? -1 : findTag(name);
    if (!name.isEmpty() && at < 0)
        throw TableError(TableError::Cause::NoSuchTag, QStringLiteral("Тега %1 нет.").arg(name));
    m_activeTag = at;
    m_orderPosition.reset();
    ++m_generation;
}

QString DbfTable::activeTag() const
{
    return m_activeTag < 0 ? QString() : m_tags[static_cast<std::size_t>(m_activeTag)].name();
}

QStringList DbfTable::tagNames() const
{
    QStringList names;
    for (const IndexTag& t : m_tags)
        names << t.name();
    return names;
}

void DbfTable::rebuildTags()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    for (IndexTag& tag : m_tags)
        buildTag(tag);
    m_orderPosition.reset();
    writeIndexFile();
}

} // namespace darni::table

// A compound file with one stream, laid out as the published format describes it (version 3,
// 512-byte sectors): the header, the stream's sectors, one directory sector, the allocation table
// sectors and, for a stream of more than about 7 MB, the sectors that list those beyond the header's
// 109.
#include "compoundfilewriter.h"

#include "files/fileerror.h"
#include "xlserror.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <vector>

namespace darni::output::xls {

namespace {

constexpr int kSectorSize = 512;
constexpr int kSectorShift = 9;
constexpr int kMiniSectorShift = 6;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr int kHeaderSize = 512;
constexpr int kHeaderFatSlots = 109;
constexpr int kEntriesPerSector = kSectorSize / 4;
constexpr int kFatSlotsPerDifatSector = kEntriesPerSector - 1; // the last entry chains to the next
constexpr int kDirectoryEntrySize = 128;
constexpr int kDirectoryEntriesPerSector = kSectorSize / kDirectoryEntrySize;
constexpr int kMaxNameCharacters = 31;

constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

constexpr std::array<std::uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint16_t kMinorVersion = 0x003E;
constexpr std::uint16_t kMajorVersion = 0x0003;
constexpr std::uint16_t kByteOrderMark = 0xFFFE;

enum class ObjectType : std::uint8_t { Unused = 0, Stream = 2, Root = 5 };
constexpr std::uint8_t kBlack = 1;
const QString kRootName = QStringLiteral("Root Entry");

// Result codes of the platform's structured-storage service, kept for the texts users see.
constexpr std::int32_t kAccessDenied = static_cast<std::int32_t>(0x80030005);
constexpr std::int32_t kPathNotFound = static_cast<std::int32_t>(0x80030003);
constexpr std::int32_t kCannotSave = static_cast<std::int32_t>(0x80030103);
constexpr std::int32_t kInvalidName = static_cast<std::int32_t>(0x800300FC);
constexpr std::int32_t kMediumFull = static_cast<std::int32_t>(0x80030070);

class Bytes
{
public:
    explicit Bytes(int size) : m_data(size, '\0') {}
    void u8(int at, std::uint8_t v) { m_data[at] = static_cast<char>(v); }
    void u16(int at, std::uint16_t v) { qToLittleEndian(v, m_data.data() + at); }
    void u32(int at, std::uint32_t v) { qToLittleEndian(v, m_data.data() + at); }
    void u64(int at, std::uint64_t v) { qToLittleEndian(v, m_data.data() + at); }
    const QByteArray& data() const { return m_data; }

private:
    QByteArray m_data;
};

// The structured-storage code that the platform's service gives for each cause of failure.
std::int32_t storageCode(files::FileCause cause)
{
    switch (cause) {
    case files::FileCause::NotFound:
        return kPathNotFound;
    case files::FileCause::NoPermission:
    case files::FileCause::ReadOnly:
    case files::FileCause::Locked:
    case files::FileCause::NotAFile:
        return kAccessDenied;
    case files::FileCause::DiskFull:
        return kMediumFull;
    case files::FileCause::TooLarge:
    case files::FileCause::Other:
        break;
    }
    return kCannotSave;
}

std::uint32_t sectorsFor(std::int64_t bytes)
{
    return static_cast<std::uint32_t>((bytes + kSectorSize - 1) / kSectorSize);
}

// Where everything lies, sector numbers counted from the first sector after the header.
struct Layout
{
    std::uint32_t streamSectors = 0;
    std::uint32_t directorySector = 0;
    std::uint32_t fatSectors = 0;
    std::uint32_t difatSectors = 0;

    std::uint32_t firstFat() const { return directorySector + 1; }
    std::uint32_t firstDifat() const { return firstFat() + fatSectors; }
    std::uint32_t total() const { return firstDifat() + difatSectors; }

    static Layout of(std::uint32_t streamSectors)
    {
        Layout l;
        l.streamSectors = streamSectors;
        l.directorySector = streamSectors;
        // The tables must cover themselves as well; grow them until they do.
        for (;;) {
            const std::uint32_t beyondHeader = l.fatSectors > kHeaderFatSlots ? l.fatSectors - kHeaderFatSlots : 0;
            const std::uint32_t difat = (beyondHeader + kFatSlotsPerDifatSector - 1) / kFatSlotsPerDifatSector;
            const std::uint32_t fat =
                (l.streamSectors + 1 + l.fatSectors + difat + kEntriesPerSector - 1) / kEntriesPerSector;
            if (fat == l.fatSectors && difat == l.difatSectors)
                return l;
            l.fatSectors = std::max(fat, l.fatSectors);
            l.difatSectors = difat;
        }
    }
};

QByteArray directoryEntry(const QString& name, ObjectType type, std::uint32_t child, std::uint32_t start,
                          std::uint64_t size)
{
    Bytes e(kDirectoryEntrySize);
    const QString cut = name.left(kMaxNameCharacters);
    for (int i = 0; i < cut.size(); ++i)
        e.u16(2 * i, cut[i].unicode());
    e.u16(64, static_cast<std::uint16_t>(type == ObjectType::Unused ? 0 : (cut.size() + 1) * 2));
    e.u8(66, static_cast<std::uint8_t>(type));
    e.u8(67, type == ObjectType::Unused ? 0 : kBlack);
    e.u32(68, kNoStream); // left sibling
    e.u32(72, kNoStream); // right sibling
    e.u32(76, child);
    e.u32(116, start);
    e.u64(120, size);
    return e.data();
}

} // namespace

CompoundFileWriter::CompoundFileWriter(const QString& path, const QString& streamName) : m_streamName(streamName)
{
    try {
        m_file = std::make_unique<files::AtomicFile>(path);
    } catch (const files::FileError& e) {
        throw XlsError(QStringLiteral("Не удалось создать файл книги %1: %2.\nStgCreateDocFile error %3")
                           .arg(path, e.reason())
                           .arg(storageCode(e.cause())));
    }
    if (streamName.isEmpty() || streamName.size() > kMaxNameCharacters)
        throw XlsError(QStringLiteral("CreateStream error %1").arg(kInvalidName));
    // The header is written last, when the layout is known.
    writeOut(QByteArray(kHeaderSize, '\0').constData(), kHeaderSize);
}

void CompoundFileWriter::fail(const QString& detail) const
{
    throw XlsError(detail);
}

void CompoundFileWriter::writeOut(const char* data, std::int64_t length)
{
    try {
        m_file->write(data, length);
    } catch (const files::FileError& e) {
        fail(e.message());
    }
}

void CompoundFileWriter::write(const char* data, std::int64_t length)
{
    writeOut(data, length);
    m_size += length;
}

void CompoundFileWriter::patch(std::int64_t position, const char* data, std::int64_t length)
{
    QIODevice& device = m_file->device();
    const qint64 end = device.pos();
    if (!device.seek(kHeaderSize + position))
        fail(QStringLiteral("Ошибка записи файла %1.").arg(m_file->target()));
    writeOut(data, length);
    if (!device.seek(end))
        fail(QStringLiteral("Ошибка записи файла %1.").arg(m_file->target()));
}

void CompoundFileWriter::finish()
{
    // A stream shorter than the cutoff would belong in the mini stream; padding it to the cutoff
    // keeps every stream in ordinary sectors, and readers stop at the workbook's end record anyway.
    if (m_size < kMiniStreamCutoff)
        write(QByteArray(static_cast<qsizetype>(kMiniStreamCutoff - m_size), '\0').constData(),
              kMiniStreamCutoff - m_size);
    const std::int64_t tail = static_cast<std::int64_t>(sectorsFor(m_size)) * kSectorSize - m_size;
    if (tail > 0)
        writeOut(QByteArray(static_cast<qsizetype>(tail), '\0').constData(), tail);

    const Layout layout = Layout::of(sectorsFor(m_size));

    QByteArray directory = directoryEntry(kRootName, ObjectType::Root, 1, kEndOfChain, 0);
    directory += directoryEntry(m_streamName, ObjectType::Stream, kNoStream, 0, static_cast<std::uint64_t>(m_size));
    for (int i = 2; i < kDirectoryEntriesPerSector; ++i)
        directory += directoryEntry({}, ObjectType::Unused, kNoStream, 0, 0);
    writeOut(directory.constData(), directory.size());

    std::vector<std::uint32_t> fat(static_cast<std::size_t>(layout.fatSectors) * kEntriesPerSector, kFreeSector);
    for (std::uint32_t s = 0; s < layout.streamSectors; ++s)
        fat[s] = s + 1 == layout.streamSectors ? kEndOfChain : s + 1;
    fat[layout.directorySector] = kEndOfChain;
    for (std::uint32_t s = 0; s < layout.fatSectors; ++s)
        fat[layout.firstFat() + s] = kFatSector;
    for (std::uint32_t s = 0; s < layout.difatSectors; ++s)
        fat[layout.firstDifat() + s] = kDifatSector;
    QByteArray table(static_cast<qsizetype>(fat.size()) * 4, '\0');
    for (std::size_t i = 0; i < fat.size(); ++i)
        qToLittleEndian(fat[i], table.data() + i * 4);
    writeOut(table.constData(), table.size());

    // FAT sectors beyond the header's list, 127 per sector, each sector chained to the next.
    for (std::uint32_t d = 0; d < layout.difatSectors; ++d) {
        Bytes sector(kSectorSize);
        for (int i = 0; i < kFatSlotsPerDifatSector; ++i) {
            const std::uint32_t n = kHeaderFatSlots + d * kFatSlotsPerDifatSector + static_cast<std::uint32_t>(i);
            sector.u32(i * 4, n < layout.fatSectors ? layout.firstFat() + n : kFreeSector);
        }
        sector.u32(kFatSlotsPerDifatSector * 4,
                   d + 1 < layout.difatSectors ? layout.firstDifat() + d + 1 : kEndOfChain);
        writeOut(sector.data().constData(), kSectorSize);
    }

    Bytes header(kHeaderSize);
    for (int i = 0; i < static_cast<int>(kSignature.size()); ++i)
        header.u8(i, kSignature[static_cast<std::size_t>(i)]);
    header.u16(24, kMinorVersion);
    header.u16(26, kMajorVersion);
    header.u16(28, kByteOrderMark);
    header.u16(30, kSectorShift);
    header.u16(32, kMiniSectorShift);
    header.u32(44, layout.fatSectors);
    header.u32(48, layout.directorySector);
    header.u32(56, kMiniStreamCutoff);
    header.u32(60, kEndOfChain); // no mini allocation table
    header.u32(64, 0);
    header.u32(68, layout.difatSectors > 0 ? layout.firstDifat() : kEndOfChain);
    header.u32(72, layout.difatSectors);
    for (int i = 0; i < kHeaderFatSlots; ++i) {
        const auto n = static_cast<std::uint32_t>(i);
        header.u32(76 + i * 4, n < layout.fatSectors ? layout.firstFat() + n : kFreeSector);
    }
    if (!m_file->device().seek(0))
        fail(QStringLiteral("Ошибка записи файла %1.").arg(m_file->target()));
    writeOut(header.data().constData(), kHeaderSize);
    try {
        m_file->commit();
    } catch (const files::FileError& e) {
        fail(e.message());
    }
}

} // namespace darni::output::xls

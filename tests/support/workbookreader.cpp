// Reads back what the workbook writer wrote.
#include "workbookreader.h"

#include <QFile>
#include <QtEndian>

namespace darni::testing {

namespace {
constexpr int kSectorSize = 512;
constexpr int kHeaderSize = 512;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr int kHeaderFatSlots = 109;
} // namespace

std::uint16_t u16At(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<std::uint16_t>(b.constData() + at);
}

std::uint32_t u32At(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<std::uint32_t>(b.constData() + at);
}

QByteArray compoundFileStream(const QString& path, const QString& name)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray file = f.readAll();
    if (file.size() < kHeaderSize)
        return {};
    const auto sector = [&](std::uint32_t s) {
        return file.mid(kHeaderSize + qsizetype(s) * kSectorSize, kSectorSize);
    };

    // The FAT sectors: the header's 109, then the DIFAT chain.
    std::vector<std::uint32_t> fatSectors;
    const std::uint32_t fatCount = u32At(file, 44);
    for (int i = 0; i < kHeaderFatSlots && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(u32At(file, 76 + 4 * i));
    for (std::uint32_t d = u32At(file, 68); d != kEndOfChain && fatSectors.size() < fatCount;) {
        const QByteArray s = sector(d);
        for (int i = 0; i < 127 && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(u32At(s, 4 * i));
        d = u32At(s, 127 * 4);
    }
    QByteArray fatBytes;
    for (const std::uint32_t s : fatSectors)
        fatBytes += sector(s);
    const auto next = [&](std::uint32_t s) { return u32At(fatBytes, 4 * qsizetype(s)); };
    const auto chain = [&](std::uint32_t start) {
        QByteArray out;
        for (std::uint32_t s = start; s != kEndOfChain && out.size() < file.size(); s = next(s))
            out += sector(s);
        return out;
    };

    const QByteArray directory = chain(u32At(file, 48));
    for (qsizetype e = 0; e + 128 <= directory.size(); e += 128) {
        const int nameBytes = u16At(directory, e + 64);
        if (nameBytes < 2)
            continue;
        const QString entryName =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(directory.constData() + e), nameBytes / 2 - 1);
        if (entryName != name)
            continue;
        const std::uint32_t start = u32At(directory, e + 116);
        const std::uint32_t size = u32At(directory, e + 120);
        return chain(start).left(size);
    }
    return {};
}

std::vector<BiffRecord> biffRecords(const QByteArray& stream, std::int64_t from)
{
    constexpr std::uint16_t kEof = 0x000A;
    std::vector<BiffRecord> records;
    for (qsizetype at = from; at + 4 <= stream.size();) {
        const std::uint16_t number = u16At(stream, at);
        const std::uint16_t length = u16At(stream, at + 2);
        records.push_back({number, stream.mid(at + 4, length), at});
        at += 4 + length;
        if (number == kEof)
            break;
    }
    return records;
}

std::vector<BiffRecord> firstSheetRecords(const QByteArray& stream)
{
    constexpr std::uint16_t kBoundSheet8 = 0x0085;
    for (const BiffRecord& r : biffRecords(stream)) {
        if (r.number == kBoundSheet8)
            return biffRecords(stream, u32At(r.data, 0));
    }
    return {};
}

} // namespace darni::testing

// The 32-byte header at the start of a dBase table file.
#include "dbfheader.h"

#include <QtEndian>

namespace darni::table {

namespace {
constexpr int kVersionOffset = 0;
constexpr int kYearOffset = 1;
constexpr int kMonthOffset = 2;
constexpr int kDayOffset = 3;
constexpr int kRecordCountOffset = 4;
constexpr int kHeaderLengthOffset = 8;
constexpr int kRecordLengthOffset = 10;
constexpr int kProductionIndexOffset = 28;
constexpr int kLanguageDriverOffset = 29;
constexpr int kYearBase = 1900;
constexpr int kYearModulus = 256;

constexpr std::uint8_t kLevelMask = 0x07;
constexpr std::uint8_t kLowestLevel = 2;
constexpr std::uint8_t kHighestLevel = 5;
constexpr std::uint8_t kFoxProVersion = 0x30;
constexpr std::uint8_t kFoxProAutoincVersion = 0x31;
} // namespace

DbfHeader DbfHeader::forNewTable(int headerLength, int recordLength)
{
    DbfHeader h(Bytes{});
    h.m_bytes[kVersionOffset] = dbf::kVersionWithoutMemo;
    qToLittleEndian<quint16>(static_cast<quint16>(headerLength), &h.m_bytes[kHeaderLengthOffset]);
    qToLittleEndian<quint16>(static_cast<quint16>(recordLength), &h.m_bytes[kRecordLengthOffset]);
    h.m_bytes[kLanguageDriverOffset] = dbf::kLanguageDriverCp1251;
    return h;
}

bool DbfHeader::hasKnownVersion() const
{
    const std::uint8_t v = m_bytes[kVersionOffset];
    const std::uint8_t level = v & kLevelMask;
    return (level >= kLowestLevel && level <= kHighestLevel) || v == kFoxProVersion || v == kFoxProAutoincVersion;
}

std::uint32_t DbfHeader::recordCount() const
{
    return qFromLittleEndian<quint32>(&m_bytes[kRecordCountOffset]);
}

void DbfHeader::setRecordCount(std::uint32_t count)
{
    qToLittleEndian<quint32>(count, &m_bytes[kRecordCountOffset]);
}

int DbfHeader::headerLength() const
{
    return qFromLittleEndian<quint16>(&m_bytes[kHeaderLengthOffset]);
}

int DbfHeader::recordLength() const
{
    return qFromLittleEndian<quint16>(&m_bytes[kRecordLengthOffset]);
}

bool DbfHeader::hasProductionIndex() const
{
    return m_bytes[kProductionIndexOffset] != 0;
}

void DbfHeader::setProductionIndex(bool set)
{
    m_bytes[kProductionIndexOffset] = set ? 1 : 0;
}

std::uint8_t DbfHeader::languageDriver() const
{
    return m_bytes[kLanguageDriverOffset];
}

void DbfHeader::setLastUpdate(QDate date)
{
    m_bytes[kYearOffset] = static_cast<std::uint8_t>((date.year() - kYearBase) % kYearModulus);
    m_bytes[kMonthOffset] = static_cast<std::uint8_t>(date.month());
    m_bytes[kDayOffset] = static_cast<std::uint8_t>(date.day());
}

std::optional<QDate> DbfHeader::lastUpdate() const
{
    const QDate d(kYearBase + m_bytes[kYearOffset], m_bytes[kMonthOffset], m_bytes[kDayOffset]);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

} // namespace darni::table

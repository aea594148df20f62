// The instrument's memory as received: a fixed-capacity byte array holding two blocks of 44-byte
// measurement records, with the readers that take words, times and dates out of it.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace darni::transfer {

// Where things stand in the image.
namespace image {
// The instrument's memory and the characters of one transfer phase both fit this many.
inline constexpr std::size_t kCapacity = 10'760'024;
inline constexpr std::size_t kRecordLength = 44;
// The first block opens with a count word and a record-length word; the second with a count word and
// a word nobody reads.
inline constexpr std::size_t kBlockHeaderLength = 4;
inline constexpr std::size_t kFirstBlockOffset = 0;

// Offsets within one record.
inline constexpr std::size_t kFlagsOffset = 0;
inline constexpr std::size_t kKsOffset = 2;
inline constexpr std::size_t kValueAOffset = 4;
inline constexpr std::size_t kValueBOffset = 6;
inline constexpr std::size_t kTimeOffset = 8;
inline constexpr std::size_t kDateOffset = 11;
inline constexpr std::size_t kSeriesOffset = 14; // the first series word doubles as ValueC
inline constexpr std::size_t kSeriesWords = 14;

// Bits of a record's Flags word.
inline constexpr std::uint16_t kMaterialCodeMask = 0x7F;
inline constexpr std::uint16_t kMaterialGiven = 1u << 7;
inline constexpr int kTypeCodeShift = 8;
inline constexpr std::uint16_t kTypeCodeMask = 0x1F;
inline constexpr std::uint16_t kThrough = 1u << 13;
inline constexpr std::uint16_t kCrack = 1u << 14;
inline constexpr std::uint16_t kSeriesMode = 1u << 15;
// The bit of a series word that leaves it out of the series' mean.
inline constexpr std::uint16_t kExcludedFromSeries = 1u << 15;

// Offset of the second block's count word, which follows from the first block's record count alone.
constexpr std::size_t secondBlockOffset(std::size_t firstBlockCount)
{
    return kFirstBlockOffset + kBlockHeaderLength + kRecordLength * firstBlockCount;
}

// The checksum's bytes that follow the memory in a transfer.
inline constexpr std::size_t kChecksumLength = 4;

// The bytes a whole transfer brings: both blocks, with `firstBlockBytes` of records in the first (the
// product of its two header words) and `secondBlockCount` records in the second, then the checksum.
constexpr std::size_t expectedTransferSize(std::size_t firstBlockBytes, std::size_t secondBlockCount)
{
    return 2 * kBlockHeaderLength + firstBlockBytes + kRecordLength * secondBlockCount + kChecksumLength;
}
} // namespace image

class DeviceImage
{
public:
    // Allocates the whole capacity once: filling the image after a transfer allocates nothing.
    DeviceImage();

    std::size_t size() const { return m_size; }
    const std::uint8_t* data() const { return m_bytes.data(); }
    std::span<const std::uint8_t> bytes() const { return {m_bytes.data(), m_size}; }
    // Room to fill and then declare with setSize(); the previous contents stay until overwritten.
    std::uint8_t* writableData() { return m_bytes.data(); }
    void setSize(std::size_t size);
    void assign(std::span<const std::uint8_t> bytes);
    // The same bytes received.
    bool operator==(const DeviceImage& other) const;

    // Readers; bytes beyond those received read as 0.
    std::uint16_t word(std::size_t offset) const;
    // 'HH:MM:SS' from seconds, minutes, hours at offset, offset + 1, offset + 2; parts out of range
    // read "00", so the text is always a valid time of day.
    QString time(std::size_t offset) const;
    // 'DD.MM.YYYY' from day, month, year − 2000 at offset, offset + 1, offset + 2; a day of 0 or above
    // 31 and a month of 0 or above 12 read "01". The day is not checked against the month.
    QString date(std::size_t offset) const;

private:
    std::uint8_t byteAt(std::size_t offset) const { return offset < m_size ? m_bytes[offset] : 0; }

    std::vector<std::uint8_t> m_bytes;
    std::size_t m_size = 0;
};

} // namespace darni::transfer

// The 32-byte header at the start of a dBase table file, and the constants of the file layout.
#pragma once

#include <QDate>

#include <array>
#include <cstdint>
#include <optional>

namespace darni::table {

namespace dbf {
inline constexpr int kHeaderSize = 32;
inline constexpr int kDescriptorSize = 32;
inline constexpr char kDescriptorTerminator = 0x0D;
inline constexpr char kEndOfFile = 0x1A;
inline constexpr char kLiveFlag = ' ';
inline constexpr char kDeletedFlag = '*';
inline constexpr char kBlank = ' ';
inline constexpr int kDeletionFlagSize = 1;
inline constexpr std::uint8_t kVersionWithoutMemo = 0x03;
inline constexpr std::uint8_t kLanguageDriverCp1251 = 0xC9;
inline constexpr int kMaxFieldCount = 4095;
// Bytes a header may hold between the descriptors' terminator and the first record: FoxPro keeps its
// database container's name there (263 bytes); other writers leave none.
inline constexpr int kMaxHeaderPadding = 263;

// Header length for a table of n fields: header, descriptors, terminator.
constexpr int headerLength(int fieldCount)
{
    return kHeaderSize + kDescriptorSize * fieldCount + 1;
}
} // namespace dbf

class DbfHeader
{
public:
    using Bytes = std::array<std::uint8_t, dbf::kHeaderSize>;

    // A header of a new table: version 3, no records, no production index, code page 1251.
    static DbfHeader forNewTable(int headerLength, int recordLength);
    // Keeps every byte, so that rewriting a header changes only what the table layer owns.
    static DbfHeader fromBytes(const Bytes& bytes) { return DbfHeader(bytes); }

    const Bytes& bytes() const { return m_bytes; }

    // The low three bits name the dBase level (2 to 5), or the whole byte is a FoxPro version.
    bool hasKnownVersion() const;

    std::uint32_t recordCount() const;
    void setRecordCount(std::uint32_t count);
    int headerLength() const;
    int recordLength() const;
    bool hasProductionIndex() const;
    void setProductionIndex(bool set);
    std::uint8_t languageDriver() const;
    // Year − 1900 in one byte, month, day.
    void setLastUpdate(QDate date);
    std::optional<QDate> lastUpdate() const;

private:
    explicit DbfHeader(const Bytes& bytes) : m_bytes(bytes) {}
    Bytes m_bytes{};
};

} // namespace darni::table

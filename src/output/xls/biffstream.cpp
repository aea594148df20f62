// BIFF8 records written into a compound file's stream.
#include "biffstream.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>

namespace darni::output::xls {

namespace {
constexpr std::uint8_t kUncompressedFlag = 0x01;
} // namespace

BiffData& BiffData::u8(std::uint8_t v)
{
    m_data.append(static_cast<char>(v));
    return *this;
}

BiffData& BiffData::u16(std::uint16_t v)
{
    char b[2];
    qToLittleEndian(v, b);
    m_data.append(b, 2);
    return *this;
}

BiffData& BiffData::u32(std::uint32_t v)
{
    char b[4];
    qToLittleEndian(v, b);
    m_data.append(b, 4);
    return *this;
}

BiffData& BiffData::f64(double v)
{
    char b[8];
    qToLittleEndian(std::bit_cast<std::uint64_t>(v), b);
    m_data.append(b, 8);
    return *this;
}

BiffData& BiffData::unicode16(const QString& text)
{
    u16(static_cast<std::uint16_t>(text.size()));
    u8(kUncompressedFlag);
    for (const QChar c : text)
        u16(c.unicode());
    return *this;
}

BiffData& BiffData::unicode8(const QString& text)
{
    u8(static_cast<std::uint8_t>(text.size()));
    u8(kUncompressedFlag);
    for (const QChar c : text)
        u16(c.unicode());
    return *this;
}

BiffData& BiffData::bytes(const QByteArray& b)
{
    m_data.append(b);
    return *this;
}

BiffData& BiffData::zeros(int n)
{
    m_data.append(n, '\0');
    return *this;
}

QByteArray bytesFromHex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

namespace {
constexpr std::size_t kBufferBytes = 256 * 1024;
} // namespace

BiffStream::BiffStream(CompoundFileWriter& file)
    : m_file(file), m_buffer(kBufferBytes + biff::kRecordHeaderSize + biff::kMaxRecordData)
{
}

void BiffStream::append(const char* data, qsizetype length)
{
    if (m_used + static_cast<std::size_t>(length) > m_buffer.size())
        flush();
    if (static_cast<std::size_t>(length) > m_buffer.size()) {
        m_file.write(data, length);
        return;
    }
    std::memcpy(m_buffer.data() + m_used, data, static_cast<std::size_t>(length));
    m_used += static_cast<std::size_t>(length);
}

void BiffStream::flush()
{
    if (m_used == 0)
        return;
    m_file.write(m_buffer.data(), static_cast<std::int64_t>(m_used));
    m_used = 0;
}

void BiffStream::record(biff::Record number, const char* data, int length)
{
    // The first piece under the record's own number, the rest as Continue records.
    int done = 0;
    auto id = static_cast<std::uint16_t>(number);
    do {
        const int piece = std::min(length - done, biff::kMaxRecordData);
        if (m_used + biff::kRecordHeaderSize + static_cast<std::size_t>(piece) > m_buffer.size())
            flush();
        char* at = m_buffer.data() + m_used;
        qToLittleEndian(id, at);
        qToLittleEndian(static_cast<std::uint16_t>(piece), at + 2);
        std::memcpy(at + biff::kRecordHeaderSize, data + done, static_cast<std::size_t>(piece));
        m_used += biff::kRecordHeaderSize + static_cast<std::size_t>(piece);
        done += piece;
        id = static_cast<std::uint16_t>(biff::Record::Continue);
    } while (done < length);
}

void BiffStream::raw(const QByteArray& bytes)
{
    append(bytes.constData(), bytes.size());
}

void BiffStream::patch(std::int64_t position, const QByteArray& bytes)
{
    const std::int64_t buffered = m_file.position();
    if (position >= buffered) {
        std::memcpy(m_buffer.data() + (position - buffered), bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return;
    }
    if (position + bytes.size() > buffered)
        flush(); // the bytes lie partly in the file, partly in the buffer
    m_file.patch(position, bytes.constData(), bytes.size());
}

} // namespace darni::output::xls

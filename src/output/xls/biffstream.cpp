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

void BiffStream::header(std::uint16_t number, int length)
{
    char h[biff::kRecordHeaderSize];
    qToLittleEndian(number, h);
    qToLittleEndian(static_cast<std::uint16_t>(length), h + 2);
    m_file.write(h, biff::kRecordHeaderSize);
}

void BiffStream::record(biff::Record number, const QByteArray& data)
{
    // The first piece under the record's own number, the rest as Continue records.
    qsizetype done = 0;
    std::uint16_t id = static_cast<std::uint16_t>(number);
    do {
        const int piece = static_cast<int>(std::min<qsizetype>(data.size() - done, biff::kMaxRecordData));
        header(id, piece);
        m_file.write(data.constData() + done, piece);
        done += piece;
        id = static_cast<std::uint16_t>(biff::Record::Continue);
    } while (done < data.size());
}

void BiffStream::raw(const QByteArray& bytes)
{
    m_file.write(bytes.constData(), bytes.size());
}

void BiffStream::patch(std::int64_t position, const QByteArray& bytes)
{
    m_file.patch(position, bytes.constData(), bytes.size());
}

} // namespace darni::output::xls

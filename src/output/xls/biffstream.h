// BIFF8 records written into a compound file's stream: the record header, data cut into Continue
// records past 8224 bytes, and little-endian fields assembled with a small builder.
#pragma once

#include "biffrecords.h"
#include "compoundfilewriter.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace darni::output::xls {

// The data of one record, field by field.
class BiffData
{
public:
    BiffData& u8(std::uint8_t v);
    BiffData& u16(std::uint16_t v);
    BiffData& u32(std::uint32_t v);
    BiffData& f64(double v);
    // 16-bit character count, flag byte 0x01, UTF-16 characters.
    BiffData& unicode16(const QString& text);
    // 8-bit character count, flag byte 0x01, UTF-16 characters.
    BiffData& unicode8(const QString& text);
    BiffData& bytes(const QByteArray& b);
    BiffData& zeros(int n);
    const QByteArray& data() const { return m_data; }
    int size() const { return static_cast<int>(m_data.size()); }

private:
    QByteArray m_data;
};

// "e0 00 14 00 …": bytes written in hexadecimal pairs.
QByteArray bytesFromHex(const char* text);

// Records are gathered in a buffer and reach the file in large writes: a sheet of a million cells is
// a million small records.
class BiffStream
{
public:
    explicit BiffStream(CompoundFileWriter& file);

    std::int64_t position() const { return m_file.position() + static_cast<std::int64_t>(m_used); }
    void record(biff::Record number, const char* data, int length);
    void record(biff::Record number, const QByteArray& data = {})
    {
        record(number, data.constData(), static_cast<int>(data.size()));
    }
    void record(biff::Record number, const BiffData& data) { record(number, data.data()); }
    // Bytes that are already whole records (header included).
    void raw(const QByteArray& bytes);
    void patch(std::int64_t position, const QByteArray& bytes);
    // Writes what the buffer holds; the stream is complete after this.
    void flush();

private:
    void append(const char* data, qsizetype length);

    CompoundFileWriter& m_file;
    std::vector<char> m_buffer; // its capacity; m_used of it hold bytes
    std::size_t m_used = 0;
};

} // namespace darni::output::xls

// BIFF8 records written into a compound file's stream: the record header, data cut into Continue
// records past 8224 bytes, and little-endian fields assembled with a small builder.
#pragma once

#include "biffrecords.h"
#include "compoundfilewriter.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

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

class BiffStream
{
public:
    explicit BiffStream(CompoundFileWriter& file) : m_file(file) {}

    std::int64_t position() const { return m_file.position(); }
    void record(biff::Record number, const QByteArray& data = {});
    void record(biff::Record number, const BiffData& data) { record(number, data.data()); }
    // Bytes that are already whole records (header included).
    void raw(const QByteArray& bytes);
    void patch(std::int64_t position, const QByteArray& bytes);

private:
    void header(std::uint16_t number, int length);

    CompoundFileWriter& m_file;
};

} // namespace darni::output::xls

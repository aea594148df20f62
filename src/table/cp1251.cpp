// Windows code page 1251 (Cyrillic), converted to and from Unicode.
#include "cp1251.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace darni::table::cp1251 {

namespace {

constexpr unsigned kFirstUpperByte = 0x80;
constexpr unsigned kFirstLetterByte = 0xC0; // 0xC0..0xFF are А..я in alphabet order
constexpr char16_t kCapitalA = 0x0410;

// Bytes 0x80..0xBF; the ASCII half and the 64 letters are computed.
constexpr std::array<char16_t, kFirstLetterByte - kFirstUpperByte> kUpperTable = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

constexpr char16_t decodeByte(std::uint8_t b)
{
    if (b < kFirstUpperByte)
        return b;
    if (b < kFirstLetterByte)
        return kUpperTable[b - kFirstUpperByte];
    return static_cast<char16_t>(kCapitalA + (b - kFirstLetterByte));
}

char encodeChar(char16_t c)
{
    if (c < kFirstUpperByte)
        return static_cast<char>(c);
    if (c >= kCapitalA && c < kCapitalA + (0x100 - kFirstLetterByte))
        return static_cast<char>(kFirstLetterByte + (c - kCapitalA));
    const auto it = std::find(kUpperTable.begin(), kUpperTable.end(), c);
    if (it == kUpperTable.end())
        return kReplacement;
    return static_cast<char>(kFirstUpperByte + (it - kUpperTable.begin()));
}

} // namespace

QString toUnicode(QByteArrayView bytes)
{
    QString text;
    toUnicode(bytes, text);
    return text;
}

void toUnicode(QByteArrayView bytes, QString& out)
{
    out.resize(bytes.size());
    QChar* at = out.data();
    for (const char b : bytes)
        *at++ = QChar(decodeByte(static_cast<std::uint8_t>(b)));
}

void toUtf8(QByteArrayView bytes, QByteArray& out)
{
    constexpr char16_t kFirstTwoByte = 0x80;
    constexpr char16_t kFirstThreeByte = 0x800;
    constexpr unsigned kTwoByteLead = 0xC0;
    constexpr unsigned kThreeByteLead = 0xE0;
    constexpr unsigned kContinuation = 0x80;
    constexpr unsigned kContinuationBits = 6;
    constexpr unsigned kContinuationMask = 0x3F;
    constexpr qsizetype kLongestUtf8 = 3; // every character of the code page lies in the first plane
    out.resize(bytes.size() * kLongestUtf8);
    auto* p = reinterpret_cast<unsigned char*>(out.data());
    const auto continuation = [](unsigned bits) {
        return static_cast<unsigned char>(kContinuation | (bits & kContinuationMask));
    };
    for (const char b : bytes) {
        const char16_t c = decodeByte(static_cast<std::uint8_t>(b));
        if (c < kFirstTwoByte) {
            *p++ = static_cast<unsigned char>(c);
        } else if (c < kFirstThreeByte) {
            *p++ = static_cast<unsigned char>(kTwoByteLead | (c >> kContinuationBits));
            *p++ = continuation(c);
        } else {
            *p++ = static_cast<unsigned char>(kThreeByteLead | (c >> (2 * kContinuationBits)));
            *p++ = continuation(c >> kContinuationBits);
            *p++ = continuation(c);
        }
    }
    out.truncate(reinterpret_cast<char*>(p) - out.data());
}

QByteArray fromUnicode(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A character outside the Basic Multilingual Plane is one replacement, not two.
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        bytes.append(c.isSurrogate() ? kReplacement : encodeChar(c.unicode()));
    }
    return bytes;
}

} // namespace darni::table::cp1251

// The instrument's wire encoding.
#include "wirecodec.h"

#include <algorithm>

namespace darni::link::wire {

namespace {
constexpr int kNibbleBits = 4;
constexpr std::uint8_t kNibbleMask = 0x0F;
constexpr int kByteBits = 8;
constexpr int kWordBits = 16;
constexpr int kLongBits = 32;
constexpr std::uint32_t kNumberModulus = 0x10000;
constexpr std::uint32_t kWordMask = 0xFFFF;
// 'S', at least the eight checksum characters, 'P'.
constexpr std::ptrdiff_t kShortestFrameSpan = static_cast<std::ptrdiff_t>(kChecksumChars) + 1;

std::uint8_t nibble(char c)
{
    return static_cast<std::uint8_t>(static_cast<std::uint8_t>(c - kNibbleBase) & kNibbleMask);
}
} // namespace

std::uint8_t readByte(const char* chars)
{
    return static_cast<std::uint8_t>(nibble(chars[0]) | nibble(chars[1]) << kNibbleBits);
}

std::uint16_t readWord(const char* chars)
{
    return static_cast<std::uint16_t>(readByte(chars) | readByte(chars + kCharsPerByte) << kByteBits);
}

std::uint32_t readLong(const char* chars)
{
    return static_cast<std::uint32_t>(readWord(chars)) | static_cast<std::uint32_t>(readWord(chars + kCharsPerWord))
                                                             << kWordBits;
}

std::uint32_t checksum(const char* payload, std::size_t count)
{
    // Character i (from 1) is XORed with i mod 65 536: the 16-bit numbering restarts every 65 536
    // characters, so each stretch is summed with a plain counter the compiler can vectorise.
    std::uint32_t sum = 0;
    std::size_t done = 0;
    std::uint32_t number = 1;
    while (done < count) {
        const std::size_t stretch = std::min<std::size_t>(count - done, kNumberModulus - number);
        for (std::size_t i = 0; i < stretch; ++i)
            sum += static_cast<std::uint8_t>(payload[done + i]) ^ (number + static_cast<std::uint32_t>(i));
        done += stretch;
        number = static_cast<std::uint32_t>((number + stretch) & kWordMask);
    }
    return sum;
}

bool frameChecksumOk(const char* stream, std::ptrdiff_t s, std::ptrdiff_t p)
{
    if (s < 0 || p < 0 || p - s < kShortestFrameSpan)
        return false;
    const std::size_t payloadChars = static_cast<std::size_t>(p - s - 1) - kChecksumChars;
    return checksum(stream + s + 1, payloadChars) == readLong(stream + p - kChecksumChars);
}

std::optional<std::size_t> decodeFrame(const char* stream, std::ptrdiff_t s, std::ptrdiff_t p, std::uint8_t* out)
{
    if (s < 0 || p < 0 || p - s < kShortestFrameSpan)
        return std::nullopt;
    const char* chars = stream + s + 1;
    const auto spanChars = static_cast<std::size_t>(p - s - 1);
    const std::size_t payloadChars = spanChars - kChecksumChars;
    const std::size_t bytes = spanChars / kCharsPerByte;
    // Pairs wholly within the payload are decoded and summed together; the character numbering is
    // 16 bits wide, so a 16-bit counter wraps exactly where it restarts.
    const std::size_t summedPairs = payloadChars / kCharsPerByte;
    std::uint32_t sum = 0;
    std::uint16_t number = 1;
    for (std::size_t k = 0; k < summedPairs; ++k) {
        const auto low = static_cast<std::uint8_t>(chars[2 * k]);
        const auto high = static_cast<std::uint8_t>(chars[2 * k + 1]);
        sum += static_cast<std::uint32_t>(low ^ number) +
               static_cast<std::uint32_t>(high ^ static_cast<std::uint16_t>(number + 1));
        number = static_cast<std::uint16_t>(number + 2);
        out[k] =
            static_cast<std::uint8_t>(nibble(static_cast<char>(low)) | nibble(static_cast<char>(high)) << kNibbleBits);
    }
    // A payload of odd length ends in a lone character, summed alone; the pairs after it straddle the
    // checksum and are only decoded.
    if (payloadChars % kCharsPerByte != 0)
        sum += static_cast<std::uint32_t>(static_cast<std::uint8_t>(chars[payloadChars - 1]) ^ number);
    for (std::size_t k = summedPairs; k < bytes; ++k)
        out[k] = readByte(chars + k * kCharsPerByte);
    if (sum != readLong(stream + p - kChecksumChars))
        return std::nullopt;
    return bytes;
}

void appendByte(QByteArray& out, std::uint8_t value)
{
    out.append(static_cast<char>(kNibbleBase + (value & kNibbleMask)));
    out.append(static_cast<char>(kNibbleBase + (value >> kNibbleBits)));
}

QByteArray encodePayload(std::span<const std::uint8_t> bytes)
{
    QByteArray out;
    out.reserve(static_cast<qsizetype>(bytes.size() * kCharsPerByte));
    for (const std::uint8_t b : bytes)
        appendByte(out, b);
    return out;
}

void appendLong(QByteArray& out, std::uint32_t value)
{
    for (int shift = 0; shift < kLongBits; shift += kByteBits)
        appendByte(out, static_cast<std::uint8_t>(value >> shift));
}

QByteArray frame(const QByteArray& payloadChars)
{
    QByteArray out;
    out.reserve(payloadChars.size() + static_cast<qsizetype>(kChecksumChars) + 2);
    out.append(kFrameStart);
    out.append(payloadChars);
    appendLong(out, checksum(payloadChars.constData(), static_cast<std::size_t>(payloadChars.size())));
    out.append(kFrameEnd);
    return out;
}

} // namespace darni::link::wire

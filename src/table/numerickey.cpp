// The 12-byte BCD form of numeric index keys.
#include "numerickey.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace darni::table::numerickey {

namespace {
constexpr std::uint8_t kExponentBias = 0x34;
constexpr std::uint8_t kNegative = 0x80;
// dBase IV always sets the two bits below the digit count to 01; readers that compare keys byte by
// byte expect them. Keys of earlier builds lack them, which decode() does not mind.
constexpr std::uint8_t kFillerBits = 0x01;
constexpr int kDigitCountShift = 2;
constexpr std::uint8_t kDigitCountMask = 0x1F;
constexpr int kDigitsOffset = 2;
constexpr int kMaxDigits = 2 * (kLength - kDigitsOffset);
constexpr int kNibbleBits = 4;
constexpr std::uint8_t kNibbleMask = 0x0F;
// Shortest scientific text of a double: sign, 17 digits, point, "e", sign, three digits.
constexpr std::size_t kScientificBufferSize = 32;
} // namespace

Bytes encode(double value)
{
    Bytes key{};
    key[0] = kExponentBias;
    key[1] = kFillerBits;
    if (value == 0 || !std::isfinite(value))
        return key;

    // Shortest round-trip digits: "d.ddde±x" (or "de±x").
    std::array<char, kScientificBufferSize> text{};
    const auto [end, ec] =
        std::to_chars(text.data(), text.data() + text.size(), std::fabs(value), std::chars_format::scientific);
    const char* e = std::find(text.data(), end, 'e');
    int digits = 0;
    int lastNonZero = 0;
    for (const char* c = text.data(); c < e && digits < kMaxDigits; ++c) {
        if (*c == '.')
            continue;
        const auto d = static_cast<std::uint8_t>(*c - '0');
        key[kDigitsOffset + digits / 2] |= static_cast<std::uint8_t>(digits % 2 == 0 ? d << kNibbleBits : d);
        ++digits;
        if (d != 0)
            lastNonZero = digits;
    }
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), end, exponent);
    key[0] = static_cast<std::uint8_t>(std::clamp(kExponentBias + exponent + 1, 0, 0xFF));
    key[1] = static_cast<std::uint8_t>(lastNonZero << kDigitCountShift | kFillerBits | (value < 0 ? kNegative : 0));
    return key;
}

double decode(const std::uint8_t* bytes)
{
    const int count = std::min<int>((bytes[1] >> kDigitCountShift) & kDigitCountMask, kMaxDigits);
    if (count == 0)
        return 0;
    std::string text = "0.";
    for (int i = 0; i < count; ++i) {
        const std::uint8_t pair = bytes[kDigitsOffset + i / 2];
        const int d = (i % 2 == 0 ? pair >> kNibbleBits : pair) & kNibbleMask;
        text += static_cast<char>('0' + std::min(d, 9));
    }
    text += 'e' + std::to_string(static_cast<int>(bytes[0]) - kExponentBias);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return (bytes[1] & kNegative) ? -value : value;
}

} // namespace darni::table::numerickey

// The stored text of field values.
#include "fieldcodec.h"

#include "dbfheader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace darni::table::fieldcodec {

namespace {
// Longest text std::to_chars can make for a double in fixed notation with up to 255 decimals.
constexpr std::size_t kNumberBufferSize = 320 + 256;
// Sign and the 19 digits of a 64-bit integer, with room to spare.
constexpr std::size_t kIntegerBufferSize = 24;

std::string_view trimmedRight(std::string_view s)
{
    // Wide text fields are mostly blanks: skip them eight at a time.
    constexpr std::uint64_t kEightBlanks = 0x0101010101010101ULL * static_cast<unsigned char>(dbf::kBlank);
    std::size_t n = s.size();
    while (n >= sizeof(kEightBlanks)) {
        std::uint64_t word = 0;
        std::memcpy(&word, s.data() + n - sizeof(word), sizeof(word));
        if (word != kEightBlanks)
            break;
        n -= sizeof(word);
    }
    while (n > 0 && s[n - 1] == dbf::kBlank)
        --n;
    return s.substr(0, n);
}

std::string_view trimmed(std::string_view s)
{
    const auto begin = s.find_first_not_of(dbf::kBlank);
    if (begin == std::string_view::npos)
        return {};
    return trimmedRight(s.substr(begin));
}

bool rightAlign(std::string_view text, char* out, int width)
{
    if (text.size() > static_cast<std::size_t>(width))
        return false;
    const auto pad = static_cast<std::size_t>(width) - text.size();
    std::memset(out, dbf::kBlank, pad);
    std::memcpy(out + pad, text.data(), text.size());
    return true;
}

// Stored numbers of up to this many digits are read as an integer over a power of ten: both are exact
// doubles, so the one division gives the correctly rounded value, as a general conversion would.
constexpr int kExactDigits = 15;
constexpr std::array<double, kExactDigits + 1> kPowersOfTen = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                               1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

std::optional<double> readShortDecimal(std::string_view s)
{
    std::size_t i = (s.front() == '-' || s.front() == '+') ? 1 : 0;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int decimals = -1; // no point yet
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            if (++digits > kExactDigits)
                return std::nullopt;
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            if (decimals >= 0)
                ++decimals;
        } else if (c == '.' && decimals < 0) {
            decimals = 0;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    const double value = static_cast<double>(mantissa) / kPowersOfTen[static_cast<std::size_t>(std::max(decimals, 0))];
    return s.front() == '-' ? -value : value;
}
} // namespace

std::string_view textValue(std::string_view stored)
{
    return trimmedRight(stored);
}

std::optional<double> numberValue(std::string_view stored)
{
    std::string_view s = trimmed(stored);
    if (s.empty())
        return std::nullopt;
    if (const auto quick = readShortDecimal(s))
        return *quick; // a fresh optional: copying one whole just after it was written stalls
    if (s.front() == '+')
        s.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc{} || end != s.data() + s.size())
        return 0.0;
    // "inf" and "nan" that another program stored are no measured values: they read as blank, so that
    // no filter, sort key or statistic meets them.
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::int32_t integerValue(std::string_view stored)
{
    return wholeNumber(numberValue(stored).value_or(0.0));
}

std::int32_t wholeNumber(double value)
{
    constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
    constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
    const double whole = std::trunc(value);
    if (std::isnan(whole))
        return 0;
    return static_cast<std::int32_t>(std::clamp(whole, kLowest, kHighest));
}

bool writeNumber(double value, int decimals, char* out, int width)
{
    if (!std::isfinite(value))
        return false;
    if (value == 0)
        value = 0; // no "-0.000"
    std::array<char, kNumberBufferSize> buf{};
    const auto [end, ec] =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed, decimals);
    if (ec != std::errc{})
        return false;
    return rightAlign(std::string_view(buf.data(), static_cast<std::size_t>(end - buf.data())), out, width);
}

bool writeInteger(std::int64_t value, char* out, int width)
{
    std::array<char, kIntegerBufferSize> buf{};
    const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    if (ec != std::errc{})
        return false;
    return rightAlign(std::string_view(buf.data(), static_cast<std::size_t>(end - buf.data())), out, width);
}

void writeText(std::string_view text, char* out, int width)
{
    const auto n = std::min(text.size(), static_cast<std::size_t>(width));
    std::memcpy(out, text.data(), n);
    std::memset(out + n, dbf::kBlank, static_cast<std::size_t>(width) - n);
}

} // namespace darni::table::fieldcodec

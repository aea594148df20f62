// The 12-byte binary coded decimal form in which dBase IV index files keep numeric keys.
//
// Byte 0: 0x34 plus the position of the decimal point counted from the first significant digit
// (1 for 1 ≤ |x| < 10, 0 for 0.1 ≤ |x| < 1, …); byte 1: the number of significant digits times four,
// plus 1, plus 0x80 for a negative value (20.50 is 36 0D 20 50 …); bytes 2 to 11: up to twenty
// decimal digits, two a byte, the first in the high nibble. Zero (and a blank field) is 0x34, 0x01 and
// no digits.
#pragma once

#include <array>
#include <cstdint>

namespace darni::table::numerickey {

inline constexpr int kLength = 12;
using Bytes = std::array<std::uint8_t, kLength>;

Bytes encode(double value);
double decode(const std::uint8_t* bytes);

} // namespace darni::table::numerickey

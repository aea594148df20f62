// The stored text of field values: fixed-width numbers with "." and blank-padded text.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace darni::table::fieldcodec {

// Text fields lose their trailing blanks; an all-blank field is the empty text.
std::string_view textValue(std::string_view stored);

// Number fields lose leading and trailing blanks. Nothing for a blank field (null); 0 for text that
// is not a decimal number, as other readers of these files do.
std::optional<double> numberValue(std::string_view stored);
// A number field as a whole number: cut toward zero, held within 32 bits; blank (or not a number) is 0.
std::int32_t integerValue(std::string_view stored);
// A number as an integer field reads it: its whole part, held within the range of one.
std::int32_t wholeNumber(double value);

// Write a number right-aligned into `out` (its whole width), with exactly `decimals` decimals and "."
// whatever the locale. False, with `out` untouched, when the text would not fit or the value is not
// finite.
bool writeNumber(double value, int decimals, char* out, int width);
bool writeInteger(std::int64_t value, char* out, int width);

// Left-aligned, blank-filled, cut at the width.
void writeText(std::string_view text, char* out, int width);

} // namespace darni::table::fieldcodec

// What a sort tag orders by, as data: most fields by their own value, but a date kept as the text
// "dd.mm.yyyy" by a key composed in calendar order, year, month, day, then the time of day, so that
// 01.01.2028 comes before 01.01.2029 and the rows of one day follow their time. The key expression is
// dBase IV's own, so that the index file stays a dBase IV index another program can evaluate.
#pragma once

#include "recordschema.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace darni::table {

// Bytes [from, from + length) of a field's stored text.
struct KeyPart
{
    Field field;
    int from;
    int length;
};

struct ComposedKey
{
    Field field;                 // the column whose sort uses this key
    std::string_view expression; // the key expression in the index file
    std::span<const KeyPart> parts;
};

// A text longer than an index key may be sorts by its first characters: the key expression that takes
// them ("SUBSTR(P5,1,100)"), and the field such an expression names, if it is one.
inline constexpr int kLongestTextKey = 100;
std::string leadingPartExpression(std::string_view fieldName);
std::optional<std::string> fieldOfLeadingPart(std::string_view expression);

// The composed key that sorting by `field` uses, if any.
const ComposedKey* composedKeyFor(Field field);
// The composed key written as `expression`, if any (without regard to case).
const ComposedKey* composedKeyNamed(std::string_view expression);

} // namespace darni::table

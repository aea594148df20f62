// Composed sort keys.
#include "sortkey.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace darni::table {

namespace {

// "dd.mm.yyyy" and "hh:mm:ss", as the decoder writes DATE and TIME.
constexpr int kDayAt = 0;
constexpr int kMonthAt = 3;
constexpr int kYearAt = 6;
constexpr int kDayLength = 2;
constexpr int kMonthLength = 2;
constexpr int kYearLength = 4;
constexpr int kTimeLength = 8;

constexpr std::array<KeyPart, 4> kCalendarParts{{
    {Field::DATE, kYearAt, kYearLength},
    {Field::DATE, kMonthAt, kMonthLength},
    {Field::DATE, kDayAt, kDayLength},
    {Field::TIME, 0, kTimeLength},
}};

constexpr std::array<ComposedKey, 1> kComposedKeys{{
    {Field::DATE, "SUBSTR(DATE,7,4)+SUBSTR(DATE,4,2)+SUBSTR(DATE,1,2)+TIME", kCalendarParts},
}};

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

const std::string_view kLeadingPartPrefix = "SUBSTR(";
const std::string_view kLeadingPartSuffix = ",1,100)";
static_assert(kLongestTextKey == 100, "the suffix states the key's length");

} // namespace

std::string leadingPartExpression(std::string_view fieldName)
{
    return std::string(kLeadingPartPrefix) + std::string(fieldName) + std::string(kLeadingPartSuffix);
}

std::optional<std::string> fieldOfLeadingPart(std::string_view expression)
{
    const std::size_t affixes = kLeadingPartPrefix.size() + kLeadingPartSuffix.size();
    if (expression.size() <= affixes ||
        !equalIgnoringCase(expression.substr(0, kLeadingPartPrefix.size()), kLeadingPartPrefix) ||
        !equalIgnoringCase(expression.substr(expression.size() - kLeadingPartSuffix.size()), kLeadingPartSuffix))
        return std::nullopt;
    return std::string(expression.substr(kLeadingPartPrefix.size(), expression.size() - affixes));
}

const ComposedKey* composedKeyFor(Field field)
{
    const auto it = std::find_if(kComposedKeys.begin(), kComposedKeys.end(),
                                 [field](const ComposedKey& k) { return k.field == field; });
    return it == kComposedKeys.end() ? nullptr : &*it;
}

const ComposedKey* composedKeyNamed(std::string_view expression)
{
    const auto it = std::find_if(kComposedKeys.begin(), kComposedKeys.end(), [expression](const ComposedKey& k) {
        return equalIgnoringCase(k.expression, expression);
    });
    return it == kComposedKeys.end() ? nullptr : &*it;
}

} // namespace darni::table

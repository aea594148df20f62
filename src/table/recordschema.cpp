// Name lookup over the measurement record's fields.
#include "recordschema.h"

#include <algorithm>

namespace darni::table {

namespace {
constexpr char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upperAscii(x) == upperAscii(y); });
}

// The table must list the fields in the order of the enumeration, so that fieldSpec() can index it.
constexpr bool schemaIsInEnumOrder()
{
    for (std::size_t i = 0; i < kMeasurementFields.size(); ++i) {
        if (static_cast<std::size_t>(kMeasurementFields[i].field) != i)
            return false;
    }
    return true;
}
static_assert(schemaIsInEnumOrder());
} // namespace

std::optional<Field> fieldByName(std::string_view name)
{
    const auto it = std::find_if(kMeasurementFields.begin(), kMeasurementFields.end(),
                                 [name](const FieldSpec& s) { return equalsIgnoringCase(s.name, name); });
    if (it == kMeasurementFields.end())
        return std::nullopt;
    return it->field;
}

} // namespace darni::table

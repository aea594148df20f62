// One 32-byte field descriptor of a dBase table header: name, type letter, width and decimals.
#pragma once

#include "dbfheader.h"
#include "recordschema.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace darni::table {

struct FieldDescriptor
{
    using Bytes = std::array<std::uint8_t, dbf::kDescriptorSize>;

    std::string name; // as stored, without the zero fill
    char typeLetter = 0;
    int width = 0;
    int decimals = 0; // 0 for "C" fields

    // The descriptor a created table stores for a field of the measurement record.
    static FieldDescriptor fromSpec(const FieldSpec& entry);
    // Nothing when the name is empty or the type letter is not a dBase or FoxPro type.
    static std::optional<FieldDescriptor> parse(const std::uint8_t* bytes);
    Bytes toBytes() const;

    bool isNumber() const { return typeLetter == kNumberTypeLetter || typeLetter == kFloatTypeLetter; }
};

} // namespace darni::table

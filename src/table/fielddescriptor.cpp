// One field descriptor of a dBase table header.
#include "fielddescriptor.h"

#include <algorithm>
#include <string_view>

namespace darni::table {

namespace {
constexpr int kNameSize = 11; // ten characters and a zero byte
constexpr int kTypeOffset = 11;
constexpr int kWidthOffset = 16;
constexpr int kDecimalsOffset = 17; // for "C" fields: the width's high byte
constexpr int kByteRange = 256;

// Type letters of dBase III to 7 and of FoxPro and Visual FoxPro. Files we did not write may carry
// any of them in fields we skip.
constexpr std::string_view kKnownTypeLetters = "CNFLDMBGPYTIVX@O+0WQ";
} // namespace

FieldDescriptor FieldDescriptor::fromSpec(const FieldSpec& entry)
{
    return {std::string(entry.name), entry.typeLetter, entry.width, entry.decimals};
}

std::optional<FieldDescriptor> FieldDescriptor::parse(const std::uint8_t* bytes)
{
    const auto* nameBegin = reinterpret_cast<const char*>(bytes);
    const auto* nameEnd = std::find(nameBegin, nameBegin + kNameSize, '\0');
    std::string_view name(nameBegin, static_cast<std::size_t>(nameEnd - nameBegin));
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    const char type = static_cast<char>(bytes[kTypeOffset]);
    if (name.empty() || type == '\0' || kKnownTypeLetters.find(type) == std::string_view::npos)
        return std::nullopt;

    FieldDescriptor d;
    d.name = std::string(name);
    d.typeLetter = type;
    if (type == kTextTypeLetter) {
        d.width = bytes[kWidthOffset] + kByteRange * bytes[kDecimalsOffset];
    } else {
        d.width = bytes[kWidthOffset];
        d.decimals = bytes[kDecimalsOffset];
    }
    return d;
}

FieldDescriptor::Bytes FieldDescriptor::toBytes() const
{
    Bytes b{};
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), kNameSize - 1), b.begin());
    b[kTypeOffset] = static_cast<std::uint8_t>(typeLetter);
    b[kWidthOffset] = static_cast<std::uint8_t>(width % kByteRange);
    b[kDecimalsOffset] = static_cast<std::uint8_t>(typeLetter == kTextTypeLetter ? width / kByteRange : decimals);
    return b;
}

} // namespace darni::table

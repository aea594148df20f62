// The measurement record: the 37 fields every table file holds, with their storage and value types.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace darni::table {

// How a field's value is handed to the program once read from its stored text.
enum class ValueType {
    Text,
    Real,         // double precision
    Integer,      // 32-bit signed
    SmallInteger, // 16-bit signed
};

// dBase type letters the program writes.
inline constexpr char kTextTypeLetter = 'C';
inline constexpr char kNumberTypeLetter = 'N';
// A type letter other writers use for numbers; read like "N".
inline constexpr char kFloatTypeLetter = 'F';

// The fields in the order in which a created table stores them.
// Ten to a line, as the fields are counted.
// clang-format off
enum class Field : std::size_t {
    N, DATE, TIME, DEV_TYPE, SERIAL, NB_TYPE, P, R, TYPE, COMMENT,
    PMAX, DPMAX, NV, DATEV, TIMEV, P1, D1, D3, D4, D5,
    P6, D6, P7, D7, P8, D8, D9, D10, T, P2,
    P3, D2, P4, P9, P5, ZAV, P10,
};
// clang-format on

struct FieldSpec
{
    Field field;
    std::string_view name; // upper case, as stored
    char typeLetter;
    int width;
    int decimals;
    ValueType valueType;
};

inline constexpr int kRealWidth = 18;
inline constexpr int kRealDecimals = 9;
inline constexpr int kIntegerWidth = 9;
inline constexpr int kSmallIntegerWidth = 4;

namespace detail {
constexpr FieldSpec text(Field f, std::string_view name, int width)
{
    return {f, name, kTextTypeLetter, width, 0, ValueType::Text};
}
constexpr FieldSpec real(Field f, std::string_view name)
{
    return {f, name, kNumberTypeLetter, kRealWidth, kRealDecimals, ValueType::Real};
}
constexpr FieldSpec integer(Field f, std::string_view name)
{
    return {f, name, kNumberTypeLetter, kIntegerWidth, 0, ValueType::Integer};
}
constexpr FieldSpec smallInteger(Field f, std::string_view name)
{
    return {f, name, kNumberTypeLetter, kSmallIntegerWidth, 0, ValueType::SmallInteger};
}
} // namespace detail

// clang-format off
inline constexpr std::array<FieldSpec, 37> kMeasurementFields = {{
    detail::real(Field::N, "N"),
    detail::text(Field::DATE, "DATE", 10),
    detail::text(Field::TIME, "TIME", 8),
    detail::smallInteger(Field::DEV_TYPE, "DEV_TYPE"),
    detail::real(Field::SERIAL, "SERIAL"),
    detail::smallInteger(Field::NB_TYPE, "NB_TYPE"),
    detail::real(Field::P, "P"),
    detail::real(Field::R, "R"),
    detail::text(Field::TYPE, "TYPE", 15),
    detail::text(Field::COMMENT, "COMMENT", 100),
    detail::integer(Field::PMAX, "PMAX"),
    detail::integer(Field::DPMAX, "DPMAX"),
    detail::integer(Field::NV, "NV"),
    detail::text(Field::DATEV, "DATEV", 10),
    detail::text(Field::TIMEV, "TIMEV", 8),
    detail::integer(Field::P1, "P1"),
    detail::integer(Field::D1, "D1"),
    detail::integer(Field::D3, "D3"),
    detail::integer(Field::D4, "D4"),
    detail::integer(Field::D5, "D5"),
    detail::integer(Field::P6, "P6"),
    detail::integer(Field::D6, "D6"),
    detail::integer(Field::P7, "P7"),
    detail::integer(Field::D7, "D7"),
    detail::integer(Field::P8, "P8"),
    detail::integer(Field::D8, "D8"),
    detail::integer(Field::D9, "D9"),
    detail::integer(Field::D10, "D10"),
    detail::real(Field::T, "T"),
    detail::real(Field::P2, "P2"),
    detail::text(Field::P3, "P3", 250),
    detail::text(Field::D2, "D2", 150),
    detail::real(Field::P4, "P4"),
    detail::real(Field::P9, "P9"),
    detail::text(Field::P5, "P5", 200),
    detail::text(Field::ZAV, "ZAV", 20),
    detail::real(Field::P10, "P10"),
}};
// clang-format on

inline constexpr std::size_t kFieldCount = kMeasurementFields.size();

constexpr const FieldSpec& fieldSpec(Field f)
{
    return kMeasurementFields[static_cast<std::size_t>(f)];
}

// The field of the schema with this name, compared without regard to case.
std::optional<Field> fieldByName(std::string_view name);

} // namespace darni::table

// The stored text of field values.
#include "table/fieldcodec.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

using namespace darni::table;

namespace {

struct NumberCase
{
    double value;
    int width;
    int decimals;
    const char* stored; // nullptr: does not fit
};

TEST(FieldCodec, NumbersAreRightAlignedWithExactlyTheirDecimals)
{
    const NumberCase cases[] = {
        {12.5, 18, 9, "      12.500000000"},
        {1, 18, 9, "       1.000000000"},
        {0.5, 18, 9, "       0.500000000"},
        {0, 18, 9, "       0.000000000"},
        {-0.0, 18, 9, "       0.000000000"},
        {12345678.25, 18, 9, "12345678.250000000"},
        {-1234567.5, 18, 9, "-1234567.500000000"},
        {0.1 + 0.2, 18, 9, "       0.300000000"},
        {123456789, 18, 9, nullptr},
        {-12345678, 18, 9, nullptr},
        {3.8, 9, 1, "      3.8"},
        {1, 4, 0, "   1"},
        {9999, 4, 0, "9999"},
        {10000, 4, 0, nullptr},
        {std::numeric_limits<double>::infinity(), 18, 9, nullptr},
        {std::numeric_limits<double>::quiet_NaN(), 18, 9, nullptr},
    };
    for (const auto& c : cases) {
        std::string out(static_cast<std::size_t>(c.width), '#');
        const bool fits = fieldcodec::writeNumber(c.value, c.decimals, out.data(), c.width);
        if (c.stored) {
            EXPECT_TRUE(fits) << c.value;
            EXPECT_EQ(out, c.stored) << c.value;
        } else {
            EXPECT_FALSE(fits) << c.value;
            EXPECT_EQ(out, std::string(static_cast<std::size_t>(c.width), '#')) << "touched for " << c.value;
        }
    }
}

TEST(FieldCodec, IntegersAreRightAligned)
{
    struct Case
    {
        std::int64_t value;
        int width;
        const char* stored;
    } const cases[] = {
        {1, 4, "   1"}, {4321, 9, "     4321"}, {999999999, 9, "999999999"}, {1000000000, 9, nullptr}, {-12, 4, " -12"},
    };
    for (const auto& c : cases) {
        std::string out(static_cast<std::size_t>(c.width), '#');
        const bool fits = fieldcodec::writeInteger(c.value, out.data(), c.width);
        EXPECT_EQ(fits, c.stored != nullptr) << c.value;
        if (c.stored) {
            EXPECT_EQ(out, c.stored) << c.value;
        }
    }
}

TEST(FieldCodec, StoredNumbersRead)
{
    struct Case
    {
        const char* stored;
        std::optional<double> value;
    } const cases[] = {
        {"  12", 12.0},
        {"       0.500000000", 0.5},
        {"12  ", 12.0},
        {"  -3.25 ", -3.25},
        {"+7", 7.0},
        {"", std::nullopt},
        {"    ", std::nullopt},
        {"abc", 0.0},
        {"1,5", 0.0},
        {"12x", 0.0},
        {"1 2", 0.0},
        // Not numbers a measurement can have: blank, not undefined behaviour in filters and sort keys.
        {"inf", std::nullopt},
        {"-inf", std::nullopt},
        {"nan", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fieldcodec::numberValue(c.stored), c.value) << '"' << c.stored << '"';
}

TEST(FieldCodec, TextIsBlankFilledAndCut)
{
    std::string out(6, '#');
    fieldcodec::writeText("abc", out.data(), 6);
    EXPECT_EQ(out, "abc   ");
    fieldcodec::writeText("abcdefgh", out.data(), 6);
    EXPECT_EQ(out, "abcdef");
    EXPECT_EQ(fieldcodec::textValue("  a b   "), "  a b");
    EXPECT_EQ(fieldcodec::textValue("      "), "");
}

} // namespace

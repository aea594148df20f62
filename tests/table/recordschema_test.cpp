// The record schema gives the stored layout of every created table.
#include "table/dbfheader.h"
#include "table/recordschema.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace darni::table;

namespace {

int recordLengthOfSchema()
{
    int length = dbf::kDeletionFlagSize;
    for (const auto& f : kMeasurementFields)
        length += f.width;
    return length;
}

int positionOf(Field field)
{
    int position = dbf::kDeletionFlagSize;
    for (const auto& f : kMeasurementFields) {
        if (f.field == field)
            return position;
        position += f.width;
    }
    return -1;
}

struct Placement
{
    std::string_view name;
    int position;
    int width;
};

// The positions a dBase reader finds in every created table, as published with the file format.
constexpr Placement kPlacements[] = {
    {"N", 1, 18},       {"DATE", 19, 10},  {"TIME", 29, 8}, {"DEV_TYPE", 37, 4}, {"SERIAL", 41, 18},
    {"NB_TYPE", 59, 4}, {"P", 63, 18},     {"R", 81, 18},   {"TYPE", 99, 15},    {"COMMENT", 114, 100},
    {"PMAX", 214, 9},   {"DPMAX", 223, 9}, {"NV", 232, 9},  {"DATEV", 241, 10},  {"TIMEV", 251, 8},
    {"P1", 259, 9},     {"D1", 268, 9},    {"D3", 277, 9},  {"D4", 286, 9},      {"D5", 295, 9},
    {"P6", 304, 9},     {"D6", 313, 9},    {"P7", 322, 9},  {"D7", 331, 9},      {"P8", 340, 9},
    {"D8", 349, 9},     {"D9", 358, 9},    {"D10", 367, 9}, {"T", 376, 18},      {"P2", 394, 18},
    {"P3", 412, 250},   {"D2", 662, 150},  {"P4", 812, 18}, {"P9", 830, 18},     {"P5", 848, 200},
    {"ZAV", 1048, 20},  {"P10", 1068, 18},
};

TEST(RecordSchema, HeaderAndRecordLengthsFollowFromTheFields)
{
    EXPECT_EQ(kFieldCount, 37u);
    EXPECT_EQ(dbf::headerLength(static_cast<int>(kFieldCount)), 1217);
    EXPECT_EQ(recordLengthOfSchema(), 1086);
}

TEST(RecordSchema, EveryFieldStandsAtItsPublishedPosition)
{
    ASSERT_EQ(std::size(kPlacements), kFieldCount);
    for (const auto& p : kPlacements) {
        const auto field = fieldByName(p.name);
        ASSERT_TRUE(field) << p.name;
        EXPECT_EQ(positionOf(*field), p.position) << p.name;
        EXPECT_EQ(fieldSpec(*field).width, p.width) << p.name;
    }
}

TEST(RecordSchema, StorageFollowsTheValueType)
{
    for (const auto& f : kMeasurementFields) {
        switch (f.valueType) {
        case ValueType::Real:
            EXPECT_TRUE(f.typeLetter == 'N' && f.width == 18 && f.decimals == 9) << f.name;
            break;
        case ValueType::Integer:
            EXPECT_TRUE(f.typeLetter == 'N' && f.width == 9 && f.decimals == 0) << f.name;
            break;
        case ValueType::SmallInteger:
            EXPECT_TRUE(f.typeLetter == 'N' && f.width == 4 && f.decimals == 0) << f.name;
            break;
        case ValueType::Text:
            EXPECT_TRUE(f.typeLetter == 'C' && f.decimals == 0) << f.name;
            break;
        }
    }
    EXPECT_EQ(fieldSpec(Field::NB_TYPE).valueType, ValueType::SmallInteger);
    EXPECT_EQ(fieldSpec(Field::D9).valueType, ValueType::Integer);
    EXPECT_EQ(fieldSpec(Field::COMMENT).width, 100);
}

TEST(RecordSchema, NamesAreFoundWithoutRegardToCase)
{
    EXPECT_EQ(fieldByName("comment"), Field::COMMENT);
    EXPECT_EQ(fieldByName("Nb_Type"), Field::NB_TYPE);
    EXPECT_EQ(fieldByName("p10"), Field::P10);
    EXPECT_FALSE(fieldByName("P11"));
    EXPECT_FALSE(fieldByName(""));
}

} // namespace

// The memory image's readers and the ordering of measurements in time.
#include "decode/stampseconds.h"
#include "support/qtprinters.h"
#include "transfer/deviceimage.h"

#include <gtest/gtest.h>

#include <vector>

using namespace darni::transfer;
using darni::decode::stampSeconds;

namespace {

DeviceImage imageOf(std::vector<std::uint8_t> bytes)
{
    DeviceImage image;
    image.assign(bytes);
    return image;
}

TEST(DeviceImageReaders, Words)
{
    const DeviceImage image = imageOf({0x34, 0x12, 0xFF, 0xFF});
    EXPECT_EQ(image.word(0), 0x1234);
    EXPECT_EQ(image.word(2), 0xFFFF);
    EXPECT_EQ(image.word(3), 0x00FF) << "bytes beyond those received read as 0";
    EXPECT_EQ(image.word(image::kCapacity - 1), 0) << "no read past the end";
}

TEST(DeviceImageReaders, TimesAreAlwaysTimesOfDay)
{
    struct Case
    {
        std::uint8_t seconds, minutes, hours;
        const char* text;
    } const cases[] = {
        {5, 7, 9, "09:07:05"}, {60, 60, 24, "00:00:00"},  {59, 59, 23, "23:59:59"},
        {0, 0, 0, "00:00:00"}, {255, 1, 255, "00:01:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(imageOf({c.seconds, c.minutes, c.hours}).time(0), QString::fromLatin1(c.text)) << c.text;
}

TEST(DeviceImageReaders, DatesKeepTheirShapeButNotTheCalendar)
{
    struct Case
    {
        std::uint8_t day, month, year;
        const char* text;
    } const cases[] = {
        {0, 13, 5, "01.01.2005"}, {31, 12, 255, "31.12.2255"}, {32, 0, 0, "01.01.2000"},
        {31, 2, 5, "31.02.2005"}, {7, 3, 24, "07.03.2024"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(imageOf({c.day, c.month, c.year}).date(0), QString::fromLatin1(c.text)) << c.text;
}

TEST(DeviceImageLayout, TheSecondBlockFollowsTheFirstBlocksRecords)
{
    EXPECT_EQ(image::secondBlockOffset(0), 4u);
    EXPECT_EQ(image::secondBlockOffset(0) + image::kBlockHeaderLength, 8u);
    EXPECT_EQ(image::secondBlockOffset(2), 92u);
}

TEST(StampSeconds, CountsSecondsFromTheFirstDayOfYearOne)
{
    const auto at = [](const char* d, const char* t) {
        return stampSeconds(QString::fromLatin1(d), QString::fromLatin1(t));
    };
    EXPECT_EQ(at("01.01.2000", "00:00:00"), 63'082'368'000);
    EXPECT_EQ(at("01.01.2000", "00:00:01"), 63'082'368'001);
    EXPECT_EQ(at("31.12.1999", "23:59:59"), 63'082'367'999);
    EXPECT_EQ(at("01.01.0001", "00:00:00"), 86'400);

    // A day the month lacks counts on from the month's start: deterministic, after the month's real
    // days.
    EXPECT_EQ(at("31.02.2005", "10:00:00"), at("03.03.2005", "10:00:00"));
    EXPECT_GT(at("31.02.2005", "10:00:00"), at("28.02.2005", "23:59:59"));
    EXPECT_EQ(at("30.02.2024", "00:00:00"), at("01.03.2024", "00:00:00")) << "leap year";

    for (const auto& [d, t] : std::vector<std::pair<const char*, const char*>>{{"", "00:00:00"},
                                                                               {"1.1.2000", "00:00:00"},
                                                                               {"01.13.2000", "00:00:00"},
                                                                               {"00.01.2000", "00:00:00"},
                                                                               {"01.01.2000", "24:00:00"},
                                                                               {"01/01/2000", "00:00:00"},
                                                                               {"01.01.2000", "0a:00:00"}})
        EXPECT_FALSE(at(d, t)) << d << ' ' << t;
}

} // namespace

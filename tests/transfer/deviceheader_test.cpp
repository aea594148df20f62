// What the instrument says of itself, read from its device information payload.
#include "transfer/deviceheader.h"

#include <gtest/gtest.h>

using darni::transfer::DeviceHeader;

namespace {

TEST(DeviceHeaderTest, FirmwareVersionText)
{
    EXPECT_EQ(DeviceHeader::firmwareText(1, 12, 7), QStringLiteral("01.12.07"));
    EXPECT_EQ(DeviceHeader::firmwareText(100, 0, 9), QStringLiteral("100.00.09"));
}

TEST(DeviceHeaderTest, FieldsComeFromTheirPayloadBytes)
{
    const std::vector<std::uint8_t> payload = {9, 1, 7, 12, 1, 0xD2, 0x04, 0xDC, 0x05, 12, 0, 0xF4, 0x01, 0xEE};
    const DeviceHeader h = DeviceHeader::fromPayload(payload);
    EXPECT_EQ(h.deviceType, 1);
    EXPECT_EQ(h.firmwareVersion, QStringLiteral("01.12.07"));
    EXPECT_EQ(h.serialNumber, 1234);
    EXPECT_EQ(h.surfaceBase, 1500);
    EXPECT_EQ(h.recordCountA, 12);
    EXPECT_EQ(h.recordCountB, 500);
    EXPECT_EQ(h.countersText(), QStringLiteral(" 12/500"));

    const DeviceHeader shortOne = DeviceHeader::fromPayload({0, 15});
    EXPECT_EQ(shortOne.deviceType, 15);
    EXPECT_EQ(shortOne.recordCountB, 0);
}

} // namespace

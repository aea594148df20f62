// What the instrument says of itself.
#include "deviceheader.h"

namespace darni::transfer {

namespace {
// Byte positions in the frame's payload.
constexpr std::size_t kDeviceTypeByte = 1;
constexpr std::size_t kFirmwareLowByte = 2;
constexpr std::size_t kFirmwareMiddleByte = 3;
constexpr std::size_t kFirmwareHighByte = 4;
constexpr std::size_t kSerialNumberByte = 5;
constexpr std::size_t kSurfaceBaseByte = 7;
constexpr std::size_t kRecordCountAByte = 9;
constexpr std::size_t kRecordCountBByte = 11;
constexpr std::size_t kPayloadLength = 13;
constexpr int kByteBits = 8;
constexpr std::uint8_t kByteMask = 0xFF;
} // namespace

DeviceHeader DeviceHeader::fromPayload(const std::vector<std::uint8_t>& payload)
{
    const auto byte = [&payload](std::size_t i) -> std::uint8_t { return i < payload.size() ? payload[i] : 0; };
    const auto word = [&byte](std::size_t i) { return static_cast<std::uint16_t>(byte(i) | byte(i + 1) << kByteBits); };
    DeviceHeader h;
    h.deviceType = byte(kDeviceTypeByte);
    h.firmwareVersion = firmwareText(byte(kFirmwareHighByte), byte(kFirmwareMiddleByte), byte(kFirmwareLowByte));
    h.serialNumber = word(kSerialNumberByte);
    h.surfaceBase = word(kSurfaceBaseByte);
    h.recordCountA = word(kRecordCountAByte);
    h.recordCountB = word(kRecordCountBByte);
    h.payload = payload;
    return h;
}

std::vector<std::uint8_t> DeviceHeader::toPayload(std::uint8_t firmware4, std::uint8_t firmware3,
                                                  std::uint8_t firmware2) const
{
    std::vector<std::uint8_t> p(kPayloadLength, 0);
    const auto putWord = [&p](std::size_t i, std::uint16_t v) {
        p[i] = static_cast<std::uint8_t>(v & kByteMask);
        p[i + 1] = static_cast<std::uint8_t>(v >> kByteBits);
    };
    p[kDeviceTypeByte] = deviceType;
    p[kFirmwareLowByte] = firmware2;
    p[kFirmwareMiddleByte] = firmware3;
    p[kFirmwareHighByte] = firmware4;
    putWord(kSerialNumberByte, serialNumber);
    putWord(kSurfaceBaseByte, surfaceBase);
    putWord(kRecordCountAByte, recordCountA);
    putWord(kRecordCountBByte, recordCountB);
    return p;
}

QString DeviceHeader::firmwareText(std::uint8_t byte4, std::uint8_t byte3, std::uint8_t byte2)
{
    const auto part = [](std::uint8_t b) { return QStringLiteral("%1").arg(b, 2, 10, QLatin1Char('0')); };
    return part(byte4) + QLatin1Char('.') + part(byte3) + QLatin1Char('.') + part(byte2);
}

QString DeviceHeader::countersText() const
{
    return QLatin1Char(' ') + QString::number(recordCountA) + QLatin1Char('/') + QString::number(recordCountB);
}

} // namespace darni::transfer

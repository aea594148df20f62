// What the instrument says of itself in its device information frame.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace darni::transfer {

struct DeviceHeader
{
    // The one instrument kind this program reads.
    static constexpr std::uint8_t kOrnakDeviceType = 1;

    std::uint8_t deviceType = 0;
    QString firmwareVersion; // as shown, "04.03.02"
    std::uint16_t serialNumber = 0;
    std::uint16_t surfaceBase = 0; // tenths of a millimetre
    std::uint16_t recordCountA = 0;
    std::uint16_t recordCountB = 0;
    std::vector<std::uint8_t> payload; // the frame's payload bytes as received, for saving an image

    // From the frame's payload bytes; bytes the frame does not carry read as 0.
    static DeviceHeader fromPayload(const std::vector<std::uint8_t>& payload);
    // The payload bytes an instrument sends for this header (the simulator's side).
    std::vector<std::uint8_t> toPayload(std::uint8_t firmware4, std::uint8_t firmware3, std::uint8_t firmware2) const;

    // Bytes 4, 3 and 2 of the device information as "04.03.02", each at least two digits.
    static QString firmwareText(std::uint8_t byte4, std::uint8_t byte3, std::uint8_t byte2);
    // " 12/500": a blank, the first count, "/", the second.
    QString countersText() const;
};

} // namespace darni::transfer

// The simulated instrument's memory: its device information and two blocks of 44-byte measurement
// records, generated from a seed or loaded from a saved transfer, growing on request.
#pragma once

#include "transfer/transfer.h"

#include <QDateTime>

#include <array>
#include <cstdint>
#include <vector>

namespace darni::sim {

using Record = std::array<std::uint8_t, 44>;

struct GeneratorSettings
{
    int countA = 12;
    int countB = 5;
    std::uint32_t seed = 1;
};

class InstrumentMemory
{
public:
    // Records in the three sounding modes with materials, product types and series, measured in time
    // order, the two blocks interleaved.
    static InstrumentMemory generated(const GeneratorSettings& settings);
    // The memory a transfer holds.
    static InstrumentMemory fromTransfer(const transfer::Transfer& transfer);

    // More measurements, after the last ones, alternating between the blocks (first block first).
    void appendRecords(int count);

    std::uint8_t deviceType = transfer::DeviceHeader::kOrnakDeviceType;
    std::uint16_t serialNumber = 1234;
    std::uint16_t surfaceBase = 1500;
    std::array<std::uint8_t, 3> firmware = {7, 12, 1}; // bytes 2, 3, 4: shown as "01.12.07"
    std::vector<Record> blockA;
    std::vector<Record> blockB;

    // The device information frame's payload bytes.
    std::vector<std::uint8_t> headerPayload() const;
    // The memory frame's payload bytes: both blocks with their header words.
    std::vector<std::uint8_t> imagePayload() const;
    // What the program holds after a good transfer: the payload and the frame's four checksum bytes.
    transfer::Transfer asTransfer() const;

private:
    Record makeRecord(bool firstBlock, int index, const QDateTime& when) const;
    QDateTime m_nextTime;
    std::uint32_t m_seed = 1;
    int m_made = 0;
};

} // namespace darni::sim

// Builds memory images record by record, as the instrument lays them out, for decoder tests.
#pragma once

#include "transfer/deviceimage.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace darni::testing {

struct TestRecord
{
    std::uint16_t flags = 0;
    std::uint16_t ks = 0;
    std::uint16_t valueA = 0;
    std::uint16_t valueB = 0;
    std::array<std::uint8_t, 3> time = {0, 0, 12}; // seconds, minutes, hours
    std::array<std::uint8_t, 3> date = {1, 3, 24}; // day, month, year − 2000
    std::vector<std::uint16_t> series;             // the first is ValueC

    // Flag bits.
    static constexpr std::uint16_t kMaterialGiven = 1u << 7;
    static constexpr std::uint16_t kThrough = 1u << 13;
    static constexpr std::uint16_t kCrack = 1u << 14;
    static constexpr std::uint16_t kSeriesMode = 1u << 15;
    static std::uint16_t typeCode(int code) { return static_cast<std::uint16_t>(code << 8); }
};

class ImageBuilder
{
public:
    ImageBuilder& first(const TestRecord& r);
    ImageBuilder& second(const TestRecord& r);
    std::uint16_t firstCount() const { return static_cast<std::uint16_t>(m_first.size()); }
    // The image as received: both blocks, then four checksum bytes.
    void buildInto(transfer::DeviceImage& image) const;
    std::vector<std::uint8_t> bytes() const;

private:
    std::vector<TestRecord> m_first;
    std::vector<TestRecord> m_second;
};

} // namespace darni::testing

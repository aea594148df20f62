// Builds memory images record by record.
#include "imagebuilder.h"

namespace darni::testing {

namespace {
void putWord(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putRecord(std::vector<std::uint8_t>& out, const TestRecord& r)
{
    const std::size_t start = out.size();
    putWord(out, r.flags);
    putWord(out, r.ks);
    putWord(out, r.valueA);
    putWord(out, r.valueB);
    out.insert(out.end(), r.time.begin(), r.time.end());
    out.insert(out.end(), r.date.begin(), r.date.end());
    for (std::size_t w = 0; w < 14; ++w)
        putWord(out, w < r.series.size() ? r.series[w] : 0);
    out.resize(start + 44, 0);
}
} // namespace

ImageBuilder& ImageBuilder::first(const TestRecord& r)
{
    m_first.push_back(r);
    return *this;
}

ImageBuilder& ImageBuilder::second(const TestRecord& r)
{
    m_second.push_back(r);
    return *this;
}

std::vector<std::uint8_t> ImageBuilder::bytes() const
{
    std::vector<std::uint8_t> out;
    putWord(out, static_cast<std::uint16_t>(m_first.size()));
    putWord(out, 44);
    for (const auto& r : m_first)
        putRecord(out, r);
    putWord(out, static_cast<std::uint16_t>(m_second.size()));
    putWord(out, 0);
    for (const auto& r : m_second)
        putRecord(out, r);
    out.insert(out.end(), {0xAA, 0xBB, 0xCC, 0xDD}); // the frame's checksum bytes
    return out;
}

void ImageBuilder::buildInto(transfer::DeviceImage& image) const
{
    image.assign(bytes());
}

} // namespace darni::testing

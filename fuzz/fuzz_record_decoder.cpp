// Any memory image with any stated counts decodes without reading outside the bytes received: the
// first four bytes give the first block's count and the surface base, the rest is the image.
#include "decode/recorddecoder.h"

#include <cstdlib>
#include <limits>

namespace {

constexpr std::size_t kHeaderBytes = 4;
constexpr std::size_t kChecksumBytes = 4;

std::uint16_t wordAt(const std::uint8_t* data)
{
    return static_cast<std::uint16_t>(data[0] | data[1] << 8);
}

// The block lies wholly inside the memory received, checksum bytes excluded.
void checkInside(const darni::decode::BlockSpan& block, std::size_t imageSize)
{
    if (block.count == 0)
        return;
    const std::size_t memoryEnd = imageSize >= kChecksumBytes ? imageSize - kChecksumBytes : 0;
    const std::size_t end = block.firstRecord + block.count * darni::transfer::image::kRecordLength;
    if (end > memoryEnd)
        std::abort();
}

darni::transfer::Transfer& received()
{
    static darni::transfer::Transfer transfer; // the image is allocated once, as in the program
    return transfer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    darni::transfer::Transfer& t = received();
    t.header.recordCountA = wordAt(data);
    t.header.surfaceBase = wordAt(data + 2);
    t.image.assign({data + kHeaderBytes, size - kHeaderBytes});

    const darni::decode::MemoryLayout layout = darni::decode::layoutOf(t);
    for (const auto* block : {&layout.first, &layout.second}) {
        checkInside(*block, t.image.size());
        const auto rows = darni::decode::decodeRecords(t, *block, 0, std::numeric_limits<std::size_t>::max());
        if (rows.size() != block->count)
            std::abort();
        for (std::size_t k = 0; k < rows.size(); ++k) {
            if (rows[k].number != static_cast<double>(k + 1) || rows[k].time.size() != 8 || rows[k].date.size() != 10)
                std::abort();
        }
        if (block->count > 0)
            (void)darni::decode::recordStamp(t, *block, block->count - 1);
    }
    return 0;
}

// The records of a received memory as table rows.
#include "recorddecoder.h"

#include "recordtables.h"
#include "stampseconds.h"

#include <algorithm>
#include <cmath>

namespace darni::decode {

namespace image = transfer::image;

namespace {

using image::kCrack;
using image::kMaterialCodeMask;
using image::kMaterialGiven;
using image::kSeriesMode;
using image::kThrough;
using image::kTypeCodeMask;
using image::kTypeCodeShift;

// The memory frame's last four bytes are its checksum, not memory.
constexpr std::size_t kChecksumBytes = 4;
// The second block's count word.
constexpr std::size_t kCountWordBytes = 2;

constexpr double kTenths = 10.0;
constexpr double kHundredths = 100.0;
constexpr double kMillimetresPerMetre = 1000.0;

// "(x div 10) / 10": hundredths dropped, never rounded.
double tenthsOfTruncated(std::uint16_t raw)
{
    return static_cast<double>(raw / 10) / kTenths;
}

std::size_t memoryEnd(const transfer::DeviceImage& image)
{
    return image.size() >= kChecksumBytes ? image.size() - kChecksumBytes : 0;
}

BlockSpan blockAt(bool first, std::size_t firstRecord, std::size_t stated, std::size_t end)
{
    BlockSpan block;
    block.first = first;
    block.firstRecord = firstRecord;
    block.count = firstRecord >= end ? 0 : std::min(stated, (end - firstRecord) / image::kRecordLength);
    return block;
}

std::size_t recordOffset(const BlockSpan& block, std::size_t k)
{
    return block.firstRecord + image::kRecordLength * k;
}

std::optional<double> strengthOf(const transfer::DeviceImage& image, std::size_t at, std::uint16_t flags)
{
    const bool materialGiven = flags & kMaterialGiven;
    if (!(flags & kSeriesMode)) {
        const bool crackOnly = !(flags & kThrough) && (flags & kCrack);
        if (materialGiven && !crackOnly)
            return tenthsOfTruncated(image.word(at + image::kSeriesOffset));
        return std::nullopt;
    }
    double sum = 0;
    int count = 0;
    for (std::size_t w = 0; w < image::kSeriesWords; ++w) {
        const std::uint16_t word = image.word(at + image::kSeriesOffset + 2 * w);
        if (word & image::kExcludedFromSeries)
            continue;
        sum += word / kHundredths;
        ++count;
    }
    if (!materialGiven || sum == 0 || count == 0)
        return std::nullopt;
    return std::trunc(sum / count * kTenths) / kTenths;
}

DecodedRow decodeRecord(const transfer::Transfer& transfer, const BlockSpan& block, std::size_t k,
                        const QString& dependence)
{
    const transfer::DeviceImage& image = transfer.image;
    const std::size_t at = recordOffset(block, k);
    const std::uint16_t flags = image.word(at + image::kFlagsOffset);
    const std::uint16_t ks = image.word(at + image::kKsOffset);
    const std::uint16_t valueA = image.word(at + image::kValueAOffset);
    const std::uint16_t valueB = image.word(at + image::kValueBOffset);
    const std::uint16_t valueC = image.word(at + image::kSeriesOffset);
    const bool materialGiven = flags & kMaterialGiven;
    const int materialCode = flags & kMaterialCodeMask;
    const int typeCode = (flags >> kTypeCodeShift) & kTypeCodeMask;

    DecodedRow row;
    row.number = static_cast<double>(k + 1);
    row.time = image.time(at + image::kTimeOffset);
    row.date = image.date(at + image::kDateOffset);
    row.dependence = dependence;

    if (flags & kThrough) {
        row.mode = throughMode();
        row.baseLength = valueA / kTenths;
        row.transitTime = tenthsOfTruncated(valueB);
        // Without a transit time there is no velocity to give.
        if (valueB != 0)
            row.velocity = static_cast<std::int64_t>(
                std::trunc((valueA / kTenths) / (valueB / kHundredths) * kMillimetresPerMetre));
    } else if (flags & kCrack) {
        row.mode = crackMode();
        row.timeOutside = tenthsOfTruncated(valueA);
        row.timeAcross = tenthsOfTruncated(valueB);
        row.crackDepth = tenthsOfTruncated(valueC);
    } else {
        row.mode = surfaceMode();
        row.transitTime = tenthsOfTruncated(valueA);
        row.velocity = valueB;
        row.baseLength = transfer.header.surfaceBase / kTenths;
    }

    if (materialGiven)
        row.ks = tenthsOfTruncated(ks);
    if (block.first) {
        row.material = materialGiven ? firstBlockMaterial(materialCode) : materialNotGiven();
        row.productType = firstBlockProductType(typeCode);
    } else {
        row.material = materialGiven ? dependenceNumber(materialCode) : materialNotGiven();
        // The second block's type code names its material, over the dependence number.
        if (auto material = secondBlockMaterial(typeCode))
            row.material = std::move(material);
    }
    row.strength = strengthOf(image, at, flags);
    return row;
}

} // namespace

QString BlockSpan::dependence() const
{
    return first ? baseDependence() : individualDependence();
}

MemoryLayout layoutOf(const transfer::Transfer& transfer)
{
    const transfer::DeviceImage& image = transfer.image;
    const std::size_t end = memoryEnd(image);
    const std::size_t secondAt = image::secondBlockOffset(transfer.header.recordCountA);
    const std::size_t secondCount = secondAt + kCountWordBytes <= end ? image.word(secondAt) : 0;
    return {blockAt(true, image::kFirstBlockOffset + image::kBlockHeaderLength, transfer.header.recordCountA, end),
            blockAt(false, secondAt + image::kBlockHeaderLength, secondCount, end)};
}

std::vector<DecodedRow> decodeRecords(const transfer::Transfer& transfer, const BlockSpan& block, std::size_t from,
                                      std::size_t count)
{
    std::vector<DecodedRow> rows;
    if (from >= block.count)
        return rows;
    const std::size_t end = from + std::min(count, block.count - from);
    rows.reserve(end - from);
    const QString dependence = block.dependence();
    for (std::size_t k = from; k < end; ++k)
        rows.push_back(decodeRecord(transfer, block, k, dependence));
    return rows;
}

std::int64_t recordStamp(const transfer::Transfer& transfer, const BlockSpan& block, std::size_t k)
{
    const std::size_t at = recordOffset(block, k);
    return stampSeconds(transfer.image.date(at + image::kDateOffset), transfer.image.time(at + image::kTimeOffset))
        .value_or(0);
}

} // namespace darni::decode

// The simulated instrument's memory.
#include "instrumentmemory.h"

#include "link/wirecodec.h"
#include "transfer/deviceimage.h"

#include <random>

namespace darni::sim {

namespace {
namespace img = transfer::image;

using img::kCrack;
using img::kMaterialGiven;
using img::kSeriesMode;
using img::kThrough;
using img::kTypeCodeShift;
constexpr std::uint16_t kExcluded = img::kExcludedFromSeries;
constexpr int kYearBase = 2000;
constexpr int kFirstBlockMaterials = 4; // codes 0..3 are named; others are not
constexpr int kSecondBlockDependences = 20;
constexpr int kFirstBlockTypes = 12;
constexpr int kSecondBlockMaterials = 13;
constexpr int kMinutesBetweenMeasurements = 23;
const QDateTime kFirstMeasurement(QDate(2024, 3, 1), QTime(8, 30, 5));

void putWord(Record& r, std::size_t at, std::uint16_t v)
{
    r[at] = static_cast<std::uint8_t>(v & 0xFF);
    r[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void putWord(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

std::uint16_t wordAt(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return at + 1 < bytes.size() ? static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8) : 0;
}
} // namespace

InstrumentMemory InstrumentMemory::generated(const GeneratorSettings& settings)
{
    InstrumentMemory m;
    m.m_seed = settings.seed;
    m.m_nextTime = kFirstMeasurement.addSecs(static_cast<qint64>(settings.seed % 1000) * 60);
    // Interleave in time while both blocks have records to make, then finish the longer one.
    int a = 0;
    int b = 0;
    while (a < settings.countA || b < settings.countB) {
        const bool takeA = a < settings.countA && (b >= settings.countB || (a + b) % 2 == 0);
        if (takeA)
            m.blockA.push_back(m.makeRecord(true, a++, m.m_nextTime));
        else
            m.blockB.push_back(m.makeRecord(false, b++, m.m_nextTime));
        m.m_nextTime = m.m_nextTime.addSecs(kMinutesBetweenMeasurements * 60 + 7);
    }
    return m;
}

InstrumentMemory InstrumentMemory::fromTransfer(const transfer::Transfer& transfer)
{
    InstrumentMemory m;
    const transfer::DeviceHeader& header = transfer.header;
    m.deviceType = header.deviceType;
    m.serialNumber = header.serialNumber;
    m.surfaceBase = header.surfaceBase;
    const auto payloadByte = [&](std::size_t i) -> std::uint8_t {
        return i < header.payload.size() ? header.payload[i] : 0;
    };
    m.firmware = {payloadByte(2), payloadByte(3), payloadByte(4)};

    const auto image = transfer.image.bytes();
    const auto take = [&image](std::size_t from, std::size_t count, std::vector<Record>& into) {
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t at = from + k * img::kRecordLength;
            if (at + img::kRecordLength > image.size())
                return;
            Record r{};
            std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(at), img::kRecordLength, r.begin());
            into.push_back(r);
        }
    };
    take(img::kFirstBlockOffset + img::kBlockHeaderLength, header.recordCountA, m.blockA);
    const std::size_t second = img::secondBlockOffset(header.recordCountA);
    take(second + img::kBlockHeaderLength, wordAt(image, second), m.blockB);
    m.m_nextTime = QDateTime::currentDateTime();
    return m;
}

void InstrumentMemory::appendRecords(int count)
{
    for (int i = 0; i < count; ++i) {
        if (i % 2 == 0)
            blockA.push_back(makeRecord(true, static_cast<int>(blockA.size()), m_nextTime));
        else
            blockB.push_back(makeRecord(false, static_cast<int>(blockB.size()), m_nextTime));
        m_nextTime = m_nextTime.addSecs(kMinutesBetweenMeasurements * 60 + 7);
    }
}

Record InstrumentMemory::makeRecord(bool firstBlock, int index, const QDateTime& when) const
{
    // A fixed generator (its output is the same everywhere) seeded by the seed and the record.
    std::mt19937 random(m_seed * 7919u + static_cast<std::uint32_t>(index) * 2u + (firstBlock ? 0u : 1u));
    const auto pick = [&random](std::uint32_t n) { return static_cast<std::uint16_t>(random() % n); };

    Record r{};
    const int mode = (index + (firstBlock ? 0 : 1)) % 3;
    std::uint16_t flags =
        firstBlock ? pick(kFirstBlockMaterials + 1) : static_cast<std::uint16_t>(1 + pick(kSecondBlockDependences));
    if (pick(5) != 0)
        flags |= kMaterialGiven;
    const std::uint16_t type = firstBlock ? pick(kFirstBlockTypes) : pick(kSecondBlockMaterials + 2);
    flags |= static_cast<std::uint16_t>(type << kTypeCodeShift);
    const bool series = pick(6) == 0;
    if (series)
        flags |= kSeriesMode;

    std::uint16_t valueA = 0;
    std::uint16_t valueB = 0;
    std::uint16_t valueC = static_cast<std::uint16_t>(1800 + pick(2500)); // strength, hundredths of MPa
    switch (mode) {
    case 0: // through: base in tenths of a millimetre, time in hundredths of a microsecond
        flags |= kThrough;
        valueA = static_cast<std::uint16_t>(1000 + 100 * pick(10));
        valueB = static_cast<std::uint16_t>(2200 + pick(3000));
        break;
    case 1: // surface: time in hundredths of a microsecond, velocity in m/s
        valueA = static_cast<std::uint16_t>(2500 + pick(3000));
        valueB = static_cast<std::uint16_t>(3400 + pick(1200));
        break;
    default: // crack: times outside and across, depth in hundredths of a millimetre
        flags |= kCrack;
        valueA = static_cast<std::uint16_t>(1500 + pick(1500));
        valueB = static_cast<std::uint16_t>(3000 + pick(2000));
        valueC = static_cast<std::uint16_t>(200 + pick(900));
        break;
    }

    putWord(r, img::kFlagsOffset, flags);
    putWord(r, img::kKsOffset, static_cast<std::uint16_t>(95 + pick(40)));
    putWord(r, img::kValueAOffset, valueA);
    putWord(r, img::kValueBOffset, valueB);
    r[img::kTimeOffset] = static_cast<std::uint8_t>(when.time().second());
    r[img::kTimeOffset + 1] = static_cast<std::uint8_t>(when.time().minute());
    r[img::kTimeOffset + 2] = static_cast<std::uint8_t>(when.time().hour());
    r[img::kDateOffset] = static_cast<std::uint8_t>(when.date().day());
    r[img::kDateOffset + 1] = static_cast<std::uint8_t>(when.date().month());
    r[img::kDateOffset + 2] = static_cast<std::uint8_t>(when.date().year() - kYearBase);
    putWord(r, img::kSeriesOffset, valueC);
    if (series) {
        for (std::size_t w = 1; w < img::kSeriesWords; ++w) {
            std::uint16_t v = static_cast<std::uint16_t>(pick(3) == 0 ? 0 : 1800 + pick(2500));
            if (pick(7) == 0)
                v |= kExcluded;
            putWord(r, img::kSeriesOffset + 2 * w, v);
        }
    }
    return r;
}

std::vector<std::uint8_t> InstrumentMemory::headerPayload() const
{
    transfer::DeviceHeader h;
    h.deviceType = deviceType;
    h.serialNumber = serialNumber;
    h.surfaceBase = surfaceBase;
    h.recordCountA = static_cast<std::uint16_t>(blockA.size());
    h.recordCountB = static_cast<std::uint16_t>(blockB.size());
    return h.toPayload(firmware[2], firmware[1], firmware[0]);
}

std::vector<std::uint8_t> InstrumentMemory::imagePayload() const
{
    std::vector<std::uint8_t> out;
    out.reserve(2 * img::kBlockHeaderLength + (blockA.size() + blockB.size()) * img::kRecordLength);
    putWord(out, static_cast<std::uint16_t>(blockA.size()));
    putWord(out, static_cast<std::uint16_t>(img::kRecordLength));
    for (const auto& r : blockA)
        out.insert(out.end(), r.begin(), r.end());
    putWord(out, static_cast<std::uint16_t>(blockB.size()));
    putWord(out, 0);
    for (const auto& r : blockB)
        out.insert(out.end(), r.begin(), r.end());
    return out;
}

transfer::Transfer InstrumentMemory::asTransfer() const
{
    transfer::Transfer t;
    t.header = transfer::DeviceHeader::fromPayload(headerPayload());
    std::vector<std::uint8_t> image = imagePayload();
    const QByteArray chars = link::wire::encodePayload(image);
    const std::uint32_t sum = link::wire::checksum(chars.constData(), static_cast<std::size_t>(chars.size()));
    for (int shift = 0; shift < 32; shift += 8)
        image.push_back(static_cast<std::uint8_t>(sum >> shift));
    t.image.assign(image);
    return t;
}

} // namespace darni::sim

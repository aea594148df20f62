// Turns the records of a memory image into table rows.
#include "recorddecoder.h"

#include "recordtables.h"
#include "stampseconds.h"

#include "table/cp1251.h"

#include <cmath>
#include <optional>
#include <string>

namespace darni::decode {

using table::DbfTable;
using table::Field;

namespace {

// Bits of a record's Flags word.
constexpr std::uint16_t kMaterialCodeMask = 0x7F;
constexpr std::uint16_t kMaterialGiven = 1u << 7;
constexpr int kTypeCodeShift = 8;
constexpr std::uint16_t kTypeCodeMask = 0x1F;
constexpr std::uint16_t kThrough = 1u << 13;
constexpr std::uint16_t kCrack = 1u << 14;
constexpr std::uint16_t kSeriesMode = 1u << 15;
constexpr std::uint16_t kExcluded = 1u << 15;

// The memory frame's last four bytes are its checksum, not memory.
constexpr std::size_t kChecksumBytes = 4;

constexpr double kTenths = 10.0;
constexpr double kHundredths = 100.0;
constexpr double kMillimetresPerMetre = 1000.0;

std::string bytes(const QString& text)
{
    return table::cp1251::fromUnicode(text).toStdString();
}

// "(x div 10) / 10": hundredths dropped, never rounded.
double tenthsOfTruncated(std::uint16_t raw)
{
    return static_cast<double>(raw / 10) / kTenths;
}

struct Block
{
    std::size_t count;
    std::size_t firstRecord;
    bool first;
    QString dependence;
};

class Decoder
{
public:
    Decoder(DbfTable& table, const ImageSource& source)
        : m_table(table), m_source(source),
          m_memoryEnd(source.image.size() >= kChecksumBytes ? source.image.size() - kChecksumBytes : 0)
    {
    }

    int decode(const Block& block, DecodeMode mode)
    {
        const std::size_t available = availableRecords(block);
        std::size_t k = 0;
        if (mode == DecodeMode::Append) {
            const std::int64_t reference = referenceStamp(block.dependence);
            while (k < available && recordStamp(block, k) <= reference)
                ++k;
        }
        const std::string dependence = bytes(block.dependence);
        for (std::size_t i = k; i < available; ++i)
            appendRow(block, i, dependence);
        return static_cast<int>(available - k);
    }

private:
    std::size_t recordOffset(const Block& block, std::size_t k) const
    {
        return block.firstRecord + image::kRecordLength * k;
    }

    // Records wholly within the memory received.
    std::size_t availableRecords(const Block& block) const
    {
        if (block.firstRecord >= m_memoryEnd)
            return 0;
        return std::min(block.count, (m_memoryEnd - block.firstRecord) / image::kRecordLength);
    }

    std::int64_t recordStamp(const Block& block, std::size_t k) const
    {
        const std::size_t at = recordOffset(block, k);
        return stampSeconds(m_source.image.date(at + image::kDateOffset), m_source.image.time(at + image::kTimeOffset))
            .value_or(0);
    }

    // The newest stored row of this dependence, in table order; rows whose date or time cannot be
    // read (edited by hand) are passed over. 0 when there is none.
    std::int64_t referenceStamp(const QString& dependence)
    {
        const QByteArray wanted = table::cp1251::fromUnicode(dependence);
        for (bool ok = m_table.last(); ok; ok = m_table.prior()) {
            if (m_table.text(Field::P5) != wanted)
                continue;
            const auto stamp = stampSeconds(QString::fromLatin1(m_table.text(Field::DATE)),
                                            QString::fromLatin1(m_table.text(Field::TIME)));
            if (stamp)
                return *stamp;
        }
        return 0;
    }

    void setText(Field f, const QString& text) { m_table.setText(f, bytes(text)); }

    void appendRow(const Block& block, std::size_t k, const std::string& dependence)
    {
        const DeviceImage& image = m_source.image;
        const std::size_t at = recordOffset(block, k);
        const std::uint16_t flags = image.word(at + image::kFlagsOffset);
        const std::uint16_t ks = image.word(at + image::kKsOffset);
        const std::uint16_t valueA = image.word(at + image::kValueAOffset);
        const std::uint16_t valueB = image.word(at + image::kValueBOffset);
        const std::uint16_t valueC = image.word(at + image::kSeriesOffset);
        const bool materialGiven = flags & kMaterialGiven;
        const int materialCode = flags & kMaterialCodeMask;
        const int typeCode = (flags >> kTypeCodeShift) & kTypeCodeMask;

        m_table.append();
        m_table.setReal(Field::N, static_cast<double>(k + 1));
        m_table.setText(Field::TIME, image.time(at + image::kTimeOffset).toLatin1().toStdString());
        m_table.setText(Field::DATE, image.date(at + image::kDateOffset).toLatin1().toStdString());
        m_table.setText(Field::P5, dependence);

        if (flags & kThrough) {
            setText(Field::ZAV, throughMode());
            m_table.setReal(Field::R, valueA / kTenths);
            m_table.setReal(Field::P, tenthsOfTruncated(valueB));
            // Without a transit time there is no velocity to give.
            if (valueB != 0)
                m_table.setInteger(Field::D9, static_cast<std::int64_t>(
                                                  std::trunc((valueA / kTenths) / (valueB / kHundredths) * kMillimetresPerMetre)));
        } else if (flags & kCrack) {
            setText(Field::ZAV, crackMode());
            m_table.setReal(Field::T, tenthsOfTruncated(valueA));
            m_table.setReal(Field::P10, tenthsOfTruncated(valueB));
            m_table.setReal(Field::P9, tenthsOfTruncated(valueC));
        } else {
            setText(Field::ZAV, surfaceMode());
            m_table.setReal(Field::P, tenthsOfTruncated(valueA));
            m_table.setInteger(Field::D9, valueB);
            m_table.setReal(Field::R, m_source.surfaceBase / kTenths);
        }

        if (block.first) {
            if (materialGiven) {
                if (const auto material = firstBlockMaterial(materialCode))
                    setText(Field::D2, *material);
                m_table.setReal(Field::P4, tenthsOfTruncated(ks));
            } else {
                setText(Field::D2, materialNotGiven());
            }
            if (const auto type = firstBlockProductType(typeCode))
                setText(Field::P3, *type);
        } else {
            if (materialGiven) {
                if (const auto number = dependenceNumber(materialCode))
                    setText(Field::D2, *number);
                m_table.setReal(Field::P4, tenthsOfTruncated(ks));
            } else {
                setText(Field::D2, materialNotGiven());
            }
            if (const auto material = secondBlockMaterial(typeCode))
                setText(Field::D2, *material);
        }

        if (const auto strength = strengthOf(at, flags))
            m_table.setReal(Field::P2, *strength);
        m_table.post();
    }

    std::optional<double> strengthOf(std::size_t at, std::uint16_t flags) const
    {
        const bool materialGiven = flags & kMaterialGiven;
        if (!(flags & kSeriesMode)) {
            const bool crackOnly = !(flags & kThrough) && (flags & kCrack);
            if (materialGiven && !crackOnly)
                return tenthsOfTruncated(m_source.image.word(at + image::kSeriesOffset));
            return std::nullopt;
        }
        double sum = 0;
        int count = 0;
        for (std::size_t w = 0; w < image::kSeriesWords; ++w) {
            const std::uint16_t word = m_source.image.word(at + image::kSeriesOffset + 2 * w);
            if (word & kExcluded)
                continue;
            sum += word / kHundredths;
            ++count;
        }
        if (!materialGiven || sum == 0 || count == 0)
            return std::nullopt;
        return std::trunc(sum / count * kTenths) / kTenths;
    }

    DbfTable& m_table;
    const ImageSource& m_source;
    std::size_t m_memoryEnd;
};

} // namespace

QString DecodeResult::messageCaption()
{
    return QStringLiteral("Дополнение");
}

DecodeResult flash2klivo(DbfTable& table, const ImageSource& source, DecodeMode mode)
{
    DecodeResult result;
    if (!table.isOpen())
        return result;
    Decoder decoder(table, source);

    table.setFilter(table::RowFilter::recordKind(0));
    table.refresh();
    const Block first{source.recordCountA, image::kFirstBlockOffset + image::kBlockHeaderLength, true, baseDependence()};
    result.addedFirstBlock = decoder.decode(first, mode);
    if (mode == DecodeMode::Append)
        result.messages << QStringLiteral("Добавлено записей: %1").arg(result.addedFirstBlock);

    table.refresh();
    const std::size_t second = image::secondBlockOffset(source.recordCountA);
    const std::size_t memoryEnd = source.image.size() >= kChecksumBytes ? source.image.size() - kChecksumBytes : 0;
    const std::size_t secondCount = second + 2 <= memoryEnd ? source.image.word(second) : 0;
    const Block block2{secondCount, second + image::kBlockHeaderLength, false, individualDependence()};
    result.addedSecondBlock = decoder.decode(block2, mode);
    if (mode == DecodeMode::Append)
        result.messages << QStringLiteral("Добавлено записей в \"ОРНАК\": %1").arg(result.addedSecondBlock);

    table.setFilter(table::RowFilter());
    table.refresh();
    return result;
}

} // namespace darni::decode

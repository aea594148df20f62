// Decoding memory records into table rows: field rules per mode and block, create and append.
#include "decode/recorddecoder.h"
#include "decode/transferdecoding.h"
#include "support/imagebuilder.h"
#include "support/tablefixture.h"
#include "table/cp1251.h"
#include "table/dbftable.h"
#include "table/tableerror.h"

#include <map>

using namespace darni;
using namespace darni::table;
using darni::testing::ImageBuilder;
using darni::testing::TestRecord;

namespace {

using Fields = std::map<Field, QString>;

// The transfer of an instrument that stated this first-block count and surface base.
transfer::Transfer transferOf(const transfer::DeviceImage& image, std::uint16_t firstCount, std::uint16_t surfaceBase)
{
    transfer::Transfer t;
    t.header.deviceType = transfer::DeviceHeader::kOrnakDeviceType;
    t.header.recordCountA = firstCount;
    t.header.surfaceBase = surfaceBase;
    t.image = image;
    return t;
}

class RecordDecoder : public darni::testing::TableFixture
{
protected:
    void SetUp() override
    {
        DbfTable::create(tablePath());
        m_table.open(tablePath());
    }

    decode::DecodeResult decodeImage(const ImageBuilder& b, decode::DecodeMode mode, std::uint16_t surfaceBase = 1500)
    {
        b.buildInto(m_image);
        return decodeInto(transferOf(m_image, b.firstCount(), surfaceBase), mode);
    }

    // The transfer's rows appended to the table, compared with its stored rows as the workspace does.
    decode::DecodeResult decodeInto(const transfer::Transfer& received, decode::DecodeMode mode)
    {
        const auto stored =
            decode::storedStamps(received, m_table.view(RowFilter::recordKind(0), table::DbfTable::Order::File));
        return decode::flash2klivo(received, mode, stored,
                                   [this](std::span<const table::NewRow> rows) { m_table.appendRows(rows); });
    }

    // Every field of every row, in file order, as text ("" for blank).
    std::vector<Fields> rows()
    {
        const RecordView all = m_table.view({}, table::DbfTable::Order::File);
        std::vector<Fields> out;
        for (int row = 0; row < all.size(); ++row) {
            Fields f;
            for (const auto& entry : kMeasurementFields) {
                const QByteArray stored = all.text(row, entry.field);
                if (!stored.trimmed().isEmpty())
                    f[entry.field] = entry.valueType == ValueType::Text ? cp1251::toUnicode(stored)
                                                                        : QString::fromLatin1(stored.trimmed());
            }
            out.push_back(f);
        }
        return out;
    }

    DbfTable m_table;
    transfer::DeviceImage m_image;
};

TestRecord record(std::uint16_t flags, std::uint16_t a, std::uint16_t b, std::vector<std::uint16_t> series = {},
                  std::uint16_t ks = 0)
{
    TestRecord r;
    r.flags = flags;
    r.valueA = a;
    r.valueB = b;
    r.series = std::move(series);
    r.ks = ks;
    return r;
}

TEST_F(RecordDecoder, FieldRulesPerModeAndBlock)
{
    using R = TestRecord;
    struct Case
    {
        const char* what;
        bool firstBlock;
        TestRecord record;
        Fields expected; // besides N, DATE, TIME, P5
    };
    const Case cases[] = {
        {"through",
         true,
         record(R::kThrough, 1500, 3750),
         {{Field::ZAV, QStringLiteral("Cквозное")},
          {Field::R, QStringLiteral("150.000000000")},
          {Field::P, QStringLiteral("37.500000000")},
          {Field::D9, QStringLiteral("4000")},
          {Field::D2, QStringLiteral("Не указывается")},
          {Field::P3, QStringLiteral("Изделие")}}},
        {"through without a time",
         true,
         record(R::kThrough, 1500, 0),
         {{Field::ZAV, QStringLiteral("Cквозное")},
          {Field::R, QStringLiteral("150.000000000")},
          {Field::P, QStringLiteral("0.000000000")},
          {Field::D2, QStringLiteral("Не указывается")},
          {Field::P3, QStringLiteral("Изделие")}}},
        {"surface",
         true,
         record(TestRecord::typeCode(5), 1234, 4100),
         {{Field::ZAV, QStringLiteral("Поверхностное")},
          {Field::P, QStringLiteral("12.300000000")},
          {Field::D9, QStringLiteral("4100")},
          {Field::R, QStringLiteral("150.000000000")},
          {Field::D2, QStringLiteral("Не указывается")},
          {Field::P3, QStringLiteral("Плита")}}},
        {"crack, material given",
         true,
         record(R::kCrack | R::kMaterialGiven | 1 | TestRecord::typeCode(11), 2019, 3561, {457}, 115),
         {{Field::ZAV, QStringLiteral("Трещина")},
          {Field::T, QStringLiteral("20.100000000")},
          {Field::P10, QStringLiteral("35.600000000")},
          {Field::P9, QStringLiteral("4.500000000")},
          {Field::D2, QStringLiteral("Бетон тяжёлый")},
          {Field::P4, QStringLiteral("1.100000000")},
          {Field::P3, QStringLiteral("Полы")}}},
        {"an unlisted material and type",
         true,
         record(R::kThrough | R::kMaterialGiven | 9 | TestRecord::typeCode(12), 1000, 2000, {3333}, 99),
         {{Field::ZAV, QStringLiteral("Cквозное")},
          {Field::R, QStringLiteral("100.000000000")},
          {Field::P, QStringLiteral("20.000000000")},
          {Field::D9, QStringLiteral("5000")},
          {Field::P4, QStringLiteral("0.900000000")},
          {Field::P2, QStringLiteral("33.300000000")}}},
        {"second block: dependence number",
         false,
         record(R::kThrough | R::kMaterialGiven | 5 | TestRecord::typeCode(20), 1500, 3750, {2468}, 120),
         {{Field::ZAV, QStringLiteral("Cквозное")},
          {Field::R, QStringLiteral("150.000000000")},
          {Field::P, QStringLiteral("37.500000000")},
          {Field::D9, QStringLiteral("4000")},
          {Field::D2, QStringLiteral("<05>")},
          {Field::P4, QStringLiteral("1.200000000")},
          {Field::P2, QStringLiteral("24.600000000")}}},
        {"second block: the material overwrites",
         false,
         record(R::kMaterialGiven | 5 | TestRecord::typeCode(6), 1234, 4100, {}, 120),
         {{Field::ZAV, QStringLiteral("Поверхностное")},
          {Field::P, QStringLiteral("12.300000000")},
          {Field::D9, QStringLiteral("4100")},
          {Field::R, QStringLiteral("150.000000000")},
          {Field::D2, QStringLiteral("Керамзитобетон")},
          {Field::P4, QStringLiteral("1.200000000")},
          {Field::P2, QStringLiteral("0.000000000")}}},
        {"second block: material not given",
         false,
         record(R::kCrack | TestRecord::typeCode(20), 2019, 3561, {457}),
         {{Field::ZAV, QStringLiteral("Трещина")},
          {Field::T, QStringLiteral("20.100000000")},
          {Field::P10, QStringLiteral("35.600000000")},
          {Field::P9, QStringLiteral("4.500000000")},
          {Field::D2, QStringLiteral("Не указывается")}}},
        {"series mean",
         true,
         record(R::kSeriesMode | R::kMaterialGiven | R::kCrack | 2, 2019, 3561,
                {2510, 2490, 0x8000 + 9999, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
         {{Field::ZAV, QStringLiteral("Трещина")},
          {Field::T, QStringLiteral("20.100000000")},
          {Field::P10, QStringLiteral("35.600000000")},
          {Field::P9, QStringLiteral("25.100000000")},
          {Field::D2, QStringLiteral("Кирпич керамический")},
          {Field::P4, QStringLiteral("0.000000000")},
          {Field::P3, QStringLiteral("Изделие")},
          {Field::P2, QStringLiteral("3.800000000")}}},
        {"series all excluded",
         true,
         record(R::kSeriesMode | R::kMaterialGiven | R::kThrough, 1500, 3750,
                std::vector<std::uint16_t>(14, 0x8000 + 100)),
         {{Field::ZAV, QStringLiteral("Cквозное")},
          {Field::R, QStringLiteral("150.000000000")},
          {Field::P, QStringLiteral("37.500000000")},
          {Field::D9, QStringLiteral("4000")},
          {Field::D2, QStringLiteral("Бетон легкий")},
          {Field::P4, QStringLiteral("0.000000000")},
          {Field::P3, QStringLiteral("Изделие")}}},
    };
    for (const auto& c : cases) {
        m_table.close();
        DbfTable::create(tablePath());
        m_table.open(tablePath());
        ImageBuilder b;
        if (c.firstBlock)
            b.first(c.record);
        else
            b.second(c.record);
        const auto result = decodeImage(b, decode::DecodeMode::Create);
        EXPECT_TRUE(result.messages.isEmpty()) << c.what;
        const auto all = rows();
        ASSERT_EQ(all.size(), 1u) << c.what;
        Fields expected = c.expected;
        expected[Field::N] = QStringLiteral("1.000000000");
        expected[Field::DATE] = QStringLiteral("01.03.2024");
        expected[Field::TIME] = QStringLiteral("12:00:00");
        expected[Field::P5] = c.firstBlock ? QStringLiteral("Базовая") : QStringLiteral("Индивидуальная");
        for (const auto& [field, text] : expected)
            EXPECT_EQ(all[0].count(field) ? all[0].at(field) : QStringLiteral("(blank)"), text)
                << c.what << ": " << fieldSpec(field).name;
        for (const auto& [field, text] : all[0])
            EXPECT_TRUE(expected.count(field))
                << c.what << ": unexpected " << fieldSpec(field).name << " = " << text.toStdString();
    }
}

TestRecord at(int day, int hour, int minute = 0, int second = 0)
{
    TestRecord r = record(TestRecord::kThrough, 1500, 3750);
    r.date = {static_cast<std::uint8_t>(day), 3, 24};
    r.time = {static_cast<std::uint8_t>(second), static_cast<std::uint8_t>(minute), static_cast<std::uint8_t>(hour)};
    return r;
}

TEST_F(RecordDecoder, CreateNumbersEachBlockFromOne)
{
    ImageBuilder b;
    b.first(at(1, 8)).first(at(1, 9)).first(at(1, 10)).second(at(1, 11)).second(at(1, 12));
    const auto result = decodeImage(b, decode::DecodeMode::Create);
    EXPECT_EQ(result.addedFirstBlock, 3);
    EXPECT_EQ(result.addedSecondBlock, 2);
    EXPECT_TRUE(result.messages.isEmpty());
    const auto all = rows();
    ASSERT_EQ(all.size(), 5u);
    const QStringList numbers = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("1"),
                                 QStringLiteral("2")};
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].at(Field::N), numbers[static_cast<qsizetype>(i)] + QStringLiteral(".000000000"));
        EXPECT_EQ(all[i].at(Field::P5), i < 3 ? QStringLiteral("Базовая") : QStringLiteral("Индивидуальная"));
    }
}

TEST_F(RecordDecoder, AppendTakesOnlyNewerRecordsOfEachBlock)
{
    // Stored: first-block records up to 1.3. 10:00, second-block up to 1.3. 10:30.
    ImageBuilder stored;
    stored.first(at(1, 9)).first(at(1, 10)).second(at(1, 9, 30)).second(at(1, 10, 30));
    decodeImage(stored, decode::DecodeMode::Create);

    struct Case
    {
        const char* what;
        ImageBuilder image;
        int first;
        int second;
        std::vector<QString> newNumbers;
    };
    ImageBuilder nothingNew = stored;
    ImageBuilder threeNew;
    threeNew.first(at(1, 9)).first(at(1, 10)).first(at(1, 11)).first(at(1, 12)).first(at(1, 13));
    ImageBuilder equalIsOld;
    equalIsOld.first(at(1, 10)).first(at(1, 10, 0, 1));
    ImageBuilder interleaved; // the second block's new record is older than the first block's newest
    interleaved.first(at(1, 9)).first(at(1, 10)).second(at(1, 9, 30)).second(at(1, 10, 30)).second(at(1, 10, 45));
    ImageBuilder olderAfterNewer; // the walk stops at the first newer record
    olderAfterNewer.first(at(1, 11)).first(at(1, 8));
    const std::vector<Case> cases = {
        {"nothing new", nothingNew, 0, 0, {}},
        {"records 3 to 5", threeNew, 3, 0, {QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")}},
        {"an equal time counts as old", equalIsOld, 1, 0, {QStringLiteral("2")}},
        {"interleaved blocks lose nothing", interleaved, 0, 1, {QStringLiteral("3")}},
        {"older records after a newer one", olderAfterNewer, 2, 0, {QStringLiteral("1"), QStringLiteral("2")}},
    };
    for (const auto& c : cases) {
        m_table.close();
        DbfTable::create(tablePath());
        m_table.open(tablePath());
        decodeImage(stored, decode::DecodeMode::Create);
        const auto before = rows().size();
        const auto result = decodeImage(c.image, decode::DecodeMode::Append);
        EXPECT_EQ(result.addedFirstBlock, c.first) << c.what;
        EXPECT_EQ(result.addedSecondBlock, c.second) << c.what;
        EXPECT_EQ(result.messages, (QStringList{QStringLiteral("Добавлено записей: %1").arg(c.first),
                                                QStringLiteral("Добавлено записей в \"ОРНАК\": %1").arg(c.second)}))
            << c.what;
        const auto all = rows();
        ASSERT_EQ(all.size(), before + c.newNumbers.size()) << c.what;
        for (std::size_t i = 0; i < c.newNumbers.size(); ++i)
            EXPECT_EQ(all[before + i].at(Field::N), c.newNumbers[i] + QStringLiteral(".000000000")) << c.what;
    }
}

TEST_F(RecordDecoder, RecordsBeyondTheBytesReceivedAreNotDecoded)
{
    ImageBuilder b;
    b.first(at(1, 8)).first(at(1, 9)).second(at(1, 10));
    std::vector<std::uint8_t> bytes = b.bytes();
    // Claim ten first-block records: the second block's count then lies beyond the image.
    transfer::DeviceImage image;
    image.assign(bytes);
    const auto result = decodeInto(transferOf(image, 10, 1500), decode::DecodeMode::Create);
    // 136 bytes of memory hold three whole records' worth after the first header; the counts promise ten.
    EXPECT_EQ(result.addedFirstBlock, 3) << "only the records wholly received";
    EXPECT_EQ(result.addedSecondBlock, 0);

    // Stale bytes past the received size are not memory either.
    transfer::DeviceImage stale;
    std::vector<std::uint8_t> big(4000, 0x11);
    stale.assign(big);
    stale.assign(bytes);
    m_table.close();
    DbfTable::create(tablePath());
    m_table.open(tablePath());
    const auto again = decodeInto(transferOf(stale, 2, 1500), decode::DecodeMode::Create);
    EXPECT_EQ(again.addedFirstBlock + again.addedSecondBlock, 3);
}

TEST_F(RecordDecoder, DecodingIsAFunctionOfTheTransferAlone)
{
    ImageBuilder b;
    b.first(at(1, 8)).first(at(1, 9)).second(at(2, 10));
    b.buildInto(m_image);
    const transfer::Transfer received = transferOf(m_image, b.firstCount(), 1500);
    const decode::MemoryLayout layout = decode::layoutOf(received);
    ASSERT_EQ(layout.first.count, 2u);
    ASSERT_EQ(layout.second.count, 1u);
    const auto rows = decode::decodeRecords(received, layout.first, 1, 5);
    ASSERT_EQ(rows.size(), 1u) << "cut to the block's records";
    EXPECT_EQ(rows[0].number, 2.0);
    EXPECT_EQ(rows[0].dependence, QStringLiteral("Базовая"));
    EXPECT_EQ(decode::decodeRecords(received, layout.second, 0, 5)[0].dependence, QStringLiteral("Индивидуальная"));
    EXPECT_EQ(decode::recordStamp(received, layout.first, 0) < decode::recordStamp(received, layout.first, 1), true);
    EXPECT_EQ(m_table.view().size(), 0) << "no table was touched";
}

TEST_F(RecordDecoder, AnAppendCountsItsNewRecordsAndHandsOnTheRowsInSteps)
{
    ImageBuilder b;
    b.first(at(1, 8)).first(at(1, 9)).second(at(2, 10));
    b.buildInto(m_image);
    const transfer::Transfer received = transferOf(m_image, b.firstCount(), 1500);
    // The first block's newest stored record is of 1.3. 8:00; the second block has none stored.
    const decode::StoredStamps stored{decode::recordStamp(received, decode::layoutOf(received).first, 0), 0};
    EXPECT_EQ(decode::newRecordCount(received, stored), 2);
    std::vector<std::size_t> steps;
    const auto result = decode::flash2klivo(received, decode::DecodeMode::Append, stored,
                                            [&](std::span<const table::NewRow> rows) { steps.push_back(rows.size()); });
    EXPECT_EQ(result.addedFirstBlock, 1);
    EXPECT_EQ(result.addedSecondBlock, 1);
    EXPECT_EQ(steps, (std::vector<std::size_t>{1, 1})) << "each block's rows in a step of their own";
}

} // namespace

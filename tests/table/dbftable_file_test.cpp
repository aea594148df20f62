// What the table layer writes into a table file: the fresh file, appended rows, values, updates.
#include "support/tablefixture.h"
#include "support/tablerows.h"
#include "table/cp1251.h"
#include "table/dbftable.h"
#include "table/tableerror.h"

#include <QDate>

using namespace darni::table;
using darni::testing::appendNumbered;
using darni::testing::appendRow;
using darni::testing::readAll;

namespace {

constexpr int kHeaderLength = 1217;
constexpr int kRecordLength = 1086;

class DbfTableFile : public darni::testing::TableFixture
{
protected:
    QByteArray recordBytes(const QByteArray& file, int slot) const
    {
        return file.mid(kHeaderLength + (slot - 1) * kRecordLength, kRecordLength);
    }
    QByteArray storedField(const QByteArray& record, int position, int width) const
    {
        return record.mid(position, width);
    }
};

TEST_F(DbfTableFile, AFreshTableIsHeaderDescriptorsTerminatorAndEndOfFile)
{
    DbfTable::create(tablePath());
    const QByteArray b = readAll(tablePath());
    ASSERT_EQ(b.size(), 1218);
    EXPECT_EQ(static_cast<std::uint8_t>(b[0]), 0x03);
    const QDate today = QDate::currentDate();
    EXPECT_EQ(static_cast<std::uint8_t>(b[1]), today.year() - 1900);
    EXPECT_EQ(b[2], today.month());
    EXPECT_EQ(b[3], today.day());
    EXPECT_EQ(le32(b, 4), 0u);
    EXPECT_EQ(le16(b, 8), kHeaderLength);
    EXPECT_EQ(le16(b, 10), kRecordLength);
    EXPECT_EQ(b.mid(12, 16), QByteArray(16, '\0'));
    EXPECT_EQ(b[28], 0);
    EXPECT_EQ(static_cast<std::uint8_t>(b[29]), 0xC9);
    EXPECT_EQ(b.mid(30, 2), QByteArray(2, '\0'));
    EXPECT_EQ(b[1216], '\x0D');
    EXPECT_EQ(b[1217], '\x1A');

    // Descriptors: zero-filled name, type, zero, width, decimals, zero.
    const QByteArray first = b.mid(32, 32);
    EXPECT_EQ(first.left(11), QByteArray("N\0\0\0\0\0\0\0\0\0\0", 11));
    EXPECT_EQ(first[11], 'N');
    EXPECT_EQ(first.mid(12, 4), QByteArray(4, '\0'));
    EXPECT_EQ(first[16], 18);
    EXPECT_EQ(first[17], 9);
    EXPECT_EQ(first.mid(18), QByteArray(14, '\0'));
    const QByteArray comment = b.mid(32 + 9 * 32, 32);
    EXPECT_EQ(comment.left(11), QByteArray("COMMENT\0\0\0\0", 11));
    EXPECT_EQ(comment[11], 'C');
    EXPECT_EQ(comment[16], 100);
    EXPECT_EQ(comment[17], 0);
    const QByteArray p3 = b.mid(32 + 30 * 32, 32);
    EXPECT_EQ(p3.left(3), QByteArray("P3\0", 3));
    EXPECT_EQ(static_cast<std::uint8_t>(p3[16]), 250);
    const QByteArray nbType = b.mid(32 + 5 * 32, 32);
    EXPECT_EQ(nbType[16], 4);
    EXPECT_EQ(nbType[17], 0);
}

TEST_F(DbfTableFile, CreateReplacesAnExistingFileAndFailsWhereNothingCanBeWritten)
{
    darni::testing::writeAll(tablePath(), QByteArray(5000, 'x'));
    DbfTable::create(tablePath());
    EXPECT_EQ(readAll(tablePath()).size(), 1218);

    const QString nowhere = pathOf(QStringLiteral("no/such/dir/t.db"));
    try {
        DbfTable::create(nowhere);
        FAIL() << "created in a missing folder";
    } catch (const TableError& e) {
        EXPECT_EQ(e.cause(), TableError::Cause::NotFound);
        EXPECT_FALSE(e.message().isEmpty());
    }
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST_F(DbfTableFile, AppendedRowsGrowTheFileAndTheHeaderCount)
{
    DbfTable::create(tablePath());
    {
        DbfTable t;
        t.open(tablePath());
        appendNumbered(t, 1, 3);
        t.close();
    }
    const QByteArray b = readAll(tablePath());
    EXPECT_EQ(b.size(), 1217 + 3 * 1086 + 1);
    EXPECT_EQ(le32(b, 4), 3u);
    EXPECT_EQ(b.back(), '\x1A');
    EXPECT_EQ(storedField(recordBytes(b, 3), 1, 18), QByteArray("       3.000000000"));
}

TEST_F(DbfTableFile, AppendedRowsCountOnlyOnceTheHeaderTakesThemIn)
{
    constexpr int kEnd = 1217 + 2 * 1086; // where the end mark of two rows stands
    // More rows than the store keeps in memory at once: some of them go to the file before the count.
    constexpr int kRows = 1002;
    const auto setCount = [](QByteArray& file, std::uint32_t count) {
        for (int i = 0; i < 4; ++i)
            file[4 + i] = static_cast<char>(count >> (8 * i) & 0xFF);
    };
    DbfTable::create(tablePath());
    DbfTable t;
    t.open(tablePath());
    appendNumbered(t, 1, 2);
    t.flush();

    // Written but not committed: the rows are in the file, the count and the end mark are not moved,
    // so neither this layer's readers nor those that stop at the end mark take them.
    appendNumbered(t, 3, kRows);
    QByteArray b = readAll(tablePath());
    EXPECT_GT(b.size(), 1217 + 5 * 1086 + 1);
    EXPECT_EQ(le32(b, 4), 2u);
    EXPECT_EQ(b[kEnd], '\x1A');
    EXPECT_EQ(storedField(recordBytes(b, 4), 1, 18), QByteArray("       4.000000000"));
    EXPECT_EQ(t.view().size(), kRows) << "the writer itself sees its rows";
    {
        DbfTable reader;
        reader.open(tablePath(), DbfTable::Access::ReadOnly);
        EXPECT_EQ(reader.view().size(), 2);
    }

    t.flush();
    b = readAll(tablePath());
    EXPECT_EQ(le32(b, 4), static_cast<std::uint32_t>(kRows));
    EXPECT_EQ(b[kEnd], ' ');
    t.close();

    // An append that a crash broke off before its count stays invisible to the next writer, whose
    // own rows then take its place.
    QByteArray crashed = b;
    setCount(crashed, 3); // the count before the rest of the rows
    crashed[1217 + 3 * 1086] = '\x1A';
    darni::testing::writeAll(tablePath(), crashed);
    t.open(tablePath());
    EXPECT_EQ(t.view().size(), 3);
    t.close();
    EXPECT_EQ(readAll(tablePath()), crashed) << "a writer that wrote nothing changed the file";
    t.open(tablePath());
    appendNumbered(t, 7, 7);
    t.close();
    b = readAll(tablePath());
    EXPECT_EQ(le32(b, 4), 4u);
    EXPECT_EQ(b.size(), crashed.size());
    EXPECT_EQ(b[1217 + 4 * 1086], '\x1A');
    EXPECT_EQ(storedField(recordBytes(b, 4), 1, 18), QByteArray("       7.000000000"));
}

TEST_F(DbfTableFile, ARowWithOnlyNumberDateAndTimeIsBlankElsewhere)
{
    DbfTable::create(tablePath());
    DbfTable t;
    t.open(tablePath());
    appendRow(t, NewRow().setReal(Field::N, 1).setText(Field::DATE, "05.03.2024").setText(Field::TIME, "09:07:02"));
    t.close();

    const QByteArray r = recordBytes(readAll(tablePath()), 1);
    const QByteArray expected = QByteArray(" ") + "       1.000000000" + "05.03.2024" + "09:07:02";
    EXPECT_EQ(r.left(37), expected);
    EXPECT_EQ(r.mid(37), QByteArray(kRecordLength - 37, ' '));

    t.open(tablePath());
    const RecordView rows = t.view();
    ASSERT_EQ(rows.size(), 1);
    for (const auto& entry : kMeasurementFields) {
        const bool set = entry.field == Field::N || entry.field == Field::DATE || entry.field == Field::TIME;
        EXPECT_EQ(rows.isNull(0, entry.field), !set) << entry.name;
    }
    EXPECT_EQ(rows.text(0, Field::COMMENT), QByteArray());
    EXPECT_EQ(rows.real(0, Field::P), 0.0);
    EXPECT_EQ(rows.number(0, Field::P), std::nullopt);
    EXPECT_EQ(t.view(RowFilter::recordKind(0)).size(), 1) << "a blank kind is ultrasonic";
}

TEST_F(DbfTableFile, ValuesAreStoredAtTheirPositionsInTheirEncoding)
{
    struct Case
    {
        Field field;
        int position;
        int width;
        QByteArray stored;
    };
    DbfTable::create(tablePath());
    DbfTable t;
    t.open(tablePath());
    appendRow(t, NewRow()
                     .setReal(Field::P, 0.5)
                     .setReal(Field::R, 12.5)
                     .setInteger(Field::NB_TYPE, 1)
                     .setInteger(Field::D9, 4321)
                     .setReal(Field::D10, 7.9) // a whole-number field keeps the whole part
                     .setText(Field::ZAV, cp1251::fromUnicode(QStringLiteral("Cквозное")).toStdString())
                     .setText(Field::COMMENT, std::string(130, 'c'))
                     .setReal(Field::P10, 12345678.5));
    t.close();

    const Case cases[] = {
        {Field::P, 63, 18, "       0.500000000"},
        {Field::R, 81, 18, "      12.500000000"},
        {Field::NB_TYPE, 59, 4, "   1"},
        {Field::D9, 358, 9, "     4321"},
        {Field::D10, 367, 9, "        7"},
        {Field::ZAV, 1048, 20, QByteArray("C\xEA\xE2\xEE\xE7\xED\xEE\xE5") + QByteArray(12, ' ')},
        {Field::COMMENT, 114, 100, QByteArray(100, 'c')},
        {Field::P10, 1068, 18, "12345678.500000000"},
        {Field::DEV_TYPE, 37, 4, "    "},
    };
    const QByteArray r = recordBytes(readAll(tablePath()), 1);
    for (const auto& c : cases)
        EXPECT_EQ(r.mid(c.position, c.width), c.stored) << fieldSpec(c.field).name;
}

TEST_F(DbfTableFile, AValueThatDoesNotFitIsRefusedAndNothingIsWritten)
{
    DbfTable::create(tablePath());
    DbfTable t;
    t.open(tablePath());
    appendRow(t, NewRow().setReal(Field::P, 1.5));
    const struct
    {
        Field field;
        double value;
    } cases[] = {{Field::P, 123456789.0}, {Field::NB_TYPE, 12345}, {Field::D9, 1e10}};
    for (const auto& c : cases) {
        for (const bool appending : {true, false}) {
            try {
                if (appending)
                    appendRow(t, NewRow().setReal(c.field, c.value));
                else
                    t.setField(1, c.field, FieldValue::real(c.value));
                ADD_FAILURE() << "accepted " << c.value;
            } catch (const TableError& e) {
                EXPECT_EQ(e.cause(), TableError::Cause::ValueTooWide);
            }
        }
    }
    const RecordView rows = t.view();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.real(0, Field::P), 1.5);
    EXPECT_TRUE(rows.isNull(0, Field::NB_TYPE));
}

TEST_F(DbfTableFile, ASetFieldRewritesTheRowInPlaceWithoutTouchingTheHeader)
{
    DbfTable::create(tablePath());
    DbfTable t;
    t.open(tablePath());
    appendNumbered(t, 1, 2);
    t.flush();
    const QByteArray before = readAll(tablePath());

    t.setField(1, Field::COMMENT, FieldValue::text("note"));
    const QByteArray after = readAll(tablePath());
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.left(32), before.left(32));
    EXPECT_EQ(after.mid(kHeaderLength + 114, 4), QByteArray("note"));
    EXPECT_EQ(after.mid(kHeaderLength + kRecordLength), before.mid(kHeaderLength + kRecordLength));
}

TEST_F(DbfTableFile, FieldsAreReachedByNameWithoutRegardToCase)
{
    EXPECT_EQ(DbfTable::fieldNamed("comment"), Field::COMMENT);
    EXPECT_EQ(DbfTable::fieldNamed("Zav"), Field::ZAV);
    EXPECT_THROW(DbfTable::fieldNamed("NOPE"), TableError);
}

} // namespace

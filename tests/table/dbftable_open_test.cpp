// Opening table files: binding fields by name, type rules, header count corrections, refusals, locking.
#include "support/tablefixture.h"
#include "support/tablerows.h"
#include "table/dbftable.h"
#include "table/tableerror.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <functional>

using namespace darni::table;
using darni::testing::appendNumbered;
using darni::testing::DbfFileBuilder;
using darni::testing::ForeignField;
using darni::testing::measurementFields;
using darni::testing::readAll;

namespace {

using Fields = std::vector<ForeignField>;

Fields replaced(Fields fields, const std::string& name, ForeignField by)
{
    for (auto& f : fields) {
        if (f.name == name)
            f = by;
    }
    return fields;
}

Fields without(Fields fields, const std::string& name)
{
    std::erase_if(fields, [&](const ForeignField& f) { return f.name == name; });
    return fields;
}

class DbfTableOpen : public darni::testing::TableFixture
{
protected:
    TableError::Cause openFailure(const QString& path)
    {
        DbfTable t;
        try {
            t.open(path);
        } catch (const TableError& e) {
            EXPECT_FALSE(t.isOpen());
            EXPECT_FALSE(e.message().isEmpty());
            return e.cause();
        }
        ADD_FAILURE() << "opened " << path.toStdString();
        return TableError::Cause::Io;
    }
};

TEST_F(DbfTableOpen, RowsInTheFileAreRowsAndOnlyAWriteCorrectsTheCount)
{
    constexpr int kHeader = 1217;
    constexpr int kRecord = 1086;
    struct Case
    {
        const char* what;
        std::uint32_t headerCount;
        int slots;
        QByteArray tail; // what follows the last whole slot, in place of the end-of-file byte
        std::uint32_t expected;
        int endMarkInSlot = 0; // a slot whose flag is the end mark, as our uncommitted append leaves it
    } const cases[] = {
        {"header says more", 10, 8, "\x1A", 8},
        {"header equal", 5, 5, "\x1A", 5},
        // Another dBase program that stopped before updating its header leaves exactly this.
        {"header says fewer", 3, 5, "\x1A", 5},
        {"our append that never committed", 3, 5, "\x1A", 3, 4},
        {"an incomplete last slot", 8, 8, QByteArray(500, ' '), 8},
        {"zero bytes after the end mark", 2, 2, "\x1A" + QByteArray(2300, '\0'), 2},
        {"zero bytes past a low count", 1, 2, "\x1A" + QByteArray(2300, '\0'), 2},
        {"no end-of-file byte", 2, 2, "", 2},
        {"an empty table without end-of-file", 1, 0, "", 0},
    };
    for (const auto& c : cases) {
        DbfFileBuilder builder(measurementFields());
        for (int i = 1; i <= c.slots; ++i)
            builder.record({{"N", std::to_string(i) + ".000000000"}});
        builder.headerRecordCount(c.headerCount);
        QByteArray bytes = builder.bytes();
        bytes.chop(1);
        bytes += c.tail;
        if (c.endMarkInSlot > 0)
            bytes[kHeader + (c.endMarkInSlot - 1) * kRecord] = '\x1A';
        darni::testing::writeAll(tablePath(), bytes);

        for (const auto access : {DbfTable::Access::ReadOnly, DbfTable::Access::ReadWrite}) {
            DbfTable t;
            t.open(tablePath(), access);
            EXPECT_EQ(t.slotCount(), c.expected) << c.what;
            EXPECT_EQ(t.view().size(), static_cast<int>(c.expected)) << c.what;
            t.close();
            EXPECT_EQ(readAll(tablePath()), bytes) << c.what << ": an opening that writes nothing changed the file";
        }

        // The first write takes the count into the header; no byte past the rows is cut off.
        DbfTable t;
        t.open(tablePath());
        appendNumbered(t, 99, 99);
        t.close();
        const QByteArray after = readAll(tablePath());
        EXPECT_EQ(le32(after, 4), c.expected + 1) << c.what;
        const qint64 rowsEnd = kHeader + static_cast<qint64>(c.expected) * kRecord;
        EXPECT_EQ(after.mid(32, rowsEnd - 32), bytes.mid(32, rowsEnd - 32)) << c.what << ": the rows changed";
        EXPECT_EQ(after[rowsEnd + kRecord], '\x1A') << c.what;
        EXPECT_GE(after.size(), std::max<qint64>(bytes.size(), rowsEnd + kRecord + 1)) << c.what;
        t.open(tablePath(), DbfTable::Access::ReadOnly);
        EXPECT_EQ(t.view().size(), static_cast<int>(c.expected) + 1) << c.what;
    }
}

TEST_F(DbfTableOpen, FilesThatCannotCarryTheMeasurementRecordAreRefusedUntouched)
{
    using Cause = TableError::Cause;
    const auto built = [](Fields f) { return DbfFileBuilder(std::move(f)).record({{"N", "1"}}).bytes(); };
    const auto patched = [](QByteArray b, int at, char value) {
        b[at] = value;
        return b;
    };
    const QByteArray good = built(measurementFields());

    struct Case
    {
        const char* what;
        QByteArray bytes;
        Cause cause;
    } const cases[] = {
        {"an empty file", QByteArray(), Cause::NotATable},
        {"a short file", good.left(20), Cause::NotATable},
        {"an unknown version", patched(good, 0, 0x00), Cause::NotATable},
        {"version 7", patched(good, 0, 0x07), Cause::NotATable},
        {"no COMMENT", built(without(measurementFields(), "COMMENT")), Cause::MissingField},
        {"P as text", built(replaced(measurementFields(), "P", {"P", 'C', 18})), Cause::IncompatibleField},
        {"P without decimals", built(replaced(measurementFields(), "P", {"P", 'N', 18, 0})), Cause::IncompatibleField},
        {"NB_TYPE with decimals", built(replaced(measurementFields(), "NB_TYPE", {"NB_TYPE", 'N', 4, 1})),
         Cause::IncompatibleField},
        {"D9 ten wide", built(replaced(measurementFields(), "D9", {"D9", 'N', 10})), Cause::IncompatibleField},
        {"COMMENT as number", built(replaced(measurementFields(), "COMMENT", {"COMMENT", 'N', 100})),
         Cause::IncompatibleField},
        {"DATE as date", built(replaced(measurementFields(), "DATE", {"DATE", 'D', 8})), Cause::IncompatibleField},
        {"an unknown type letter", patched(good, 32 + 11, 'Z'), Cause::NotATable},
        {"an empty field name", patched(good, 32, '\0'), Cause::NotATable},
        {"a header length that hides fields", patched(good, 9, 0x02), Cause::NotATable},
        {"a header length past the descriptors", patched(patched(good, 8, '\xFF'), 9, '\xFF'), Cause::NotATable},
        {"a header length one record further", patched(good, 9, 0x04 + 0x04), Cause::NotATable},
        {"a record length shorter than the fields", patched(good, 11, 0x01), Cause::NotATable},
        {"a record length longer than the fields", patched(good, 10, 0x40), Cause::NotATable},
        {"descriptors cut short", good.left(600), Cause::NotATable},
    };
    for (const auto& c : cases) {
        darni::testing::writeAll(tablePath(), c.bytes);
        EXPECT_EQ(openFailure(tablePath()), c.cause) << c.what;
        EXPECT_EQ(readAll(tablePath()), c.bytes) << c.what;
    }
}

TEST_F(DbfTableOpen, FilesThatCannotBeWrittenAreRefusedByCauseAndStillRead)
{
    EXPECT_EQ(openFailure(pathOf(QStringLiteral("none.db"))), TableError::Cause::NotFound);
    EXPECT_EQ(openFailure(m_dir.path()), TableError::Cause::NotAFile);

    DbfTable::create(tablePath());
    {
        DbfTable holder;
        holder.open(tablePath());
        EXPECT_EQ(openFailure(tablePath()), TableError::Cause::Locked);
        EXPECT_THROW(DbfTable::checkReplaceable(tablePath()), TableError);
        DbfTable reader;
        reader.open(tablePath(), DbfTable::Access::ReadOnly);
        EXPECT_FALSE(reader.isWritable());
        EXPECT_THROW(appendNumbered(reader, 1, 1), TableError);
    }

    QFile::setPermissions(tablePath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    EXPECT_EQ(openFailure(tablePath()), TableError::Cause::ReadOnly);
    try {
        DbfTable::create(tablePath());
        ADD_FAILURE() << "a read-only table was replaced";
    } catch (const TableError& e) {
        EXPECT_EQ(e.cause(), TableError::Cause::ReadOnly);
    }
    EXPECT_EQ(QFile::permissions(tablePath()) & QFileDevice::WriteOwner, 0);
    DbfTable reader;
    reader.open(tablePath(), DbfTable::Access::ReadOnly);
    EXPECT_EQ(reader.view().size(), 0);
}

TEST_F(DbfTableOpen, FieldsAreBoundByNameInAnyOrderAndExtraFieldsAreSkipped)
{
    // Written as another program would: reversed order, lower-case names, "F" numbers, other widths,
    // and extra fields of types the program never writes, one of them a FoxPro text wider than 255.
    Fields fields = measurementFields();
    std::reverse(fields.begin(), fields.end());
    for (auto& f : fields) {
        if (f.name == "P" || f.name == "R")
            f.type = 'F';
        if (f.name == "ZAV")
            f.name = "zav";
    }
    fields = replaced(fields, "DEV_TYPE", {"Dev_Type", 'N', 9});
    fields = replaced(fields, "D9", {"D9", 'N', 4});
    fields = replaced(fields, "P2", {"P2", 'N', 12, 2});
    fields.insert(fields.begin() + 3, {"FLAG", 'L', 1});
    fields.insert(fields.begin() + 10, {"WHEN", 'D', 8});
    fields.insert(fields.begin() + 20, {"NOTES", 'C', 300});
    fields.push_back({"MEMO", 'M', 10});

    DbfFileBuilder builder(fields);
    builder.version(0x83)
        .record({{"N", "1"},
                 {"P", "12.25"},
                 {"R", "150.5"},
                 {"zav", "Zero"},
                 {"Dev_Type", "13"},
                 {"D9", "4321"},
                 {"P2", "31.50"},
                 {"FLAG", "T"},
                 {"NOTES", std::string(300, 'n')},
                 {"COMMENT", "first"},
                 {"NB_TYPE", "1"}})
        .record({{"N", "2"}, {"WHEN", "20240517"}, {"MEMO", "0000000001"}}, true)
        .record({{"N", "3"}, {"COMMENT", "third"}});
    builder.writeTo(tablePath());

    DbfTable t;
    t.open(tablePath());
    const RecordView rows = t.view();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.real(0, Field::N), 1.0);
    EXPECT_EQ(rows.real(0, Field::P), 12.25);
    EXPECT_EQ(rows.real(0, Field::R), 150.5);
    EXPECT_EQ(rows.text(0, Field::ZAV), QByteArray("Zero"));
    EXPECT_EQ(rows.integer(0, Field::DEV_TYPE), 13);
    EXPECT_EQ(rows.integer(0, Field::D9), 4321);
    EXPECT_EQ(rows.real(0, Field::P2), 31.5);
    EXPECT_EQ(rows.text(0, Field::COMMENT), QByteArray("first"));
    EXPECT_EQ(rows.integer(0, Field::NB_TYPE), 1);
    EXPECT_EQ(rows.real(1, Field::N), 3.0);
    EXPECT_EQ(rows.text(1, Field::COMMENT), QByteArray("third"));

    // Writing keeps the foreign layout: the extra field's bytes stay where they were.
    t.setField(rows.slotAt(0), Field::P, FieldValue::real(2.5));
    t.close();
    t.open(tablePath());
    EXPECT_EQ(t.view().real(0, Field::P), 2.5);
    t.close();
    EXPECT_TRUE(readAll(tablePath()).contains(QByteArray(300, 'n')));
}

TEST_F(DbfTableOpen, AProductionIndexFlagWithoutItsIndexFileCountsAsClear)
{
    DbfFileBuilder(measurementFields()).productionIndexFlag(1).writeTo(tablePath());
    DbfTable t;
    t.open(tablePath());
    EXPECT_FALSE(t.header().hasProductionIndex());
    EXPECT_EQ(readAll(tablePath())[28], 1) << "opening alone writes nothing";
    appendNumbered(t, 1, 1);
    t.close();
    EXPECT_EQ(readAll(tablePath())[28], 0) << "the next header write stores the flag as found";

    // An index file that is not one counts as absent too.
    DbfFileBuilder(measurementFields()).productionIndexFlag(1).writeTo(tablePath());
    darni::testing::writeAll(pathOf(QStringLiteral("t.mdx")), QByteArray(2048, '\0'));
    t.open(tablePath());
    EXPECT_FALSE(t.header().hasProductionIndex());
}

TEST_F(DbfTableOpen, AnOpenTableCanBeReadButNotOpenedForWritingElsewhere)
{
    DbfTable::create(tablePath());
    DbfTable holder;
    holder.open(tablePath());

    EXPECT_EQ(openFailure(tablePath()), TableError::Cause::Locked);

    QFile reader(tablePath());
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    EXPECT_EQ(reader.read(1).at(0), '\x03');

    const QString flock = QStandardPaths::findExecutable(QStringLiteral("flock"));
    if (!flock.isEmpty()) {
        const auto otherProcessLocks = [&] {
            return QProcess::execute(flock, {QStringLiteral("--nonblock"), QStringLiteral("--exclusive"), tablePath(),
                                             QStringLiteral("true")});
        };
        EXPECT_NE(otherProcessLocks(), 0);
        holder.close();
        EXPECT_EQ(otherProcessLocks(), 0);
    }
    holder.close();
    DbfTable again;
    again.open(tablePath());
    EXPECT_TRUE(again.isOpen());
}

} // namespace

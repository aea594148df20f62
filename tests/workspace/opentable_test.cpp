// The open table's state in the workspace across open, save, close and the rewrites, and the page it
// shows.
#include "support/dbffilebuilder.h"
#include "support/imagebuilder.h"
#include "support/tablefixture.h"
#include "support/tablerows.h"
#include "table/cp1251.h"
#include "table/dbftable.h"
#include "transfer/transfer.h"
#include "workspace/workspace.h"

#include <QDir>
#include <QFileInfo>

using namespace darni;
using darni::testing::DbfFileBuilder;
using darni::testing::measurementFields;
using darni::testing::readAll;
using table::Field;
using workspace::Workspace;

namespace {

using Rows = std::vector<std::string>;

class OpenTable : public darni::testing::TableFixture
{
protected:
    // Rows with these kinds (−1 for blank) and device types.
    void makeTable(const std::vector<std::pair<int, int>>& kindsAndDevices)
    {
        DbfFileBuilder b(measurementFields());
        int n = 0;
        for (const auto& [kind, device] : kindsAndDevices) {
            std::map<std::string, std::string> values = {{"N", std::to_string(++n)}, {"P", std::to_string(n)}};
            if (kind >= 0)
                values["NB_TYPE"] = std::to_string(kind);
            if (device >= 0)
                values["DEV_TYPE"] = std::to_string(device);
            b.record(values);
        }
        b.writeTo(tablePath());
    }
    // The rows of the page in view, in its order, as "N:P" texts.
    Rows shownRows()
    {
        const table::RecordView rows = w.pageRows();
        Rows out;
        for (int row = 0; row < rows.size(); ++row)
            out.push_back(std::to_string(rows.integer(row, Field::N)) + ":" +
                          QString::number(rows.real(row, Field::P)).toStdString());
        return out;
    }
    Workspace w;
};

TEST_F(OpenTable, ThePageFollowsTheRowsKinds)
{
    struct Case
    {
        const char* what;
        std::vector<std::pair<int, int>> rows;
        Workspace::Page page;
        int shown;
    } const cases[] = {
        {"blank kinds", {{-1, -1}, {-1, -1}}, Workspace::Page::Ultrasonic, 2},
        {"one pull-off row among many", {{-1, -1}, {0, -1}, {1, 13}, {-1, -1}}, Workspace::Page::PullOff, 1},
        {"other kinds are on no page", {{5, -1}, {0, -1}}, Workspace::Page::Ultrasonic, 1},
        {"empty", {}, Workspace::Page::Ultrasonic, 0},
    };
    for (const auto& c : cases) {
        makeTable(c.rows);
        ASSERT_TRUE(w.open(tablePath())) << c.what;
        EXPECT_EQ(w.page(), c.page) << c.what;
        EXPECT_EQ(w.pageRows().size(), c.shown) << c.what;
        w.close(false);
    }
    EXPECT_FALSE(w.page()) << "no table, no page";
    EXPECT_EQ(w.pageRows().size(), 0);
}

TEST_F(OpenTable, FilesThatAreNotTablesFailToOpenAndCloseTheTableOpenBefore)
{
    makeTable({{0, -1}});
    ASSERT_TRUE(w.open(tablePath()));
    darni::testing::writeAll(pathOf(QStringLiteral("bad.db")), "not a table");
    EXPECT_FALSE(w.open(pathOf(QStringLiteral("bad.db"))));
    EXPECT_FALSE(w.isOpen()) << "the table open before has been closed";
    EXPECT_EQ(w.openFailure(), QStringLiteral("База данных повреждена !"));
    EXPECT_EQ(Workspace::openFailureCaption(), QStringLiteral("Ошибка"));
    EXPECT_FALSE(w.open(pathOf(QStringLiteral("missing.db"))));
    EXPECT_FALSE(w.openFailure().isEmpty());
}

TEST_F(OpenTable, SaveKeepsTheOrderAndClosingTakesTheIndexFile)
{
    makeTable({{0, -1}, {0, -1}, {1, -1}, {0, -1}, {1, -1}});
    ASSERT_TRUE(w.open(tablePath()));
    ASSERT_EQ(w.page(), Workspace::Page::PullOff);
    w.sortBy(Workspace::Page::PullOff, Field::P, true);
    ASSERT_EQ(w.beginEditing(), std::nullopt);
    EXPECT_EQ(w.editField(w.pageRows().slotAt(0), Field::COMMENT, QStringLiteral("сохранено")), std::nullopt);
    EXPECT_TRUE(w.isModified());
    w.save();
    EXPECT_FALSE(w.isModified());
    EXPECT_TRUE(w.sortMark(Workspace::Page::PullOff)) << "the order outlives saving";
    EXPECT_EQ(shownRows(), (Rows{"5:5", "3:3"}));
    EXPECT_EQ(w.pageRows().text(0, Field::COMMENT), table::cp1251::fromUnicode(QStringLiteral("сохранено")));
    EXPECT_TRUE(QFile::exists(pathOf(QStringLiteral("t.mdx"))));

    w.close(false);
    EXPECT_FALSE(w.isOpen());
    EXPECT_FALSE(QFile::exists(pathOf(QStringLiteral("t.mdx")))) << "the order lives while the table is open";
    EXPECT_EQ(readAll(tablePath())[28], 1) << "the production index flag stays set on disk";
    ASSERT_TRUE(w.open(tablePath()));
    EXPECT_EQ(shownRows(), (Rows{"3:3", "5:5"})) << "file order: no index file, no tag";
}

TEST_F(OpenTable, DeletingFindsTheRowsByIdentityNotByValue)
{
    DbfFileBuilder b(measurementFields());
    for (const char* n : {"1", "2", "3", "4"})
        b.record({{"N", n}, {"P", "7.5"}, {"R", "30"}, {"NB_TYPE", "0"}});
    b.writeTo(tablePath());
    ASSERT_TRUE(w.open(tablePath()));
    ASSERT_EQ(w.beginEditing(), std::nullopt);
    w.deleteRows({2, 4, 2}); // equal rows; the same one named twice
    EXPECT_EQ(shownRows(), (Rows{"1:7.5", "3:7.5"}));
    EXPECT_FALSE(w.isModified()) << "the file holds everything";
    w.close(false);
    EXPECT_EQ(readAll(tablePath()).size(), 1217 + 2 * 1086 + 1) << "gone from the file for good";
}

TEST_F(OpenTable, RenumberingNumbersThePageInItsOrderAndLeavesOtherKinds)
{
    DbfFileBuilder b(measurementFields());
    const std::pair<const char*, const char*> rows[] = {{"1", "0"}, {"5", "1"}, {"9", "1"}, {"2", "0"}, {"7", "1"}};
    for (const auto& [n, kind] : rows)
        b.record({{"N", n}, {"NB_TYPE", kind}, {"P", n}});
    b.writeTo(tablePath());
    ASSERT_TRUE(w.open(tablePath()));
    ASSERT_EQ(w.page(), Workspace::Page::PullOff);

    // Sorted by the number itself, descending: each row still gets exactly one number.
    w.sortBy(Workspace::Page::PullOff, Field::N, true);
    w.renumber();
    EXPECT_TRUE(w.sortMark(Workspace::Page::PullOff)) << "the order is kept";
    EXPECT_EQ(shownRows(), (Rows{"3:5", "2:7", "1:9"}));
    w.close(false);

    table::DbfTable t;
    t.open(tablePath(), table::DbfTable::Access::ReadOnly);
    EXPECT_EQ(darni::testing::numbersOf(t.view()), (std::vector<int>{1, 3, 1, 2, 2}));
}

// A transfer that a table cannot take whole is taken not at all: rows added before the one refused are
// not counted by the next save.
TEST_F(OpenTable, AnAppendRefusedHalfwayLeavesTheTableAsItWas)
{
    // A table another program wrote, whose D9 holds three digits: a velocity of 4000 m/s does not fit.
    auto fields = measurementFields();
    for (auto& f : fields) {
        if (f.name == "D9")
            f.width = 3;
    }
    DbfFileBuilder b(fields);
    b.record({{"N", "1"},
              {"DATE", "01.03.2024"},
              {"TIME", "07:00:00"},
              {"NB_TYPE", "0"},
              {"P5", table::cp1251::fromUnicode(QStringLiteral("Базовая")).toStdString()}});
    b.writeTo(tablePath());
    const QByteArray before = readAll(tablePath());

    using darni::testing::TestRecord;
    TestRecord crack; // no velocity: it fits
    crack.flags = TestRecord::kCrack | TestRecord::typeCode(20);
    crack.valueA = 2019;
    crack.valueB = 3561;
    crack.series = {457};
    crack.time = {0, 0, 8};
    TestRecord through; // 150 mm in 37.5 µs: 4000 m/s
    through.flags = TestRecord::kThrough;
    through.valueA = 1500;
    through.valueB = 3750;
    through.time = {0, 0, 9};
    darni::testing::ImageBuilder image;
    image.first(crack).first(through);
    transfer::Transfer received;
    received.header.deviceType = transfer::DeviceHeader::kOrnakDeviceType;
    received.header.recordCountA = image.firstCount();
    received.header.surfaceBase = 1500;
    image.buildInto(received.image);

    ASSERT_TRUE(w.open(tablePath()));
    EXPECT_THROW(w.append(received, workspace::KeepTransfer::No), files::UserError);
    ASSERT_TRUE(w.isOpen());
    EXPECT_EQ(w.pageRows().size(), 1) << "the crack row taken before the refused one is gone too";
    w.save();
    w.close(false);
    EXPECT_EQ(readAll(tablePath()), before);
}

} // namespace

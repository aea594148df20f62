// The open table's state across create, open, save and close, and the choice of the page.
#include "support/tablefixture.h"
#include "table/tabledocument.h"
#include "table/tableerror.h"
#include "table/tableorder.h"

#include <QDir>
#include <QFileInfo>

using namespace darni::table;
using darni::testing::DbfFileBuilder;
using darni::testing::measurementFields;

namespace {

class TableDocumentTest : public darni::testing::TableFixture
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
    TableDocument doc;
};

TEST_F(TableDocumentTest, ThePageFollowsTheRowsKinds)
{
    struct Case
    {
        const char* what;
        std::vector<std::pair<int, int>> rows;
        TableDocument::Page page;
        int shown;
    } const cases[] = {
        {"blank kinds", {{-1, -1}, {-1, -1}}, TableDocument::Page::Ultrasonic, 2},
        {"one pull-off row among many", {{-1, -1}, {0, -1}, {1, 13}, {-1, -1}}, TableDocument::Page::PullOff, 1},
        {"other kinds are on no page", {{5, -1}, {0, -1}}, TableDocument::Page::Ultrasonic, 1},
        {"empty", {}, TableDocument::Page::Ultrasonic, 0},
    };
    for (const auto& c : cases) {
        makeTable(c.rows);
        ASSERT_TRUE(doc.open(tablePath())) << c.what;
        EXPECT_EQ(doc.choosePage(), c.page) << c.what;
        EXPECT_EQ(doc.table().count(), c.shown) << c.what;
        doc.close(false);
    }
    EXPECT_FALSE(doc.choosePage()) << "no table, no page";
}

TEST_F(TableDocumentTest, OpenTakesTheDeviceTypeOfTheFirstShownRow)
{
    makeTable({{1, 13}, {0, 7}});
    ASSERT_TRUE(doc.open(tablePath()));
    EXPECT_EQ(doc.deviceType(), 13);
    doc.table().setFilter(RowFilter::recordKind(0)); // the filter stays with the next open
    doc.close(false);
    ASSERT_TRUE(doc.open(tablePath()));
    EXPECT_EQ(doc.deviceType(), 7);
    EXPECT_TRUE(doc.isOpen());
    EXPECT_FALSE(doc.isModified());
}

TEST_F(TableDocumentTest, FilesThatAreNotTablesFailToOpen)
{
    darni::testing::writeAll(tablePath(), "not a table");
    makeTable({{0, -1}});
    ASSERT_TRUE(doc.open(tablePath()));
    darni::testing::writeAll(pathOf(QStringLiteral("bad.db")), "not a table");
    EXPECT_FALSE(doc.open(pathOf(QStringLiteral("bad.db"))));
    EXPECT_FALSE(doc.isOpen()) << "the table open before has been closed";
    EXPECT_FALSE(doc.open(pathOf(QStringLiteral("missing.db"))));
    EXPECT_EQ(TableDocument::damagedMessage(), QStringLiteral("База данных повреждена !"));
}

TEST_F(TableDocumentTest, SaveKeepsFilterAndSortTagAndStartsOnTheFirstRow)
{
    makeTable({{0, -1}, {0, -1}, {1, -1}, {0, -1}});
    ASSERT_TRUE(doc.open(tablePath()));
    doc.choosePage();
    DbfTable& t = doc.table();
    t.addTag(QStringLiteral("tab2"), "P", true);
    t.setActiveTag(QStringLiteral("tab2"));
    t.last();
    t.edit();
    t.setText(Field::COMMENT, "in progress");
    doc.markModified();
    doc.save();
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(t.filter(), RowFilter::recordKind(1));
    EXPECT_EQ(t.activeTag().toLower(), QStringLiteral("tab2"));
    EXPECT_EQ(t.real(Field::N), 3.0);
    EXPECT_EQ(t.text(Field::COMMENT), QByteArray("in progress")) << "the edit in progress was written";
}

TEST_F(TableDocumentTest, CloseDeletesTheIndexFileAndDropsAnUnsavedEdit)
{
    makeTable({{0, -1}, {0, -1}});
    ASSERT_TRUE(doc.open(tablePath()));
    doc.table().addTag(QStringLiteral("tab1"), "P", false);
    EXPECT_TRUE(QFile::exists(pathOf(QStringLiteral("t.mdx"))));
    doc.table().first();
    doc.table().edit();
    doc.table().setText(Field::COMMENT, "dropped");
    doc.markModified();
    doc.close(false);
    EXPECT_FALSE(doc.isOpen());
    EXPECT_FALSE(QFile::exists(pathOf(QStringLiteral("t.mdx"))));
    ASSERT_TRUE(doc.open(tablePath()));
    EXPECT_EQ(doc.table().text(Field::COMMENT), QByteArray());
    EXPECT_TRUE(doc.table().header().hasProductionIndex() == false) << "no index file: the flag counts as clear";
    doc.table().close();
    EXPECT_EQ(darni::testing::readAll(tablePath())[28], 1) << "but stays set on disk";

    // Saving first keeps the edit.
    ASSERT_TRUE(doc.open(tablePath()));
    doc.table().edit();
    doc.table().setText(Field::COMMENT, "kept");
    doc.markModified();
    doc.close(true);
    ASSERT_TRUE(doc.open(tablePath()));
    EXPECT_EQ(doc.table().text(Field::COMMENT), QByteArray("kept"));
}

TEST_F(TableDocumentTest, CreateReplacesTheFileAndFillsIt)
{
    makeTable({{0, -1}, {0, -1}, {0, -1}});
    doc.create(tablePath(), [](DbfTable& t) {
        t.append();
        t.setReal(Field::N, 42);
        t.post();
    });
    EXPECT_TRUE(doc.isOpen());
    EXPECT_FALSE(doc.isModified());
    doc.table().setFilter(RowFilter());
    EXPECT_EQ(doc.table().count(), 1);
    doc.close(false);

    EXPECT_THROW(doc.create(pathOf(QStringLiteral("no/such/dir/t.db")), [](DbfTable&) {}), TableError);
    EXPECT_FALSE(doc.isOpen());

    // A create that fails half-way (a full disk, say) leaves the earlier table whole and unlocked,
    // no document open and no file beside it.
    const QByteArray earlier = darni::testing::readAll(tablePath());
    EXPECT_THROW(doc.create(tablePath(),
                            [](DbfTable& t) {
                                t.append();
                                t.setReal(Field::N, 7);
                                t.post();
                                throw TableError(TableError::Cause::DiskFull, QStringLiteral("диск заполнен"));
                            }),
                 TableError);
    EXPECT_FALSE(doc.isOpen());
    EXPECT_EQ(darni::testing::readAll(tablePath()), earlier);
    EXPECT_EQ(QDir(QFileInfo(tablePath()).absolutePath()).entryList(QDir::Files), QStringList{QStringLiteral("t.db")});
    DbfTable other;
    EXPECT_NO_THROW(other.open(tablePath())) << "the file is not left locked";
}

// The rows the table shows, in its order, as "N:P" texts.
std::vector<std::string> shownRows(DbfTable& t)
{
    std::vector<std::string> rows;
    for (bool ok = t.first(); ok; ok = t.next())
        rows.push_back(std::to_string(t.integer(Field::N)) + ":" + QString::number(t.real(Field::P)).toStdString());
    return rows;
}

using Rows = std::vector<std::string>;

TEST_F(TableDocumentTest, DeletingFindsTheRowsByIdentityNotByValue)
{
    DbfFileBuilder b(measurementFields());
    for (const char* n : {"1", "2", "3", "4"})
        b.record({{"N", n}, {"P", "7.5"}, {"R", "30"}, {"NB_TYPE", "0"}});
    b.writeTo(tablePath());
    ASSERT_TRUE(doc.open(tablePath()));
    doc.choosePage();
    sortByField(doc.table(), QStringLiteral("tab1"), Field::N, true);
    ASSERT_EQ(shownRows(doc.table()), (Rows{"4:7.5", "3:7.5", "2:7.5", "1:7.5"}));
    doc.markModified();

    doc.deleteRows({2, 4, 2}); // equal rows; the same one named twice
    EXPECT_EQ(shownRows(doc.table()), (Rows{"3:7.5", "1:7.5"})) << "the order outlives packing";
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(doc.table().slotCount(), 2u) << "gone from the file for good";

    resetOrder(doc.table(), QStringLiteral("tab1"));
    doc.deleteRows({});
    EXPECT_EQ(shownRows(doc.table()), (Rows{"1:7.5", "3:7.5"})) << "nothing named, nothing deleted";
}

TEST_F(TableDocumentTest, RenumberingNumbersThePageInItsOrderAndLeavesOtherKinds)
{
    DbfFileBuilder b(measurementFields());
    const std::pair<const char*, const char*> rows[] = {{"1", "0"}, {"5", "1"}, {"9", "1"}, {"2", "0"}, {"7", "1"}};
    for (const auto& [n, kind] : rows)
        b.record({{"N", n}, {"NB_TYPE", kind}, {"P", n}});
    b.writeTo(tablePath());
    ASSERT_TRUE(doc.open(tablePath()));
    ASSERT_EQ(doc.choosePage(), TableDocument::Page::PullOff);

    // Sorted by the number itself, descending: each row still gets exactly one number.
    sortByField(doc.table(), QStringLiteral("tab2"), Field::N, true);
    doc.renumberRows();
    EXPECT_EQ(doc.table().activeTag().compare(QStringLiteral("tab2"), Qt::CaseInsensitive), 0) << "the order is kept";
    EXPECT_EQ(shownRows(doc.table()), (Rows{"3:5", "2:7", "1:9"}));
    doc.table().setFilter(RowFilter());
    doc.table().setActiveTag({});
    doc.table().refresh();
    EXPECT_EQ(shownRows(doc.table()), (Rows{"1:1", "3:5", "1:9", "2:2", "2:7"}));
}

TEST_F(TableDocumentTest, SortingByDateFollowsTheCalendarAndTextFieldsTheirText)
{
    DbfFileBuilder b(measurementFields());
    const std::pair<const char*, const char*> rows[] = {
        {"02.01.2024", "10:00:00"}, {"01.01.2029", "08:00:00"}, {"15.12.2023", "09:00:00"},
        {"01.01.2028", "12:30:00"}, {"01.01.2028", "07:15:00"},
    };
    for (const auto& [date, time] : rows)
        b.record({{"N", "1"}, {"DATE", date}, {"TIME", time}, {"ZAV", time}});
    b.writeTo(tablePath());
    ASSERT_TRUE(doc.open(tablePath()));
    sortByField(doc.table(), QStringLiteral("tab1"), Field::DATE, false);
    const auto shown = [this] {
        std::vector<std::string> dates;
        for (bool ok = doc.table().first(); ok; ok = doc.table().next())
            dates.push_back((doc.table().text(Field::DATE) + ' ' + doc.table().text(Field::TIME)).toStdString());
        return dates;
    };
    const Rows calendar = {"15.12.2023 09:00:00", "02.01.2024 10:00:00", "01.01.2028 07:15:00", "01.01.2028 12:30:00",
                           "01.01.2029 08:00:00"};
    EXPECT_EQ(shown(), calendar) << "year, month, day, then the time of day";

    // The index file states the key as dBase IV evaluates it, and reads back as the same order.
    EXPECT_TRUE(darni::testing::readAll(pathOf(QStringLiteral("t.mdx")))
                    .contains("SUBSTR(DATE,7,4)+SUBSTR(DATE,4,2)+SUBSTR(DATE,1,2)+TIME"));
    doc.table().close();
    doc.table().open(tablePath());
    ASSERT_TRUE(doc.table().tagNames().contains(QStringLiteral("TAB1")));
    doc.table().setActiveTag(QStringLiteral("tab1"));
    EXPECT_EQ(shown(), calendar);

    // Other text fields sort by their text as stored.
    sortByField(doc.table(), QStringLiteral("tab2"), Field::ZAV, true);
    std::vector<std::string> texts;
    for (bool ok = doc.table().first(); ok; ok = doc.table().next())
        texts.push_back(doc.table().text(Field::ZAV).toStdString());
    EXPECT_EQ(texts, (Rows{"12:30:00", "10:00:00", "09:00:00", "08:00:00", "07:15:00"}));

    // A text wider than an index key sorts by its first 100 characters.
    EXPECT_NO_THROW(sortByField(doc.table(), QStringLiteral("tab1"), Field::P3, true)); // "Тип изделия"
    EXPECT_EQ(doc.table().activeTag().toLower(), QStringLiteral("tab1"));
    resetOrder(doc.table(), QStringLiteral("tab1"));
    EXPECT_TRUE(doc.table().activeTag().isEmpty()) << "back in file order";
    resetOrder(doc.table(), QStringLiteral("tab1")); // no such tag any more: nothing to say
}

} // namespace

// The open table's state across create, open, save and close, and the choice of the page.
#include "support/tablefixture.h"
#include "table/tabledocument.h"
#include "table/tableerror.h"

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
}

} // namespace

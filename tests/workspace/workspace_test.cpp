// The workspace's commands at their own seam, without a window: the state each leaves and the faults
// that the window once had to work around.
#include "support/dbffilebuilder.h"
#include "support/tablefixture.h"
#include "workspace/workspace.h"

#include <QFileInfo>

using namespace darni;
using darni::testing::DbfFileBuilder;
using darni::testing::readAll;
using table::Field;
using workspace::Workspace;

namespace {

using Values = std::map<std::string, std::string>;

class WorkspaceCommands : public darni::testing::TableFixture
{
protected:
    QString write(const QString& name, const std::vector<Values>& rows)
    {
        DbfFileBuilder b(darni::testing::measurementFields());
        for (const Values& v : rows)
            b.record(v);
        b.writeTo(pathOf(name));
        return pathOf(name);
    }
    Workspace w;
};

TEST_F(WorkspaceCommands, PageDeviceTypeAndFiguresBelongToTheTableJustOpened)
{
    const QString pullOff = write(QStringLiteral("p.db"), {{{"NB_TYPE", "1"}, {"DEV_TYPE", "2"}, {"P", "5"}}});
    const QString ultrasonic = write(QStringLiteral("u.db"), {{{"NB_TYPE", "0"}, {"DEV_TYPE", "13"}, {"P", "22.3"}},
                                                              {{"NB_TYPE", "0"}, {"DEV_TYPE", "13"}, {"P", "54.6"}},
                                                              {{"NB_TYPE", "0"}, {"DEV_TYPE", "13"}}});
    ASSERT_TRUE(w.open(pullOff));
    EXPECT_EQ(w.page(), Workspace::Page::PullOff);
    EXPECT_EQ(w.deviceType(), 2);
    ASSERT_TRUE(w.open(ultrasonic));
    EXPECT_EQ(w.page(), Workspace::Page::Ultrasonic);
    EXPECT_EQ(w.deviceType(), 13) << "read from the page in view, not under the last table's filter";
    EXPECT_DOUBLE_EQ(w.statistics().minP, 22.3) << "the row without P is left out";
    EXPECT_DOUBLE_EQ(w.statistics().maxP, 54.6);
    EXPECT_EQ(w.pageRows().size(), 3);
}

TEST_F(WorkspaceCommands, EditsStoreWhatChangedAndRefuseWhatIsNoValueOfTheColumn)
{
    const QString path = write(QStringLiteral("e.db"), {{{"N", "1"}, {"P", "12.34"}, {"D9", "425"}}});
    ASSERT_TRUE(w.open(path));
    const std::uint32_t slot = w.pageRows().slotAt(0);
    const QByteArray before = readAll(path);
    const QLocale russian(QLocale::Russian, QLocale::Russia);

    EXPECT_EQ(w.editField(slot, Field::P, QStringLiteral("12,34"), russian), std::nullopt);
    EXPECT_EQ(w.editField(slot, Field::D9, QStringLiteral(" 425 "), russian), std::nullopt);
    EXPECT_EQ(readAll(path), before) << "text that leaves the value as it is writes nothing";

    const struct
    {
        Field field;
        const char* text;
    } refusals[] = {{Field::D9, "12,7"}, {Field::P, "двенадцать"}};
    for (const auto& r : refusals) {
        const auto refused = w.editField(slot, r.field, QString::fromUtf8(r.text), russian);
        ASSERT_TRUE(refused) << r.text;
        EXPECT_TRUE(refused->contains(QString::fromUtf8(r.text))) << refused->toStdString();
    }
    EXPECT_EQ(readAll(path), before) << "a refused value keeps the stored one";

    EXPECT_EQ(w.editField(slot, Field::P, QStringLiteral("7,5"), russian), std::nullopt);
    EXPECT_EQ(w.pageRows().real(0, Field::P), 7.5);
}

TEST_F(WorkspaceCommands, CommandsWithNothingToDoChangeNothing)
{
    const QString path = write(QStringLiteral("n.db"), {{{"N", "1"}}, {{"N", "2"}}});
    ASSERT_TRUE(w.open(path));
    const auto modified = QFileInfo(path).fileTime(QFileDevice::FileModificationTime);
    const QByteArray before = readAll(path);
    w.deleteRows({});
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(QFileInfo(path).fileTime(QFileDevice::FileModificationTime), modified) << "no pack, no save";
    EXPECT_FALSE(w.isModified());

    // A transfer that the table cannot take leaves no table open and says where the data are kept.
    w.close(false);
    EXPECT_FALSE(w.page());
    const QString folder = pathOf(QStringLiteral("no-such-folder/t.db"));
    transfer::Transfer received;
    received.header.deviceType = transfer::DeviceHeader::kOrnakDeviceType;
    try {
        w.createFromTransfer(folder, received, workspace::KeepTransfer::No);
        ADD_FAILURE() << "a table was made in a missing folder";
    } catch (const files::UserError& e) {
        EXPECT_FALSE(e.message().isEmpty());
    }
    EXPECT_FALSE(w.isOpen());
    EXPECT_EQ(w.deviceType(), transfer::DeviceHeader::kOrnakDeviceType) << "the instrument did answer";
}

} // namespace

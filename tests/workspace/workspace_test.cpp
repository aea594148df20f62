// The workspace's commands at their own seam, without a window: the state each leaves and the faults
// that the window once had to work around.
#include "support/dbffilebuilder.h"
#include "support/tablefixture.h"
#include "workspace/undocopy.h"
#include "workspace/workspace.h"

#include "instrumentmemory.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

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

TEST_F(WorkspaceCommands, TheSummaryCountsEveryKindOfRow)
{
    const QString mixed = write(QStringLiteral("m.db"), {{{"NB_TYPE", "1"}, {"P", "5"}},
                                                         {{"NB_TYPE", "1"}, {"P", "6"}},
                                                         {{"NB_TYPE", "0"}, {"P", "22.3"}},
                                                         {{"NB_TYPE", "7"}}});
    ASSERT_TRUE(w.open(mixed));
    const auto summary = w.summary();
    EXPECT_EQ(summary.pullOff, 2);
    EXPECT_EQ(summary.ultrasonic, 1);
    EXPECT_EQ(summary.other, 1);
    EXPECT_EQ(summary.pageRows, 2) << "the pull-off page is in view";
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

// A delete or a renumbering works out the page that follows and its figures from the rows it had, not
// by reading the rewritten file again: what it shows must be what the file gives when read afresh.
TEST_F(WorkspaceCommands, AfterADeleteOrARenumberingThePageAndItsFiguresAreThoseOfTheFileReadAfresh)
{
    struct Shown
    {
        std::vector<double> numbers;
        std::vector<double> ps;
        table::TableStatistics figures;
    };
    const auto shown = [this] {
        Shown s;
        const table::RecordView rows = w.pageRows();
        for (int row = 0; row < rows.size(); ++row) {
            s.numbers.push_back(rows.real(row, Field::N));
            s.ps.push_back(rows.real(row, Field::P));
        }
        s.figures = w.statistics();
        return s;
    };
    const auto expectSame = [](const Shown& a, const Shown& b, const char* what) {
        EXPECT_EQ(a.numbers, b.numbers) << what;
        EXPECT_EQ(a.ps, b.ps) << what;
        EXPECT_EQ(a.figures.minP, b.figures.minP) << what;
        EXPECT_EQ(a.figures.meanP, b.figures.meanP) << what;
        EXPECT_EQ(a.figures.maxP, b.figures.maxP) << what;
        EXPECT_EQ(a.figures.meanR, b.figures.meanR) << what;
    };
    // Rows of another kind and a row marked deleted lie between the page's rows; P and R vary, so
    // that deleting the rows with the least and the greatest P moves every figure.
    DbfFileBuilder b(darni::testing::measurementFields());
    for (int i = 1; i <= 40; ++i) {
        const std::string kind = i % 5 == 0 ? "7" : "0";
        b.record({{"N", std::to_string(i * 2)},
                  {"NB_TYPE", kind},
                  {"P", std::to_string(10 + (i * 37) % 41) + ".5"},
                  {"R", std::to_string(i % 9)}},
                 i == 13);
    }
    const QString path = pathOf(QStringLiteral("r.db"));
    b.writeTo(path);

    const struct
    {
        const char* what;
        std::vector<int> deletedRows; // positions on the page
        bool figuresShownBefore;
        bool renumberReversed;
    } cases[] = {
        {"delete with the figures shown", {0, 3, 4, 17, 29}, true, false},
        {"delete with no figures asked for yet", {1, 2, 20}, false, false},
        {"renumber in file order", {}, true, false},
        {"renumber in another order", {}, true, true},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(w.open(path)) << c.what;
        const Shown before = shown();
        if (!c.figuresShownBefore) {
            ASSERT_TRUE(w.open(path));
        }
        const table::RecordView page = w.pageRows();
        if (c.deletedRows.empty()) {
            std::vector<std::uint32_t> order(page.slots().begin(), page.slots().end());
            if (c.renumberReversed)
                std::reverse(order.begin(), order.end());
            w.renumber(order);
        } else {
            std::vector<std::uint32_t> slots;
            for (const int row : c.deletedRows) {
                ASSERT_LT(row, page.size()) << c.what;
                slots.push_back(page.slotAt(row));
            }
            w.deleteRows(slots);
        }
        const Shown after = shown();
        EXPECT_NE(after.numbers, before.numbers) << c.what;
        w.close(false);
        ASSERT_TRUE(w.open(path));
        expectSame(after, shown(), c.what);
        w.close(false);
    }
}

// Every command that changes the table file can be taken back, byte for byte, once.
// darni-cli chooses rows to delete by their place or their N; N starts again in each memory block, so
// a number may be on several rows.
TEST_F(WorkspaceCommands, RowsAreFoundByTheirPlaceOrTheirNumberOrRefusedWithTheCause)
{
    using Cause = workspace::RowChoiceError::Cause;
    const QString path = write(QStringLiteral("n.db"), {{{"NB_TYPE", "0"}, {"N", "1"}},
                                                        {{"NB_TYPE", "0"}, {"N", "2"}},
                                                        {{"NB_TYPE", "1"}, {"N", "5"}},
                                                        {{"NB_TYPE", "0"}, {"N", "1"}},
                                                        {{"NB_TYPE", "0"}, {"N", "3"}}});
    ASSERT_TRUE(w.open(path));
    w.showPage(Workspace::Page::Ultrasonic);
    w.sortBy(Workspace::Page::Ultrasonic, Field::N, true); // 3 2 1 1: places follow the order shown
    const table::RecordView page = w.pageRows();
    const auto slotsOf = [&](std::initializer_list<int> places) {
        std::vector<std::uint32_t> slots;
        for (const int place : places)
            slots.push_back(page.slotAt(place - 1));
        std::sort(slots.begin(), slots.end());
        return slots;
    };
    EXPECT_EQ(w.rowsAtPositions(std::vector<double>{1, 3, 1}), slotsOf({1, 3})) << "each row once";
    EXPECT_EQ(w.rowsNumbered(std::vector<double>{3, 2}, false), slotsOf({1, 2}));
    EXPECT_EQ(w.rowsNumbered(std::vector<double>{1}, true), slotsOf({3, 4}));

    const struct
    {
        const char* what;
        std::function<void()> choose;
        Cause cause;
        QString says;
    } refusals[] = {
        {"place 5",
         [&] {
             w.rowsAtPositions(std::vector<double>{2, 5});
         },
         Cause::NoSuchPosition, QStringLiteral("нет строки 5 (строк на странице: 4)")},
        {"place 0", [&] { w.rowsAtPositions(std::vector<double>{0}); }, Cause::NoSuchPosition,
         QStringLiteral("нет строки 0")},
        {"place 1.5", [&] { w.rowsAtPositions(std::vector<double>{1.5}); }, Cause::NoSuchPosition,
         QStringLiteral("нет строки 1,5")},
        {"N 5, a pull-off row", [&] { w.rowsNumbered(std::vector<double>{5}, false); }, Cause::NoSuchNumber,
         QStringLiteral("нет строки с номером 5")},
        {"N 1 twice",
         [&] {
             w.rowsNumbered(std::vector<double>{2, 1}, false);
         },
         Cause::NumberOnSeveralRows, QStringLiteral("Номер 1 есть у 2 строк страницы (позиции 3, 4)")},
    };
    for (const auto& r : refusals) {
        try {
            r.choose();
            ADD_FAILURE() << r.what << " was not refused";
        } catch (const workspace::RowChoiceError& e) {
            EXPECT_EQ(e.cause(), r.cause) << r.what;
            EXPECT_TRUE(e.message().contains(r.says)) << r.what << ": " << e.message().toStdString();
        }
    }
}

// A front end marks the column titles as the workspace tells, so every command that puts the rows back in
// file order must take the mark with it, and a sort that failed must leave none.
TEST_F(WorkspaceCommands, TheSortMarkStandsWhileTheRowsShowInItsOrder)
{
    using Page = Workspace::Page;
    const sim::InstrumentMemory memory = sim::InstrumentMemory::generated({6, 3, 5});
    const sim::InstrumentMemory more = sim::InstrumentMemory::generated({12, 6, 5});
    const QString path = pathOf(QStringLiteral("sorted.db"));
    const QString wide = write(QStringLiteral("wide.db"), {{{"NB_TYPE", "0"}, {"P", "1"}}});
    const struct
    {
        const char* command;
        std::function<void(Workspace&)> run;
        bool keepsTheOrder;
    } commands[] = {
        {"save", [](Workspace& w) { w.save(); }, true},
        {"renumber", [](Workspace& w) { w.renumber(); }, true},
        {"reset", [](Workspace& w) { w.resetSorting(); }, false},
        {"delete rows", [](Workspace& w) { w.deleteRows({w.pageRows().slotAt(0)}); }, false},
        {"export", [&](Workspace& w) { w.exportPage(pathOf(QStringLiteral("page.xls"))); }, false},
        {"append", [&](Workspace& w) { w.append(more.asTransfer(), workspace::KeepTransfer::No); }, false},
        // Nothing new is no change: compared in file order, whatever order the page shows.
        {"append of nothing new", [&](Workspace& w) { w.append(memory.asTransfer(), workspace::KeepTransfer::No); },
         true},
        {"undo", [](Workspace& w) { w.undo(); }, false},
        {"open again", [&](Workspace& w) { ASSERT_TRUE(w.open(path)); }, false},
    };
    for (const auto& c : commands) {
        w.createFromTransfer(path, memory.asTransfer(), workspace::KeepTransfer::No);
        w.deleteRows({w.pageRows().slotAt(1)}); // something for undo to take back
        EXPECT_FALSE(w.sortMark(Page::Ultrasonic)) << c.command;
        w.sortBy(Page::Ultrasonic, Field::P, true);
        const auto mark = w.sortMark(Page::Ultrasonic);
        ASSERT_TRUE(mark) << c.command;
        EXPECT_EQ(mark->field, Field::P);
        EXPECT_TRUE(mark->descending);
        EXPECT_FALSE(w.sortMark(Page::PullOff)) << "a mark belongs to the page it was made on";
        c.run(w);
        EXPECT_EQ(w.sortMark(Page::Ultrasonic).has_value(), c.keepsTheOrder) << c.command;
    }
    // A sort whose index file cannot be written leaves the rows in file order and no mark, also where
    // another sort stood before.
    ASSERT_TRUE(w.open(wide));
    w.sortBy(Page::Ultrasonic, Field::P, false);
    ASSERT_TRUE(w.sortMark(Page::Ultrasonic));
    w.close(false);
    ASSERT_TRUE(QDir().mkdir(pathOf(QStringLiteral("wide.mdx"))));
    ASSERT_TRUE(w.open(wide));
    EXPECT_THROW(w.sortBy(Page::Ultrasonic, Field::COMMENT, false), files::UserError);
    EXPECT_FALSE(w.sortMark(Page::Ultrasonic));
}

TEST_F(WorkspaceCommands, UndoPutsTheTableBackAsItWasBeforeTheLastCommand)
{
    sim::InstrumentMemory memory = sim::InstrumentMemory::generated({9, 4, 7});
    const transfer::Transfer first = memory.asTransfer();
    memory.appendRecords(5);
    const transfer::Transfer grown = memory.asTransfer();
    const QLocale russian(QLocale::Russian, QLocale::Russia);

    const struct
    {
        const char* command;
        std::function<void(Workspace&)> run;
    } commands[] = {
        {"delete rows",
         [](Workspace& w) {
             w.deleteRows({w.pageRows().slotAt(0), w.pageRows().slotAt(3)});
         }},
        {"renumber",
         [](Workspace& w) {
             w.renumber(std::vector<std::uint32_t>{w.pageRows().slotAt(2), w.pageRows().slotAt(0)});
         }},
        {"append", [&](Workspace& w) { w.append(grown, workspace::KeepTransfer::No); }},
        {"saved edits",
         [&](Workspace& w) {
             ASSERT_EQ(w.beginEditing(), std::nullopt);
             ASSERT_EQ(w.editField(w.pageRows().slotAt(1), Field::COMMENT, QStringLiteral("стена 3"), russian),
                       std::nullopt);
             ASSERT_EQ(w.editField(w.pageRows().slotAt(1), Field::P, QStringLiteral("99,5"), russian), std::nullopt);
             w.save();
         }},
    };
    for (const auto& c : commands) {
        const QString path =
            pathOf(QString::fromLatin1(c.command).replace(QLatin1Char(' '), QLatin1Char('-')) + QStringLiteral(".db"));
        w.createFromTransfer(path, first, workspace::KeepTransfer::No);
        ASSERT_TRUE(w.open(path)) << c.command;
        EXPECT_FALSE(w.canUndo()) << c.command << ": nothing done yet";
        const QByteArray before = readAll(path);
        const int rowsBefore = w.pageRows().size();
        c.run(w);
        ASSERT_NE(readAll(path), before) << c.command << " changed nothing";
        ASSERT_TRUE(w.canUndo()) << c.command;
        w.undo();
        EXPECT_EQ(readAll(path), before) << c.command;
        EXPECT_TRUE(w.isOpen()) << c.command;
        EXPECT_EQ(w.pageRows().size(), rowsBefore) << c.command;
        EXPECT_FALSE(w.canUndo()) << c.command << ": one level deep";
        EXPECT_FALSE(workspace::undo::hasCopy(path)) << c.command;
        EXPECT_THROW(w.undo(), files::UserError) << c.command;
        w.close(false);
    }
}

TEST_F(WorkspaceCommands, NoToSavingLeavesTheFileAsAtTheLastSaveAndClosingForgetsTheCopy)
{
    const QString path = write(QStringLiteral("k.db"), {{{"N", "1"}, {"P", "12.5"}}, {{"N", "2"}, {"P", "30"}}});
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    ASSERT_TRUE(w.open(path));
    const QByteArray opened = readAll(path);
    ASSERT_EQ(w.beginEditing(), std::nullopt);
    ASSERT_EQ(w.editField(w.pageRows().slotAt(0), Field::P, QStringLiteral("13"), russian), std::nullopt);
    ASSERT_TRUE(w.isModified());
    ASSERT_NE(readAll(path), opened) << "the edit is posted to the file at once";
    w.closeDiscardingEdits();
    EXPECT_FALSE(w.isOpen());
    EXPECT_EQ(readAll(path), opened);
    EXPECT_FALSE(workspace::undo::hasCopy(path));

    // Saved edits stay with "Нет" to edits made after the save.
    ASSERT_TRUE(w.open(path));
    ASSERT_EQ(w.beginEditing(), std::nullopt);
    ASSERT_EQ(w.editField(w.pageRows().slotAt(0), Field::P, QStringLiteral("14"), russian), std::nullopt);
    w.save();
    const QByteArray saved = readAll(path);
    ASSERT_EQ(w.beginEditing(), std::nullopt);
    ASSERT_EQ(w.editField(w.pageRows().slotAt(1), Field::P, QStringLiteral("31"), russian), std::nullopt);
    w.closeDiscardingEdits();
    EXPECT_EQ(readAll(path), saved);

    // A command after the edits is a new starting point: "Нет" does not take the command back.
    ASSERT_TRUE(w.open(path));
    ASSERT_EQ(w.beginEditing(), std::nullopt);
    w.deleteRows({w.pageRows().slotAt(0)});
    const QByteArray afterDelete = readAll(path);
    w.closeDiscardingEdits();
    EXPECT_EQ(readAll(path), afterDelete);

    // Closed without an undo: the copy goes with the table; one that darni-cli keeps stays.
    ASSERT_TRUE(w.open(path));
    w.deleteRows({w.pageRows().slotAt(0)});
    EXPECT_TRUE(workspace::undo::hasCopy(path));
    w.close(false);
    EXPECT_FALSE(workspace::undo::hasCopy(path));

    // A table open only for reading takes no edit.
    ASSERT_TRUE(w.openForReading(path));
    EXPECT_TRUE(w.beginEditing());
}

TEST_F(WorkspaceCommands, AnUndoCopyThatCannotBeMadeStopsTheCommand)
{
    const QString path = write(QStringLiteral("c.db"), {{{"N", "1"}}, {{"N", "2"}}});
    ASSERT_TRUE(w.open(path));
    const QByteArray before = readAll(path);
    // A folder where the copy's file would go cannot hold a file.
    ASSERT_TRUE(QDir().mkpath(workspace::undo::copyPathFor(path)));
    EXPECT_THROW(w.deleteRows({w.pageRows().slotAt(0)}), files::UserError);
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(w.pageRows().size(), 2);
    const auto refused = w.beginEditing();
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->startsWith(QStringLiteral("Копия таблицы для отмены не сделана"))) << refused->toStdString();
}

} // namespace

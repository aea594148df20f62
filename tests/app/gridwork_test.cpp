// Working with the rows in the window: the footers' figures, sorting by a title click, colours and
// stored layouts, deleting and renumbering rows, and the save question after an abandoned edit.
#include "mainwindowfixture.h"
#include "support/dbffilebuilder.h"
#include "table/cp1251.h"
#include "view/footerline.h"
#include "view/gridlayout.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>
#include <QPalette>
#include <QTest>

#include <map>
#include <string>

using namespace darni;
using darni::testing::DbfFileBuilder;

namespace {

using Values = std::map<std::string, std::string>;
using Strings = std::vector<std::string>;

view::ColumnLayout storedColumn(const QString& field, int width)
{
    view::ColumnLayout c;
    c.fieldName = field;
    c.width = width;
    return c;
}

class GridWork : public darni::testing::MainWindowTest
{
protected:
    GridWork() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    ~GridWork() override { QLocale::setDefault(QLocale::c()); }

    // A window with a table of these rows open and shown.
    std::unique_ptr<app::MainWindow> openWith(const std::vector<Values>& rows)
    {
        DbfFileBuilder b(darni::testing::measurementFields());
        for (const Values& v : rows)
            b.record(v);
        b.writeTo(path("rows.db"));
        auto w = makeWindow(port);
        w->resize(900, 600);
        w->show();
        EXPECT_TRUE(w->openTablePath(path("rows.db")));
        return w;
    }

    static QString footer(app::MainWindow& w, table::Field f) { return w.activeFooter()->text(f); }

    // F2 on the cell, as a user opens its editor.
    static void startEditing(view::GridView& grid, const QModelIndex& cell)
    {
        grid.setCurrentIndex(cell);
        grid.setFocus();
        QTest::keyClick(&grid, Qt::Key_F2);
    }

    static void mark(view::GridView& grid, std::initializer_list<int> rows)
    {
        grid.clearSelection();
        for (const int row : rows) {
            grid.selectionModel()->select(grid.model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    // The values of one column as the grid shows them, top to bottom.
    static Strings column(view::GridView& grid, table::Field f)
    {
        Strings shown;
        const int c = grid.measurementModel().columnOf(f);
        for (int row = 0; row < grid.model()->rowCount(); ++row)
            shown.push_back(grid.model()->index(row, c).data().toString().toStdString());
        return shown;
    }

    static void clickTitle(view::GridView& grid, table::Field f, Qt::KeyboardModifiers keys = {})
    {
        QHeaderView* header = grid.horizontalHeader();
        const int section = grid.measurementModel().columnOf(f);
        const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, keys, at);
    }
};

TEST_F(GridWork, AnEditorOpensOnTheStoredValueAndOnlyAChangeIsWritten)
{
    auto w = openWith({{{"N", "1"}, {"P", "12.34"}, {"D9", "3083"}}});
    view::GridView& grid = *w->activeGrid();
    QAbstractItemModel& model = *grid.model();
    const QModelIndex p = model.index(0, grid.measurementModel().columnOf(table::Field::P));
    const QModelIndex velocity = model.index(0, grid.measurementModel().columnOf(table::Field::D9));
    EXPECT_EQ(p.data(Qt::DisplayRole).toString(), QStringLiteral("12,3"));
    EXPECT_EQ(p.data(Qt::EditRole).toString(), QStringLiteral("12,34")) << "the editor shows every digit";

    // Enter, or a click elsewhere, on the text as it opened: nothing reaches the file.
    const QByteArray before = darni::testing::readAll(path("rows.db"));
    ASSERT_TRUE(model.setData(p, p.data(Qt::EditRole), Qt::EditRole));
    w->saveTable();
    EXPECT_EQ(darni::testing::readAll(path("rows.db")).mid(32), before.mid(32)) << "beyond the header's date";

    // A fraction in a whole-number column is refused with a message, the stored value kept.
    EXPECT_FALSE(model.setData(velocity, QStringLiteral("12,7"), Qt::EditRole));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("12,7"))) << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(velocity.data().toString(), QStringLiteral("3083"));
    EXPECT_TRUE(model.setData(velocity, QStringLiteral("3100"), Qt::EditRole));
    EXPECT_EQ(velocity.data().toString(), QStringLiteral("3100"));
}

TEST_F(GridWork, NumbersReadTheRussianWayWhateverTheSystemLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto w = openWith({{{"N", "1"}, {"P", "12.34"}, {"R", "150.5"}}, {{"N", "2"}, {"P", "21.6"}, {"R", "151"}}});
    view::GridView& grid = *w->activeGrid();
    QAbstractItemModel& model = *grid.model();
    const QModelIndex p = model.index(0, grid.measurementModel().columnOf(table::Field::P));
    EXPECT_EQ(p.data(Qt::DisplayRole).toString(), QStringLiteral("12,3"));
    EXPECT_EQ(p.data(Qt::EditRole).toString(), QStringLiteral("12,34"));
    EXPECT_EQ(footer(*w, table::Field::P), QStringLiteral("12,34/17/21,6")) << "min/mean/max";
    // The editor takes a comma and a point alike.
    for (const char* typed : {"25,75", "25.75"}) {
        ASSERT_TRUE(model.setData(p, QString::fromLatin1(typed), Qt::EditRole)) << typed;
        EXPECT_EQ(p.data(Qt::EditRole).toString(), QStringLiteral("25,75")) << typed;
    }
    EXPECT_TRUE(dialogs.messages.empty());
    QLocale::setDefault(before);
}

TEST_F(GridWork, AReadOnlyTableSortsInMemoryAndStaysAsItWas)
{
    auto w = openWith({{{"N", "1"}}, {{"N", "3"}}, {{"N", "2"}}});
    w->closeTable();
    QFile::setPermissions(path("rows.db"), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    const QByteArray before = darni::testing::readAll(path("rows.db"));
    ASSERT_TRUE(w->openTablePath(path("rows.db")));
    ASSERT_TRUE(w->workspace().isReadOnly());
    view::GridView& grid = *w->activeGrid();
    clickTitle(grid, table::Field::N); // descending
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"3", "2", "1"}));
    EXPECT_TRUE(dialogs.messages.empty());
    w->closeTable();
    EXPECT_EQ(darni::testing::readAll(path("rows.db")), before);
    EXPECT_FALSE(QFile::exists(path("rows.mdx")));
}

TEST_F(GridWork, FootersAndTheDeviceTypeFollowThePageNotTheTableOpenedBefore)
{
    auto w = openWith({{{"N", "1"}, {"NB_TYPE", "1"}, {"P", "3.5"}, {"DEV_TYPE", "2"}}}); // a pull-off table
    EXPECT_EQ(footer(*w, table::Field::P), QStringLiteral("3,5/3,5/3,5"));

    // An ultrasonic table next, a crack row without P first: its figures are its own, the blank left out.
    DbfFileBuilder b(darni::testing::measurementFields());
    b.record({{"N", "1"}, {"DEV_TYPE", "13"}, {"R", "150"}});
    b.record({{"N", "2"}, {"DEV_TYPE", "13"}, {"P", "22.3"}, {"R", "150"}});
    b.record({{"N", "3"}, {"DEV_TYPE", "13"}, {"P", "54.6"}, {"R", "150"}});
    b.writeTo(path("ultrasonic.db"));
    ASSERT_TRUE(w->openTablePath(path("ultrasonic.db")));
    EXPECT_EQ(footer(*w, table::Field::P), QStringLiteral("22,3/38,5/54,6"));
    EXPECT_EQ(footer(*w, table::Field::R), QStringLiteral("150/150/150"));
    EXPECT_EQ(w->workspace().deviceType(), 13) << "the report layout follows the page's first row";
}

TEST_F(GridWork, FootersShowTheWholeTableOrTheMarkedRowsAsTheyWereMarked)
{
    {
        auto w = openWith({});
        EXPECT_EQ(footer(*w, table::Field::P), QStringLiteral("0/0/0"));
        EXPECT_EQ(footer(*w, table::Field::R), QStringLiteral("0/0/0"));
        EXPECT_EQ(footer(*w, table::Field::N), QStringLiteral("0"));
        w->closeTable();
    }
    {
        auto w = openWith({{{"N", "1"}, {"P", "5.55"}, {"R", "20.1"}}});
        EXPECT_EQ(footer(*w, table::Field::P), QStringLiteral("5,55/5,55/5,55")) << "one row is not rounded";
        EXPECT_EQ(footer(*w, table::Field::R), QStringLiteral("20,1/20,1/20,1"));
        w->closeTable();
    }
    std::vector<Values> ten;
    for (int i = 1; i <= 10; ++i)
        ten.push_back({{"N", std::to_string(i)}, {"P", i == 2 ? "1.2" : i == 3 ? "1.3" : "9"}, {"R", "30"}});
    auto w = openWith(ten);
    view::GridView& grid = *w->activeGrid();
    EXPECT_EQ(footer(*w, table::Field::P), QStringLiteral("1,2/7,4/9"));

    mark(grid, {1});
    EXPECT_EQ(footer(*w, table::Field::P), QStringLiteral("1,2/7,4/9")) << "one marked row: the whole table";
    EXPECT_EQ(w->activeFooter()->toolTipOf(table::Field::P),
              QStringLiteral("минимум / среднее / максимум по всей таблице: 1,2/7,4/9"));
    mark(grid, {1, 2});
    EXPECT_EQ(footer(*w, table::Field::P), QStringLiteral("1,2/1,2/1,3"));
    EXPECT_EQ(w->activeFooter()->toolTipOf(table::Field::R),
              QStringLiteral("минимум / среднее / максимум по выделенным строкам: 30/30/30"));
    mark(grid, {1, 2, 5});
    EXPECT_EQ(footer(*w, table::Field::P), QStringLiteral("1,2/3,8/9"));
    EXPECT_EQ(footer(*w, table::Field::N), QStringLiteral("10")) << "the page's rows, not the marked ones";

    // A marked row that is edited keeps counting with the value it had when marked.
    mark(grid, {1, 2});
    const int p = grid.measurementModel().columnOf(table::Field::P);
    ASSERT_TRUE(grid.model()->setData(grid.model()->index(1, p), QStringLiteral("100"), Qt::EditRole));
    grid.selectionModel()->select(grid.model()->index(5, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(footer(*w, table::Field::P), QStringLiteral("1,2/3,8/9"));
    mark(grid, {1, 2});
    EXPECT_EQ(footer(*w, table::Field::P), QStringLiteral("1,3/50,6/100")) << "marked afresh: the new value";
}

TEST_F(GridWork, TitleClicksCycleTheOrderAndCtrlClearsIt)
{
    auto w = openWith({{{"N", "1"}, {"P", "2"}, {"R", "9"}},
                       {{"N", "2"}, {"P", "3"}, {"R", "7"}},
                       {{"N", "3"}, {"P", "1"}, {"R", "8"}}});
    view::GridView& grid = *w->activeGrid();
    const int p = grid.measurementModel().columnOf(table::Field::P);
    const int r = grid.measurementModel().columnOf(table::Field::R);
    using view::TitleState;

    clickTitle(grid, table::Field::P);
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"2", "1", "3"})) << "first click: descending";
    EXPECT_EQ(grid.gridHeader().titleState(p), TitleState::SortedUp);
    clickTitle(grid, table::Field::P, Qt::ShiftModifier);
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"3", "1", "2"}));
    EXPECT_EQ(grid.gridHeader().titleState(p), TitleState::SortedDown);
    clickTitle(grid, table::Field::P);
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"2", "1", "3"}));

    clickTitle(grid, table::Field::R);
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"1", "3", "2"})) << "by R alone";
    EXPECT_EQ(grid.gridHeader().titleState(p), TitleState::SortedNone) << "the mark moved";

    clickTitle(grid, table::Field::P, Qt::ControlModifier);
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"1", "3", "2"})) << "Ctrl on an unmarked title: nothing";
    clickTitle(grid, table::Field::R, Qt::ControlModifier);
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"1", "2", "3"})) << "file order again";
    EXPECT_EQ(grid.gridHeader().titleState(r), TitleState::SortedNone);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(GridWork, EveryColumnSortsAndAFailedSortLeavesNoMarkAndTheRowsShown)
{
    auto w = openWith({{{"N", "1"}, {"P3", "B"}, {"P5", "Базовая"}}, {{"N", "2"}, {"P3", "A"}, {"P5", "Базовая"}}});
    view::GridView& grid = *w->activeGrid();
    const int productType = grid.measurementModel().columnOf(table::Field::P3);
    clickTitle(grid, table::Field::P3); // "Тип изделия": wider than an index key; descending first
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front().text.toStdString();
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"1", "2"}));
    EXPECT_EQ(grid.gridHeader().titleState(productType), view::TitleState::SortedUp);
    clickTitle(grid, table::Field::P3);
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"2", "1"}));
    EXPECT_EQ(grid.gridHeader().titleState(productType), view::TitleState::SortedDown);

    // A sort that fails (its index file cannot be written) shows the rows in file order, unmarked,
    // behind the message.
    clickTitle(grid, table::Field::P3);
    w->command(QStringLiteral("N7"))->trigger(); // close: the index file goes
    QDir(dir.path()).mkdir(QStringLiteral("rows.mdx"));
    ASSERT_TRUE(w->openTablePath(path("rows.db")));
    EXPECT_EQ(grid.gridHeader().titleState(productType), view::TitleState::SortedNone)
        << "a stored mark does not follow the table";
    clickTitle(grid, table::Field::N);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, app::UserDialogs::Icon::Error);
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"1", "2"})) << "file order";
    for (int section = 0; section < grid.model()->columnCount(); ++section)
        EXPECT_EQ(grid.gridHeader().titleState(section), view::TitleState::SortedNone) << section;
}

TEST_F(GridWork, DeletingTakesTheMarkedRowsAmongEqualOnesAndReturnsToFileOrder)
{
    std::vector<Values> rows;
    for (const char* n : {"1", "2", "3", "4", "5"})
        rows.push_back({{"N", n}, {"P", "7"}, {"R", "30"}, {"COMMENT", ""}});
    auto w = openWith(rows);
    view::GridView& grid = *w->activeGrid();
    clickTitle(grid, table::Field::N); // descending: 5 4 3 2 1
    // An edit of a row that stays, not yet saved.
    const int comment = grid.measurementModel().columnOf(table::Field::COMMENT);
    w->workspace().markModified();
    ASSERT_TRUE(grid.model()->setData(grid.model()->index(4, comment), QStringLiteral("остается"), Qt::EditRole));
    mark(grid, {0, 2}); // rows 5 and 3
    w->command(QStringLiteral("N34"))->trigger();

    EXPECT_EQ(column(grid, table::Field::N), (Strings{"1", "2", "4"})) << "file order, gaps kept";
    EXPECT_EQ(column(grid, table::Field::COMMENT).front(), "остается");
    EXPECT_EQ(grid.gridHeader().titleState(grid.measurementModel().columnOf(table::Field::N)),
              view::TitleState::SortedNone);
    EXPECT_EQ(footer(*w, table::Field::N), QStringLiteral("3"));
    EXPECT_FALSE(w->workspace().isModified());

    // With nothing marked, the current row only.
    grid.clearSelection();
    grid.selectionModel()->setCurrentIndex(grid.model()->index(1, 0), QItemSelectionModel::NoUpdate);
    w->command(QStringLiteral("N21"))->trigger();
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"1", "4"}));

    w->command(QStringLiteral("N37"))->trigger();
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"1", "2"}));

    // After a reload the first row is current again, before any click.
    EXPECT_EQ(grid.currentIndex().row(), 0);
    w->command(QStringLiteral("N21"))->trigger();
    EXPECT_EQ(column(grid, table::Field::N), (Strings{"2"}));
    // The undo copy belongs to this run: "Выход" takes it along.
    const QString copy = w->workspace().path() + QStringLiteral(".undo");
    EXPECT_TRUE(QFile::exists(copy));
    w->command(QStringLiteral("N11"))->trigger();
    EXPECT_FALSE(QFile::exists(copy));
    w->closeTable();
    EXPECT_TRUE(dialogs.questions.isEmpty());
}

TEST_F(GridWork, AnEditorLeftWithEscapeStillAsksAtClose)
{
    auto w = openWith({{{"N", "1"}, {"COMMENT", "before"}}});
    view::GridView& grid = *w->activeGrid();
    const QModelIndex cell = grid.model()->index(0, grid.measurementModel().columnOf(table::Field::COMMENT));
    startEditing(grid, cell);
    ASSERT_TRUE(grid.isEditing());
    QWidget* editor = grid.indexWidget(cell);
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(cell.data().toString(), QStringLiteral("before"));
    // Tab moves on without starting an edit.
    QTest::keyClick(&grid, Qt::Key_Tab);
    EXPECT_FALSE(grid.isEditing());

    dialogs.yesNoAnswers = {false};
    w->closeTable();
    EXPECT_EQ(dialogs.questions, QStringList{QStringLiteral("Сохранить изменения в таблицах ?")});
}

TEST_F(GridWork, NoToSavingAndUndoLeaveTheFileAsItWas)
{
    auto w = openWith({{{"N", "1"}, {"COMMENT", "до"}}, {{"N", "2"}, {"COMMENT", "до"}}});
    const QByteArray opened = darni::testing::readAll(path("rows.db"));
    QAction* undo = w->command(QStringLiteral("Undo"));
    ASSERT_NE(undo, nullptr);
    EXPECT_EQ(undo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_FALSE(undo->isEnabled()) << "nothing done yet";

    // An edit through the editor, posted to the file as the user leaves it.
    view::GridView& grid = *w->activeGrid();
    const QModelIndex cell = grid.model()->index(0, grid.measurementModel().columnOf(table::Field::COMMENT));
    startEditing(grid, cell);
    ASSERT_TRUE(grid.isEditing());
    ASSERT_TRUE(grid.model()->setData(cell, QStringLiteral("после"), Qt::EditRole));
    QTest::keyClick(grid.indexWidget(cell), Qt::Key_Escape);
    ASSERT_TRUE(darni::testing::readAll(path("rows.db")) != opened);
    EXPECT_TRUE(undo->isEnabled());

    // "Отмена" returns to the table, also when it was the window that was being closed.
    dialogs.threeWayAnswers = {app::UserDialogs::Answer::Cancel, app::UserDialogs::Answer::Cancel};
    w->closeTable();
    EXPECT_TRUE(w->workspace().isOpen());
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->workspace().isOpen());

    dialogs.threeWayAnswers = {app::UserDialogs::Answer::No};
    w->closeTable();
    EXPECT_FALSE(w->workspace().isOpen());
    EXPECT_TRUE(darni::testing::readAll(path("rows.db")) == opened) << "\"Нет\" means the edit is not kept";

    // Delete, then take it back.
    ASSERT_TRUE(w->openTablePath(path("rows.db")));
    const QByteArray beforeDelete = darni::testing::readAll(path("rows.db"));
    mark(*w->activeGrid(), {0});
    w->command(QStringLiteral("N34"))->trigger();
    ASSERT_EQ(w->activeGrid()->model()->rowCount(), 1);
    ASSERT_TRUE(undo->isEnabled());
    undo->trigger();
    EXPECT_TRUE(darni::testing::readAll(path("rows.db")) == beforeDelete);
    EXPECT_EQ(w->activeGrid()->model()->rowCount(), 2);
    EXPECT_EQ(footer(*w, table::Field::N), QStringLiteral("2"));
    EXPECT_FALSE(undo->isEnabled()) << "one level deep";
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(GridWork, NoNumberDateOrTimeIsCutWhateverTheStoredWidthsAndTheFont)
{
    // A layout stored over another table, with every column narrow.
    view::GridLayout stored;
    for (const char* field : {"N", "DATE", "TIME", "P", "R"}) {
        view::ColumnLayout narrow;
        narrow.fieldName = QString::fromLatin1(field);
        narrow.width = 12;
        stored.columns.push_back(narrow);
    }
    settings.setGridLayout(QStringLiteral("Table_1"), stored.toText());
    auto w = openWith({{{"N", "54446"}, {"DATE", "01.03.2024"}, {"TIME", "17:27:58"}, {"P", "12345.6"}, {"R", "150"}},
                       {{"N", "7"}, {"DATE", "09.06.2024"}, {"TIME", "08:31:05"}, {"P", "9.5"}, {"R", "33"}}});
    view::GridView& grid = *w->activeGrid();
    const auto expectWhole = [&grid](const char* when) {
        const QFontMetrics metrics(grid.font());
        for (const table::Field field : {table::Field::N, table::Field::DATE, table::Field::TIME, table::Field::P}) {
            const int c = grid.measurementModel().columnOf(field);
            for (int row = 0; row < grid.model()->rowCount(); ++row) {
                const QString shown = grid.model()->index(row, c).data().toString();
                EXPECT_GT(grid.columnWidth(c), metrics.horizontalAdvance(shown))
                    << when << ": " << shown.toStdString() << " in a column of " << grid.columnWidth(c);
            }
        }
    };
    expectWhole("stored narrow widths");
    const QFont original = grid.font();
    QFont larger = grid.font();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    grid.setFont(larger);
    expectWhole("a font twice as large");
    // Titles give way to values; a title cut at its column's edge is whole in its tooltip.
    const int base = grid.measurementModel().columnOf(table::Field::R);
    EXPECT_EQ(grid.model()->headerData(base, Qt::Horizontal, Qt::ToolTipRole),
              grid.model()->headerData(base, Qt::Horizontal, Qt::DisplayRole));

    // Stored widths follow the font they were taken in, through the stored text too.
    const int largeUnit = grid.fontMetrics().averageCharWidth();
    const auto taken = view::GridLayout::fromText(grid.layout().toText());
    ASSERT_TRUE(taken);
    grid.setFont(original);
    const int smallUnit = grid.fontMetrics().averageCharWidth();
    ASSERT_LT(smallUnit, largeUnit);
    grid.applyLayout(*taken);
    const int comment = grid.measurementModel().columnOf(table::Field::COMMENT);
    EXPECT_EQ(taken->columns[static_cast<std::size_t>(comment)].widthUnit, largeUnit);
    EXPECT_EQ(grid.columnWidths()[static_cast<std::size_t>(comment)],
              taken->columns[static_cast<std::size_t>(comment)].width * smallUnit / largeUnit);
    expectWhole("the stored widths of a larger font");

    // A footer figure is shown whole: its column widens for it.
    const int n = grid.measurementModel().columnOf(table::Field::N);
    w->activeFooter()->setText(table::Field::N, QStringLiteral("120000"));
    EXPECT_GT(grid.columnWidth(n), w->activeFooter()->fontMetrics().horizontalAdvance(QStringLiteral("120000")));
}

// After a delete or a renumbering the grid does not measure the rows again: the rows left are no wider,
// and the numbers a renumbering gives have their widest in the last of them.
TEST_F(GridWork, NumbersStayWholeAfterADeleteAndARenumberingThatWidensThem)
{
    view::GridLayout stored;
    stored.columns.push_back(storedColumn(QStringLiteral("N"), 12));
    settings.setGridLayout(QStringLiteral("Table_1"), stored.toText());
    constexpr int kRows = 1200; // numbered 1 to 1200 after a renumbering: four digits where one was
    std::vector<Values> rows(kRows, {{"N", "1"}, {"P", "25.5"}});
    rows[7]["P"] = "123456.7";
    auto w = openWith(rows);
    view::GridView& grid = *w->activeGrid();
    const int n = grid.measurementModel().columnOf(table::Field::N);
    const int p = grid.measurementModel().columnOf(table::Field::P);
    const auto expectWhole = [&](int c, const QString& widest, const char* when) {
        EXPECT_GT(grid.columnWidth(c), QFontMetrics(grid.font()).horizontalAdvance(widest))
            << when << ": " << widest.toStdString() << " in a column of " << grid.columnWidth(c);
    };
    mark(grid, {3});
    w->command(QStringLiteral("N34"))->trigger();
    ASSERT_EQ(grid.model()->rowCount(), kRows - 1);
    expectWhole(p, grid.model()->index(6, p).data().toString(), "after a delete");
    w->command(QStringLiteral("N37"))->trigger();
    const QString last = grid.model()->index(kRows - 2, n).data().toString();
    ASSERT_EQ(last, QStringLiteral("1199"));
    expectWhole(n, last, "after a renumbering");
}

TEST_F(GridWork, AColouredColumnKeepsItsTextReadableInADarkPalette)
{
    const QPalette before = QApplication::palette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark);
    auto w = openWith({{{"N", "1"}, {"P", "12.5"}}});
    view::GridView& grid = *w->activeGrid();
    const int p = grid.measurementModel().columnOf(table::Field::P);
    grid.setCurrentIndex(grid.model()->index(0, p));
    const struct
    {
        QColor background;
        QColor text;
    } cases[] = {{QColor(Qt::yellow), QColor(Qt::black)},
                 {QColor(0, 0, 128), QColor(Qt::white)},
                 {QColor(Qt::white), QColor(Qt::black)},
                 {QColor(Qt::black), QColor(Qt::white)}};
    for (const auto& c : cases) {
        dialogs.colors = {c.background};
        w->command(QStringLiteral("N29"))->trigger();
        const QModelIndex cell = grid.model()->index(0, p);
        EXPECT_EQ(grid.model()->data(cell, Qt::BackgroundRole).value<QColor>(), c.background);
        EXPECT_EQ(grid.model()->data(cell, Qt::ForegroundRole).value<QColor>(), c.text)
            << c.background.name().toStdString();
    }
    EXPECT_FALSE(grid.model()->data(grid.model()->index(0, 0), Qt::ForegroundRole).isValid())
        << "an uncoloured column keeps the palette's text";
    QApplication::setPalette(before);
}

TEST_F(GridWork, LayoutsSurviveCloseReopenAndRestart)
{
    const QColor teal(0, 128, 128);
    {
        auto w = openWith({{{"N", "1"}}});
        EXPECT_FALSE(settings.gridLayout(QStringLiteral("Table_1")).isEmpty()) << "stored at the first open";
        EXPECT_FALSE(settings.gridLayout(QStringLiteral("Table_2")).isEmpty());
        view::GridView& grid = *w->activeGrid();
        const auto& widths = grid.columnWidths();
        EXPECT_LT(std::count(widths.begin(), widths.end(), widths.front()), static_cast<long>(widths.size()))
            << "columns sized to their contents when nothing was stored";

        grid.setCurrentIndex(grid.model()->index(0, 2));
        dialogs.colors = {teal};
        w->command(QStringLiteral("N29"))->trigger();
        dialogs.colors = {QColor(Qt::red)};
        w->command(QStringLiteral("N17"))->trigger();
        EXPECT_EQ(dialogs.colorDialogStarts, (std::vector<QColor>{QColor(Qt::white), teal}))
            << "the dialog opens on the column's colour, white where it has none";
        grid.setCurrentIndex(grid.model()->index(0, 3));
        w->command(QStringLiteral("N29"))->trigger(); // cancelled
        EXPECT_EQ(dialogs.colorDialogStarts.back(), QColor(Qt::white));
        w->command(QStringLiteral("N30"))->trigger();
        grid.setCurrentIndex(grid.model()->index(0, 2));
        w->closeTable();
        ASSERT_TRUE(w->openTablePath(path("rows.db")));
        EXPECT_EQ(w->activeGrid()->measurementModel().look(2).color, QColor(Qt::red));
        EXPECT_FALSE(w->activeGrid()->measurementModel().look(3).color.isValid());
        w->close();
    }
    // A new window over the same settings: the program started again.
    auto w = makeWindow(port);
    w->show();
    ASSERT_TRUE(w->openTablePath(path("rows.db")));
    EXPECT_EQ(w->activeGrid()->measurementModel().look(2).color, QColor(Qt::red));
    w->command(QStringLiteral("N31"))->trigger();
    EXPECT_FALSE(w->activeGrid()->measurementModel().look(2).color.isValid());
}

TEST_F(GridWork, StoredLayoutsNamingUnknownFieldsOrUnreadableAreHandled)
{
    view::GridLayout stored;
    stored.columns.push_back(storedColumn(QStringLiteral("NO_SUCH"), 300));
    stored.columns.push_back(storedColumn(QStringLiteral("p"), 200));
    stored.columns.back().titleState = view::TitleState::SortedDown;
    stored.columns.back().color = QColor(Qt::yellow);
    settings.setGridLayout(QStringLiteral("Table_1"), stored.toText());
    settings.setGridLayout(QStringLiteral("Table_2"), QStringLiteral("не макет"));

    auto w = openWith({{{"N", "1"}}});
    view::GridView& grid = *w->activeGrid();
    const int p = grid.measurementModel().columnOf(table::Field::P);
    EXPECT_EQ(grid.columnWidths()[static_cast<std::size_t>(p)], 200);
    EXPECT_EQ(grid.measurementModel().look(p).color, QColor(Qt::yellow));
    EXPECT_EQ(grid.gridHeader().titleState(p), view::TitleState::SortedNone)
        << "the table opens unsorted, so a stored mark would tell an untruth";
    EXPECT_TRUE(!w->workspace().sortMark(w->workspace().page().value_or(table::RecordKind::Ultrasonic)));
    EXPECT_TRUE(view::GridLayout::fromText(settings.gridLayout(QStringLiteral("Table_2"))))
        << "an unreadable layout is replaced by an equalised one";
}

TEST_F(GridWork, ColumnsFillTheGridAfterTheUserWidensOne)
{
    auto w = openWith({{{"N", "1"}}});
    view::GridView& grid = *w->activeGrid();
    const auto total = [&] {
        int sum = 0;
        for (int c = 0; c < grid.model()->columnCount(); ++c)
            sum += grid.columnWidth(c);
        return sum;
    };
    ASSERT_EQ(total(), grid.viewport()->width());
    const int wider = grid.columnWidth(3) + 60;
    grid.horizontalHeader()->resizeSection(3, wider); // as a drag of its border does
    EXPECT_NEAR(grid.columnWidth(3), wider, 2);
    EXPECT_EQ(total(), grid.viewport()->width()) << "the others gave up the room";
    w->command(QStringLiteral("N27"))->trigger();
    EXPECT_EQ(grid.columnWidths()[3], grid.columnWidths()[0]) << "Выровнять столбцы";
}

TEST(GridLayoutText, RoundTripsAndRefusesWhatItDidNotWrite)
{
    view::GridLayout layout;
    layout.columns.push_back(storedColumn(QStringLiteral("N"), 61));
    QFont font(QStringLiteral("Liberation Sans"), 11);
    font.setBold(true);
    layout.columns.push_back({QStringLiteral("COMMENT"), 45, 1, view::TitleState::SortedUp, QColor(0x12, 0x34, 0x56),
                              Qt::AlignRight | Qt::AlignVCenter, font});
    const QString text = layout.toText();
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("Width = 45"))) << "defaults are left out";
    EXPECT_EQ(view::GridLayout::fromText(text), layout);
    EXPECT_EQ(view::GridLayout::fromText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))), layout);
    EXPECT_EQ(view::GridLayout::fromText(view::GridLayout{}.toText()), view::GridLayout{});

    for (const char* bad : {"", "object GridLayout\r\n",
                            "object GridLayout\r\n  Data = <\r\n    item\r\n      Width = 9\r\n    end>\r\nend\r\n",
                            "object GridLayout\r\n  Data = <\r\n    item\r\n      FieldName = 'N'\r\n      Width = "
                            "-3\r\n    end>\r\nend\r\n",
                            "object GridLayout\r\n  Data = <>\r\nend\r\nextra\r\n"}) {
        EXPECT_FALSE(view::GridLayout::fromText(QString::fromLatin1(bad))) << bad;
    }
}

} // namespace

namespace {

TEST_F(GridWork, TheTitleRowGrowsToTheLinesOfItsLongestTitle)
{
    auto w = openWith({{{"N", "1"}}});
    view::GridView& grid = *w->activeGrid();
    view::GridHeader& header = grid.gridHeader();
    const int t = grid.measurementModel().columnOf(table::Field::P); // "Время прохождения УЗК, Т, мкс"
    ASSERT_GE(t, 0);
    grid.setColumnWidth(t, header.fontMetrics().horizontalAdvance(QStringLiteral("прохождения")) + 12);
    QCoreApplication::processEvents();
    const int lines = header.linesOf(t);
    EXPECT_GE(lines, 3) << "the title needs three lines in a narrow column";
    EXPECT_GE(header.height(), lines * header.fontMetrics().lineSpacing()) << "and the row shows them all";
}

} // namespace

namespace {

TEST_F(GridWork, OnTheFirstOpenColumnsFitTheirContentsAndNumbersAreNeverCut)
{
    auto w = openWith({{{"N", "54446"},
                        {"P", "1234.5"},
                        {"D9", "99999"},
                        {"R", "1500"},
                        {"D2", table::cp1251::fromUnicode(u"Поверхностное").toStdString()}},
                       {{"N", "7"}, {"P", "3.2"}}});
    view::GridView& grid = *w->activeGrid();
    const QFontMetrics metrics(grid.font());
    const std::vector<QString> widestTexts = grid.measurementModel().widestTexts();
    for (int c = 0; c < grid.model()->columnCount(); ++c) {
        // Numbers and texts alike, as long as the window's width holds every cell.
        const QString& widest = widestTexts[static_cast<std::size_t>(c)];
        EXPECT_GE(grid.columnWidth(c), metrics.horizontalAdvance(widest)) << widest.toStdString();
    }
    // A narrow window: the numbers keep their room, the grid scrolls instead.
    w->resize(300, 400);
    QCoreApplication::processEvents();
    const int n = grid.measurementModel().columnOf(table::Field::N);
    EXPECT_GE(grid.columnWidth(n), metrics.horizontalAdvance(QStringLiteral("54446")));
}

} // namespace

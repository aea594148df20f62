// The report commands in the window: the layout chosen for the page and the instrument, rows in the
// grid's order, printing without a printer, and the preview window's controls.
#include "app/reportpageview.h"
#include "app/reportpreviewdialog.h"
#include "mainwindowfixture.h"
#include "support/dbffilebuilder.h"

#include <QAction>
#include <QComboBox>
#include <QPrinterInfo>
#include <QSignalSpy>
#include <QTest>

using namespace darni;
using Values = std::map<std::string, std::string>;

namespace {

class ReportCommands : public darni::testing::MainWindowTest
{
protected:
    std::unique_ptr<app::MainWindow> openWith(const std::vector<Values>& rows)
    {
        darni::testing::DbfFileBuilder b(darni::testing::measurementFields());
        for (const Values& v : rows)
            b.record(v);
        b.writeTo(path("rows.db"));
        auto w = makeWindow(port);
        w->show();
        EXPECT_TRUE(w->openTablePath(path("rows.db")));
        return w;
    }
    // The first column of the data rows of a composed report.
    static QStringList numbers(const output::report::ComposedReport& r)
    {
        QStringList n;
        for (const auto& page : r.pages) {
            for (const auto& cell : page.cells) {
                if (cell.font == output::report::CellFont::Data && cell.rect.x() == r.layout->columns.front().x)
                    n << cell.lines.join(u' ');
            }
        }
        return n;
    }
};

TEST_F(ReportCommands, ThePageAndTheInstrumentChooseTheLayout)
{
    {
        auto w = openWith({{{"N", "1"}, {"NB_TYPE", "0"}}, {{"N", "2"}, {"NB_TYPE", "1"}}});
        w->command(QStringLiteral("N8"))->trigger();
        ASSERT_EQ(dialogs.previews.size(), 1u);
        EXPECT_STREQ(dialogs.previews[0].layout->name, "Report2") << "the pull-off page";
        EXPECT_EQ(numbers(dialogs.previews[0]), QStringList{QStringLiteral("2")});
        w->closeTable();
    }
    auto w = openWith({{{"N", "1"}, {"DEV_TYPE", "13"}}});
    w->command(QStringLiteral("N8"))->trigger();
    ASSERT_EQ(dialogs.previews.size(), 2u);
    EXPECT_STREQ(dialogs.previews[1].layout->name, "Report3") << "device type 13 on the ultrasonic page";
}

TEST_F(ReportCommands, RowsFollowTheGridsOrderAndPrintingNeedsAPrinter)
{
    auto w = openWith({{{"N", "1"}, {"P", "5"}}, {{"N", "2"}, {"P", "9"}}, {{"N", "3"}, {"P", "7"}}});
    view::GridView& grid = *w->activeGrid();
    const int p = grid.measurementModel().columnOf(table::Field::P);
    grid.gridHeader().setTitleState(p, view::TitleState::SortedUp);
    Q_EMIT grid.gridHeader().titleStateChanged(p, view::TitleState::SortedUp);
    w->command(QStringLiteral("N8"))->trigger();
    ASSERT_EQ(dialogs.previews.size(), 1u);
    EXPECT_EQ(numbers(dialogs.previews[0]),
              (QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("1")}));
    EXPECT_STREQ(dialogs.previews[0].layout->name, "Report1");

    w->command(QStringLiteral("N9"))->trigger();
    w->command(QStringLiteral("N22"))->trigger();
    EXPECT_EQ(dialogs.printDialogs, QPrinterInfo::availablePrinterNames().isEmpty() ? 0 : 2)
        << "without a printer nothing is asked";
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ReportCommands, ThePreviewOffersZoomPrintHelpAndCloseOnly)
{
    auto w = openWith({{{"N", "1"}}});
    w->command(QStringLiteral("N8"))->trigger();
    ASSERT_EQ(dialogs.previews.size(), 1u);
    app::ReportPreviewDialog preview(*dialogs.previewed[0], dialogs);
    preview.show();
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("Предварительный просмотр"));
    EXPECT_TRUE(preview.isModal());
    QStringList actions;
    for (const QAction* a : preview.findChildren<QAction*>()) {
        if (!a->objectName().isEmpty())
            actions << a->objectName();
    }
    actions.sort();
    EXPECT_EQ(actions, (QStringList{QStringLiteral("PreviewClose"), QStringLiteral("PreviewHelp"),
                                    QStringLiteral("PreviewPrint")}));
    auto* zoom = preview.findChild<QComboBox*>(QStringLiteral("ZoomBox"));
    ASSERT_NE(zoom, nullptr);
    EXPECT_GE(zoom->count(), 4);
    zoom->setCurrentIndex(zoom->count() - 1);
    EXPECT_EQ(preview.pages().pageCount(), 1);
}

TEST_F(ReportCommands, ALongPageShowsItsFirstPageAtOnceAndHoldsOnlyThePagesNearTheView)
{
    std::vector<Values> rows;
    for (int n = 1; n <= 3000; ++n)
        rows.push_back({{"N", std::to_string(n)}});
    auto w = openWith(rows);
    w->command(QStringLiteral("N8"))->trigger();
    ASSERT_EQ(dialogs.previewed.size(), 1u);
    app::ReportPreviewDialog preview(*dialogs.previewed[0], dialogs);
    QSignalSpy shown(&preview.pages(), &app::ReportPageView::pageShown);
    preview.resize(900, 700);
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    QCoreApplication::processEvents();
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.first().first().toInt(), 1) << "the first page first";
    const int pages = preview.pages().pageCount();
    EXPECT_GT(pages, 100);
    EXPECT_LE(preview.pages().pagesHeld(), 12) << "not the whole report";

    // The pages have the keyboard: End goes to the last page, Home back to the first.
    QTest::keyClick(&preview.pages(), Qt::Key_End);
    QCoreApplication::processEvents();
    EXPECT_EQ(preview.pages().currentPage(), pages);
    EXPECT_LE(preview.pages().pagesHeld(), 12);
    QTest::keyClick(&preview.pages(), Qt::Key_Home);
    EXPECT_EQ(preview.pages().currentPage(), 1);
    // + and − zoom, and the page stays in view.
    preview.pages().showPage(50);
    const double zoom = preview.pages().zoomFactor();
    QTest::keyClick(&preview.pages(), Qt::Key_Plus);
    EXPECT_GT(preview.pages().zoomFactor(), zoom);
    EXPECT_EQ(preview.pages().currentPage(), 50);
    QTest::keyClick(&preview.pages(), Qt::Key_Minus);
    QTest::keyClick(&preview.pages(), Qt::Key_Minus);
    EXPECT_LT(preview.pages().zoomFactor(), zoom);
    EXPECT_EQ(preview.pages().currentPage(), 50);
}

} // namespace

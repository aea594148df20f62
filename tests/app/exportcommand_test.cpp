// "Экспорт в Excel" in the window: the dialog, the sort reset, the file, and the two messages.
#include "mainwindowfixture.h"
#include "support/dbffilebuilder.h"
#include "support/workbookreader.h"

#include <QFile>

using namespace darni;

namespace {

class ExportCommand : public darni::testing::MainWindowTest
{
protected:
    std::unique_ptr<app::MainWindow> openWith(int rows)
    {
        darni::testing::DbfFileBuilder b(darni::testing::measurementFields());
        for (int i = 1; i <= rows; ++i)
            b.record({{"N", std::to_string(i)}, {"P", std::to_string(10 - i)}});
        b.writeTo(path("rows.db"));
        auto w = makeWindow(port);
        w->show();
        EXPECT_TRUE(w->openTablePath(path("rows.db")));
        return w;
    }
};

TEST_F(ExportCommand, WritesTheWorkbookInFileOrderAndNamesOnlyTheFile)
{
    auto w = openWith(3);
    view::GridView& grid = *w->activeGrid();
    const int p = grid.measurementModel().columnOf(table::Field::P);
    grid.gridHeader().setTitleState(p, view::TitleState::SortedDown);
    Q_EMIT grid.gridHeader().titleStateChanged(p, view::TitleState::SortedDown);
    ASSERT_EQ(grid.model()->index(0, 0).data().toString(), QStringLiteral("3")) << "sorted by P ascending";

    dialogs.fileNames = {path("out.xls")};
    w->command(QStringLiteral("Excel1"))->trigger();
    EXPECT_EQ(dialogs.fileDialogFilters.last(), QStringLiteral("Книга Excel|*.xls"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("Экспорт в Excel"));
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("Экспорт в файл out.xls завершен успешно."));
    EXPECT_EQ(dialogs.messages[0].icon, app::UserDialogs::Icon::Information);
    EXPECT_EQ(grid.gridHeader().titleState(p), view::TitleState::SortedNone);
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), QStringLiteral("1")) << "file order afterwards";

    const QByteArray stream = darni::testing::compoundFileStream(path("out.xls"), QStringLiteral("Workbook"));
    std::vector<double> numbers;
    for (const auto& r : darni::testing::firstSheetRecords(stream)) {
        if (r.number == 0x0203 && darni::testing::u16At(r.data, 2) == 0) {
            double v = 0;
            std::memcpy(&v, r.data.constData() + 6, 8);
            numbers.push_back(v);
        }
    }
    EXPECT_EQ(numbers, (std::vector<double>{1, 2, 3})) << "column N in file order";
}

TEST_F(ExportCommand, CancellingDoesNothingAndAFileThatCannotBeMadeIsAnError)
{
    auto w = openWith(1);
    dialogs.fileNames = {QString()};
    w->command(QStringLiteral("Excel1"))->trigger();
    EXPECT_TRUE(dialogs.messages.empty());

    dialogs.fileNames = {path("missing/folder/out.xls")};
    w->command(QStringLiteral("Excel1"))->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("ОРНАК - ТР5"));
    EXPECT_EQ(dialogs.messages[0].icon, app::UserDialogs::Icon::Error);
    EXPECT_TRUE(dialogs.messages[0].text.endsWith(QStringLiteral("\nStgCreateDocFile error -2147287037.")))
        << "the standard box adds the full stop: " << dialogs.messages[0].text.toStdString();
}

} // namespace

// Working with the rows of a full memory's worth of table in the window: a title click on "P" until
// the first page shows in the new order, deleting 1,000 marked rows (pack and reopen included) and
// renumbering every row, each against one plain walk over the same table in the same run.
#include "benchharness.h"
#include "measurementtable.h"

#include "app/mainwindow.h"
#include "link/serialportdriver.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace darni;

namespace {

constexpr int kRows = 120000;
constexpr int kDeletedRows = 1000;
constexpr int kRepetitions = 7;
constexpr int kFirstPageRows = 40;
constexpr double kSortGoal = 4.0;
constexpr double kDeleteGoal = 3.0;
constexpr double kRenumberGoal = 3.0;

// What the first page of the grid shows, read as the view paints it.
void readFirstPage(view::GridView& grid)
{
    const QAbstractItemModel& model = *grid.model();
    for (int row = 0; row < std::min(kFirstPageRows, model.rowCount()); ++row) {
        for (int c = 0; c < model.columnCount(); ++c)
            (void)model.index(row, c).data();
    }
}

// Times `subject` after `prepare` (untimed) against a walk of the window's table, and prints the
// median of the paired ratios.
void measure(const char* name, double goal, app::MainWindow& window, const std::function<void()>& prepare,
             const std::function<void()>& subject)
{
    std::vector<double> subjects;
    std::vector<double> references;
    std::vector<double> ratios;
    volatile double sink = 0;
    for (int i = 0; i < kRepetitions; ++i) {
        prepare();
        const double s = bench::secondsOf(subject);
        const double r = bench::secondsOf([&] { sink = sink + bench::walkPage(window.document().table()); });
        window.document().table().first();
        subjects.push_back(s);
        references.push_back(r);
        ratios.push_back(s / r);
    }
    bench::printRatio(name, {bench::median(subjects), bench::median(references), bench::median(ratios)}, goal);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    const QString pristine = dir.filePath(QStringLiteral("pristine.db"));
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    bench::makeMeasurementTable(pristine, kRows);
    QFile::copy(pristine, path);

    app::QtUserDialogs dialogs;
    app::SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    link::SerialPortDriver port(link::PortNameMap::explicitDevices({}, {}));
    app::MainWindow window(dialogs, settings, port);
    window.setWindowState(Qt::WindowNoState);
    window.resize(1280, 800);
    window.show();
    if (!window.openTablePath(path)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    view::GridView& grid = *window.activeGrid();
    std::printf("view: %d rows\n", grid.model()->rowCount());

    // Each click moves the order on (descending, ascending, …), so each builds a new sort tag.
    const int p = grid.measurementModel().columnOf(table::Field::P);
    measure(
        "view.sort", kSortGoal, window, [] {},
        [&] {
            Q_EMIT grid.horizontalHeader()->sectionClicked(p);
            readFirstPage(grid);
        });
    window.command(QStringLiteral("N33"))->trigger();

    measure("view.renumber", kRenumberGoal, window, [] {}, [&] { window.command(QStringLiteral("N37"))->trigger(); });

    measure(
        "view.delete", kDeleteGoal, window,
        [&] {
            window.closeTable();
            QFile::remove(path);
            QFile::copy(pristine, path);
            window.openTablePath(path);
            // Every hundredth row, so the deleted rows are spread over the whole file.
            grid.clearSelection();
            QItemSelection marked;
            for (int i = 0; i < kDeletedRows; ++i) {
                const QModelIndex row = grid.model()->index(i * (kRows / kDeletedRows), 0);
                marked.select(row, row);
            }
            grid.selectionModel()->select(marked, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        },
        [&] { window.command(QStringLiteral("N34"))->trigger(); });
    return 0;
}

// Working with the rows of a full memory's worth of table in the window: a title click on "P" until
// the first page shows in the new order, against one plain walk over the same table; deleting 1,000
// marked rows (pack and reopen included) and renumbering rows with gaps, against the floor of any
// all-or-nothing rewrite, a synced copy of the same file renamed into place, in the same run.
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
constexpr double kSortGoal = 3.0;
constexpr double kDeleteGoal = 1.3;
constexpr double kRenumberGoal = 1.2;

// What the first page of the grid shows, read as the view paints it.
void readFirstPage(view::GridView& grid)
{
    const QAbstractItemModel& model = *grid.model();
    for (int row = 0; row < std::min(kFirstPageRows, model.rowCount()); ++row) {
        for (int c = 0; c < model.columnCount(); ++c)
            (void)model.index(row, c).data();
    }
}

// Times `subject` after `prepare` (untimed) against `reference` right after it, and prints the median
// of the paired ratios.
void measure(const char* name, double goal, const std::function<void()>& prepare, const std::function<void()>& subject,
             const std::function<void()>& reference)
{
    std::vector<double> subjects;
    std::vector<double> references;
    std::vector<double> ratios;
    for (int i = 0; i < kRepetitions; ++i) {
        prepare();
        const double s = bench::secondsOf(subject);
        const double r = bench::secondsOf(reference);
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

    // A sort against one walk of the table in memory: it reads every key and writes an index file that
    // needs no syncs.
    const auto walk = [&window] {
        volatile double sink = bench::walkRows(window.workspace().pageRows());
        (void)sink;
    };
    // Each click moves the order on (descending, ascending, …), so each builds a new sort tag.
    const int p = grid.measurementModel().columnOf(table::Field::P);
    measure(
        "view.sort", kSortGoal, [] {},
        [&] {
            Q_EMIT grid.horizontalHeader()->sectionClicked(p);
            readFirstPage(grid);
        },
        walk);
    window.command(QStringLiteral("N33"))->trigger();

    // Deleting and renumbering rewrite the table all or nothing: against copying the same file with the
    // syncs and the rename that such a rewrite cannot skip.
    const std::string floorCopy = dir.filePath(QStringLiteral("floor.db")).toStdString();
    const auto copyFloor = [&] { bench::copyAndSync(path.toStdString(), floorCopy); };
    const auto markSpreadRows = [&] {
        // Every hundredth row, so the marked rows are spread over the whole file.
        grid.clearSelection();
        QItemSelection marked;
        for (int i = 0; i < kDeletedRows; ++i) {
            const QModelIndex row = grid.model()->index(i * (kRows / kDeletedRows), 0);
            marked.select(row, row);
        }
        grid.selectionModel()->select(marked, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    const auto reopenPristine = [&] {
        window.closeTable();
        QFile::remove(path);
        QFile::copy(pristine, path);
        window.openTablePath(path);
    };
    measure(
        "view.delete", kDeleteGoal,
        [&] {
            reopenPristine();
            markSpreadRows();
        },
        [&] { window.command(QStringLiteral("N34"))->trigger(); }, copyFloor);

    // Renumbering has work only where the numbers have gaps: a thousand rows deleted first, untimed.
    measure(
        "view.renumber", kRenumberGoal,
        [&] {
            reopenPristine();
            markSpreadRows();
            window.command(QStringLiteral("N34"))->trigger();
        },
        [&] { window.command(QStringLiteral("N37"))->trigger(); }, copyFloor);
    return 0;
}

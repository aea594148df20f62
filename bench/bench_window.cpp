// Opening a 120 000-row table in the window: the time until the grid has painted its first rows, and
// the program's peak memory, against the same open in `darni-cli info`, each in a process of its own.
#include "benchharness.h"
#include "measurementtable.h"

#include "app/mainwindow.h"
#include "app/userdialogs.h"
#include "link/serialportdriver.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <vector>

using namespace darni;

namespace {

constexpr int kRows = 120000;
constexpr int kRepetitions = 5;
constexpr double kFirstRowsGoal = 2.0;
constexpr double kExtraMibGoal = 64.0;
const char* const kWindowMode = "--open-in-window";

// The child: the window opens the table and ends as soon as the grid has painted rows.
int openInWindow(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    app::QtUserDialogs dialogs;
    app::SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    link::SerialPortDriver port(link::PortNameMap::explicitDevices({}, {}));
    app::MainWindow window(dialogs, settings, port);
    window.setWindowState(Qt::WindowNoState);
    window.resize(1280, 800);
    window.show();
    if (!window.openTablePath(QString::fromLocal8Bit(argv[2])))
        return 1;
    QWidget* rows = window.activeGrid()->viewport();
    struct FirstPaint : QObject
    {
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint)
                QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
            return false;
        }
    } watcher;
    rows->installEventFilter(&watcher);
    rows->update();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], kWindowMode) == 0)
        return openInWindow(argc, argv);

    QTemporaryDir dir;
    const QString table = dir.filePath(QStringLiteral("big.db"));
    bench::makeMeasurementTable(table, kRows);
    const std::string self = argv[0];

    std::vector<double> times;
    std::vector<double> windowTimes;
    std::vector<double> infoTimes;
    std::vector<double> extra;
    for (int i = 0; i < kRepetitions; ++i) {
        const bench::Measured info = bench::runMeasured({DARNI_CLI, "info", table.toStdString()});
        const bench::Measured window = bench::runMeasured({self, kWindowMode, table.toStdString()});
        infoTimes.push_back(info.seconds);
        windowTimes.push_back(window.seconds);
        times.push_back(window.seconds / info.seconds);
        extra.push_back(window.peakMib - info.peakMib);
        std::printf("window %.3f s %.1f MiB, info %.3f s %.1f MiB\n", window.seconds, window.peakMib, info.seconds,
                    info.peakMib);
    }
    bench::printRatio("window.first_rows", {bench::median(windowTimes), bench::median(infoTimes), bench::median(times)},
                      kFirstRowsGoal);
    std::printf("RATIO window.extra_mib %.1f goal <= %g\n", bench::median(extra), kExtraMibGoal);
    return 0;
}

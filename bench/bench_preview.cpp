// The report preview of a 120,000-row page: the time until its first page is on screen, as a ratio to
// composing one page in the same run, and the memory the process still holds once the preview is
// closed, above what it held before it opened.
#include "benchharness.h"
#include "measurementtable.h"

#include "app/reportpageview.h"
#include "app/reportpreviewdialog.h"
#include "app/userdialogs.h"
#include "output/report/pagecomposer.h"
#include "output/report/reportlayout.h"
#include "table/dbftable.h"

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

using namespace darni;

namespace {

constexpr int kRows = 120000;
constexpr int kRepetitions = 5;
constexpr double kFirstPageGoal = 3.0;
constexpr double kExtraMibGoal = 16.0;

// The dialogs the preview could open; the benchmark opens none.
class NoDialogs : public app::UserDialogs
{
public:
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    using UserDialogs::message;
    void message(QWidget*, Icon, const QString&, const QString&, const QString&) override {}
    bool askYesNo(QWidget*, const QString&, const QString&) override { return false; }
    Answer askYesNoCancel(QWidget*, const QString&, const QString&) override { return Answer::Cancel; }
    QColor chooseColor(QWidget*, const QColor&) override { return {}; }
    bool choosePrinter(QWidget*, QPrinter&) override { return false; }
    void previewReport(QWidget*, const output::report::PageByPageReport&) override {}
    void showCharts(QWidget*, const output::ChartData&, const QString&) override {}
};

// Opens the preview, waits until its first page is drawn, and closes it.
void previewFirstPage(table::DbfTable& t, NoDialogs& dialogs)
{
    const output::report::PageByPageReport report(t.view(), output::report::report1());
    app::ReportPreviewDialog preview(report, dialogs);
    QEventLoop shown;
    QObject::connect(&preview.pages(), &app::ReportPageView::pageShown, &shown, &QEventLoop::quit);
    preview.show();
    shown.exec();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    const QString tablePath = dir.filePath(QStringLiteral("bench.db"));
    table::DbfTable t;
    bench::openWalkedPage(t, tablePath, kRows);
    NoDialogs dialogs;
    previewFirstPage(t, dialogs); // fonts and the platform's first-use work are not the preview's

    const double before = bench::currentResidentMib();
    const auto c = bench::compare(
        kRepetitions, [&] { previewFirstPage(t, dialogs); },
        [&] {
            const output::report::PageByPageReport report(t.view(), output::report::report1());
            volatile auto cells = report.page(0).cells.size();
            (void)cells;
        });
    const double extra = bench::currentResidentMib() - before;
    std::printf("preview: %d rows; first page on screen in %.3f s, composing one page %.4f s (medians)\n", kRows,
                c.subjectSeconds, c.referenceSeconds);
    bench::printRatio("report.preview_first_page", c, kFirstPageGoal);
    std::printf("report.preview_extra_mib: %.1f MiB held after %d previews closed\n", extra, kRepetitions);
    std::printf("RATIO report.preview_extra_mib %.1f goal <= %g\n", extra, kExtraMibGoal);
    return 0;
}

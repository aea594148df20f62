// Composing and rendering the ОРНАК-ТР5 report of 10,000 rows to PDF: pages per second, time against
// writing the same number of bytes sequentially in the same run, and the peak memory above that of the
// open, walked table.
#include "benchharness.h"
#include "measurementtable.h"

#include "output/report/pagecomposer.h"
#include "output/report/reportpainter.h"
#include "table/dbftable.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace darni;

namespace {

constexpr int kRows = 10000;
constexpr int kRepetitions = 5;
constexpr double kExtraMibGoal = 64.0;

std::size_t printReport(table::DbfTable& t, const QString& pdf)
{
    const auto report = output::report::composeReport(t.view(), output::report::report1());
    output::report::writeReportPdf(*report, pdf);
    return report->pages.size();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QTemporaryDir dir;
    const QString tablePath = dir.filePath(QStringLiteral("bench.db"));
    const QString pdf = dir.filePath(QStringLiteral("bench.pdf"));
    bench::makeMeasurementTable(tablePath, kRows);

    table::DbfTable t;
    t.open(tablePath);
    t.setFilter(table::RowFilter::recordKind(0));
    volatile double sink = bench::walkPage(t);
    (void)sink;
    const double before = bench::peakResidentMib();
    const std::size_t pages = printReport(t, pdf);
    const double extra = bench::peakResidentMib() - before;
    const long bytes = static_cast<long>(QFileInfo(pdf).size());
    std::printf("report: %d rows, %zu pages, %ld bytes of PDF\n", kRows, pages, bytes);

    const std::string raw = dir.filePath(QStringLiteral("raw.bin")).toStdString();
    const auto c = bench::compare(kRepetitions, [&] { printReport(t, pdf); }, [&] { bench::writeSequentially(raw, bytes); });
    std::printf("report.pages_per_second: %.0f (median %.3f s for %zu pages)\n",
                static_cast<double>(pages) / c.subjectSeconds, c.subjectSeconds, pages);
    std::printf("report.vs_write: %.1f times the time of writing the PDF's bytes (no goal; for the record)\n",
                c.ratio);
    std::printf("report.extra_mib: %.1f MiB above the open table (peak %.1f MiB)\n", extra, before + extra);
    std::printf("RATIO report.extra_mib %.1f goal <= %g\n", extra, kExtraMibGoal);
    return 0;
}

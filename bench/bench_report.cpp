// Composing and rendering the ОРНАК-ТР5 report of 10,000 rows to PDF: pages per second, time against
// writing the same number of bytes sequentially in the same run, the peak memory above that of the
// open, walked table, and the time against LibreOffice turning the same page, exported as .xls, into a
// PDF (the office suite a user would otherwise print the table from); and of 120,000 rows: the memory
// printing holds, and the time per row against that of 10,000.
#include "benchharness.h"
#include "measurementtable.h"

#include "files/heaptuning.h"
#include "output/excelexport.h"
#include "output/report/pagecomposer.h"
#include "output/report/reportpainter.h"
#include "table/dbftable.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>
#include <optional>
#include <vector>

using namespace darni;

namespace {

constexpr int kRows = 10000;
constexpr int kRepetitions = 5;
constexpr double kExtraMibGoal = 64.0;
constexpr int kLongRows = 120000;
constexpr int kLongRepetitions = 3;
constexpr double kPrintExtraMibGoal = 64.0;
constexpr double kScalingGoal = 1.1;
// The office suite takes seconds per run; fewer runs give a median as steady.
constexpr int kOfficeRepetitions = 3;
constexpr double kVsOfficeGoal = 0.3;
constexpr int kOfficeTimeoutMs = 300000;

// LibreOffice turning the workbook into a PDF, with a profile of its own so that no user setting and no
// first-start work of the user's profile enters the figure. False when it failed.
bool officeToPdf(const QString& soffice, const QString& profile, const QString& workbook, const QString& outDir)
{
    QProcess office;
    office.start(soffice, {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
                           QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                           QStringLiteral("--outdir"), outDir, workbook});
    return office.waitForFinished(kOfficeTimeoutMs) && office.exitCode() == 0;
}

// As "Печать" and `darni-cli print` do: each page composed just before it is drawn.
std::size_t printReport(table::DbfTable& t, const QString& pdf)
{
    const output::report::PageByPageReport report(t.view(), output::report::report1());
    output::report::writeReportPdf(report, pdf);
    return static_cast<std::size_t>(report.pageCount());
}

} // namespace

int main(int argc, char** argv)
{
    // The heap as the program and darni-cli set it up when they start.
    files::keepLargeBuffersForReuse();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QTemporaryDir dir;
    const QString tablePath = dir.filePath(QStringLiteral("bench.db"));
    const QString pdf = dir.filePath(QStringLiteral("bench.pdf"));
    table::DbfTable t;
    bench::openWalkedPage(t, tablePath, kRows);
    const double before = bench::peakResidentMib();
    const std::size_t pages = printReport(t, pdf);
    const double extra = bench::peakResidentMib() - before;
    const long bytes = static_cast<long>(QFileInfo(pdf).size());
    std::printf("report: %d rows, %zu pages, %ld bytes of PDF\n", kRows, pages, bytes);

    const std::string raw = dir.filePath(QStringLiteral("raw.bin")).toStdString();
    const auto c = bench::compare(
        kRepetitions, [&] { printReport(t, pdf); }, [&] { bench::writeSequentially(raw, bytes); });
    std::printf("report.pages_per_second: %.0f (median %.3f s for %zu pages)\n",
                static_cast<double>(pages) / c.subjectSeconds, c.subjectSeconds, pages);
    std::printf("report.vs_write: %.1f times the time of writing the PDF's bytes (no goal; for the record)\n", c.ratio);
    std::printf("report.extra_mib: %.1f MiB above the open table (peak %.1f MiB)\n", extra, before + extra);
    // Where the time goes: laying the pages out, and drawing them into the PDF.
    std::optional<output::report::ComposedReport> composed;
    const double composing =
        bench::secondsOf([&] { composed = output::report::composeReport(t.view(), output::report::report1()); });
    const double drawing = bench::secondsOf([&] { output::report::writeReportPdf(*composed, pdf); });
    std::printf("report.split: composing %.3f s, drawing %.3f s\n", composing, drawing);
    std::printf("RATIO report.extra_mib %.1f goal <= %g\n", extra, kExtraMibGoal);

    // A long page: the memory printing holds above the open table (whose mapping is counted in what
    // it held before), and the time per row against that of the short page.
    table::DbfTable big;
    bench::openWalkedPage(big, dir.filePath(QStringLiteral("big.db")), kLongRows);
    const double bigBefore = bench::peakResidentMib();
    std::vector<double> longTimes{bench::secondsOf([&] { printReport(big, pdf); })};
    const double printExtra = bench::peakResidentMib() - bigBefore;
    for (int i = 1; i < kLongRepetitions; ++i)
        longTimes.push_back(bench::secondsOf([&] { printReport(big, pdf); }));
    const double scaling = (bench::median(longTimes) / kLongRows) / (c.subjectSeconds / kRows);
    std::printf("report.print: %d rows in %.2f s (median), %d rows in %.3f s\n", kLongRows, bench::median(longTimes),
                kRows, c.subjectSeconds);
    std::printf("RATIO report.print_extra_mib %.1f goal <= %g\n", printExtra, kPrintExtraMibGoal);
    std::printf("RATIO report.print_scaling %.2f goal <= %g\n", scaling, kScalingGoal);

    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        std::printf("report.vs_libreoffice: LibreOffice is not installed (tools/install-deps --bench installs it)\n");
        std::printf("RATIO report.vs_libreoffice n/a goal <= %g\n", kVsOfficeGoal);
        return 0;
    }
    const QString workbook = dir.filePath(QStringLiteral("page.xls"));
    const QString profile = dir.filePath(QStringLiteral("office-profile"));
    const QString officeOut = dir.filePath(QStringLiteral("office"));
    QDir().mkpath(officeOut);
    output::exportToExcel(t.view(), workbook);
    // Once before measuring: the profile is made on the first start.
    if (!officeToPdf(soffice, profile, workbook, officeOut)) {
        std::printf("report.vs_libreoffice: LibreOffice did not convert the workbook\n");
        std::printf("RATIO report.vs_libreoffice n/a goal <= %g\n", kVsOfficeGoal);
        return 0;
    }
    const auto office = bench::compare(
        kOfficeRepetitions, [&] { printReport(t, pdf); }, [&] { officeToPdf(soffice, profile, workbook, officeOut); });
    std::printf("report.vs_libreoffice: ours %.1f µs per row, LibreOffice %.1f µs per row\n",
                office.subjectSeconds / kRows * 1e6, office.referenceSeconds / kRows * 1e6);
    bench::printRatio("report.vs_libreoffice", office, kVsOfficeGoal);
    return 0;
}

// "Экспорт в Excel" of a full worksheet's worth of rows (65,535), against writing the same number of
// bytes sequentially, synced and renamed into place as the export puts its file, in the same run; the
// export's peak memory above that of the open, walked table; and the export against python3-xlwt
// writing the same cells.
#include "benchharness.h"
#include "measurementtable.h"

#include "output/csvexport.h"
#include "output/excelexport.h"
#include "table/dbftable.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using namespace darni;

namespace {

constexpr int kRows = output::kMaxExportRows;
constexpr int kRepetitions = 7;
constexpr double kWriteGoal = 2.0;
constexpr double kExtraMibGoal = 8.0;
constexpr double kVsXlwtGoal = 0.035;
constexpr int kPeerRepetitions = 3;
constexpr int kPeerTimeoutMs = 600000;

// python3-xlwt's time to build and save the same cells (read from the page's CSV beforehand); nothing
// when the peer cannot run.
std::optional<double> xlwtSeconds(const QString& csv, const QString& out)
{
    QProcess peer;
    peer.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(DARNI_BENCH_DIR "/xlwt_peer.py"), csv, out});
    if (!peer.waitForFinished(kPeerTimeoutMs) || peer.exitCode() != 0)
        return std::nullopt;
    bool ok = false;
    const double seconds = peer.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? std::optional<double>(seconds) : std::nullopt;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString tablePath = dir.filePath(QStringLiteral("bench.db"));
    const QString workbook = dir.filePath(QStringLiteral("bench.xls"));
    table::DbfTable t;
    bench::openWalkedPage(t, tablePath, kRows);
    const double before = bench::peakResidentMib();
    output::exportToExcel(t.view(), workbook);
    const double extra = bench::peakResidentMib() - before;
    const long bytes = static_cast<long>(QFileInfo(workbook).size());
    std::printf("xls: %d rows, %ld bytes\n", kRows, bytes);

    const std::string raw = dir.filePath(QStringLiteral("raw.bin")).toStdString();
    const auto write = bench::compare(
        kRepetitions, [&] { output::exportToExcel(t.view(), workbook); },
        [&] { bench::writeSequentiallyAndSync(raw, bytes); });
    bench::printRatio("xls.write", write, kWriteGoal);
    std::printf("xls.extra_mib: %.1f MiB above the open table (peak %.1f MiB)\n", extra, before + extra);
    std::printf("RATIO xls.extra_mib %.1f goal <= %g\n", extra, kExtraMibGoal);

    const QString csv = dir.filePath(QStringLiteral("page.csv"));
    QFile page(csv);
    if (!page.open(QIODevice::WriteOnly) || page.write(output::pageCsv(t.view())) < 0) {
        std::printf("RATIO xls.vs_xlwt n/a goal <= %g\n", kVsXlwtGoal);
        return 0;
    }
    page.close();
    std::vector<double> peer;
    for (int i = 0; i < kPeerRepetitions; ++i) {
        const auto seconds = xlwtSeconds(csv, dir.filePath(QStringLiteral("xlwt.xls")));
        if (!seconds) {
            std::printf("xls.vs_xlwt: python3-xlwt did not run (tools/install-deps --bench installs it)\n");
            std::printf("RATIO xls.vs_xlwt n/a goal <= %g\n", kVsXlwtGoal);
            return 0;
        }
        peer.push_back(*seconds);
    }
    std::sort(peer.begin(), peer.end());
    const double theirs = peer[peer.size() / 2];
    std::printf("xls.vs_xlwt: ours %.3f s, python3-xlwt %.3f s (medians)\n", write.subjectSeconds, theirs);
    std::printf("RATIO xls.vs_xlwt %.3f goal <= %g\n", write.subjectSeconds / theirs, kVsXlwtGoal);
    return 0;
}

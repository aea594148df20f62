// "Экспорт в Excel" of a full worksheet's worth of rows (65,535), against writing the same number of
// bytes sequentially with buffered stdio in the same run; and the export's peak memory above that of
// the open, walked table.
#include "benchharness.h"
#include "measurementtable.h"

#include "output/excelexport.h"
#include "table/dbftable.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace darni;

namespace {

constexpr int kRows = output::kMaxExportRows;
constexpr int kRepetitions = 7;
constexpr double kWriteGoal = 3.0;
constexpr double kExtraMibGoal = 64.0;

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
        kRepetitions, [&] { output::exportToExcel(t.view(), workbook); }, [&] { bench::writeSequentially(raw, bytes); });
    bench::printRatio("xls.write", write, kWriteGoal);
    std::printf("xls.extra_mib: %.1f MiB above the open table (peak %.1f MiB)\n", extra, before + extra);
    std::printf("RATIO xls.extra_mib %.1f goal <= %g\n", extra, kExtraMibGoal);
    return 0;
}

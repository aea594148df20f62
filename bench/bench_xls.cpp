// "Экспорт в Excel" of a full worksheet's worth of rows (65,535), against writing the same number of
// bytes sequentially with buffered stdio in the same run; and the export's peak memory above that of
// the open, walked table.
#include "benchharness.h"
#include "measurementtable.h"

#include "output/excelexport.h"
#include "table/dbftable.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <vector>

using namespace darni;

namespace {

constexpr int kRows = output::kMaxExportRows;
constexpr int kRepetitions = 7;
constexpr double kWriteGoal = 3.0;
constexpr double kExtraMibGoal = 64.0;
constexpr double kKibPerMib = 1024.0;

double peakMib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / kKibPerMib;
}

void writeBytes(const std::string& path, long bytes)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return;
    const std::vector<char> block(64 * 1024, 'x');
    for (long done = 0; done < bytes; done += static_cast<long>(block.size()))
        std::fwrite(block.data(), 1, std::min<long>(bytes - done, static_cast<long>(block.size())), out);
    std::fclose(out);
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString tablePath = dir.filePath(QStringLiteral("bench.db"));
    const QString workbook = dir.filePath(QStringLiteral("bench.xls"));
    bench::makeMeasurementTable(tablePath, kRows);

    table::DbfTable t;
    t.open(tablePath);
    t.setFilter(table::RowFilter::recordKind(0));
    // The table as the window holds it: open, and its page walked once.
    volatile double sink = 0;
    for (bool ok = t.first(); ok; ok = t.next())
        sink = sink + t.real(table::Field::P);
    const double before = peakMib();
    output::exportToExcel(t, workbook);
    const double extra = peakMib() - before;
    const long bytes = static_cast<long>(QFileInfo(workbook).size());
    std::printf("xls: %d rows, %ld bytes\n", kRows, bytes);

    const std::string raw = dir.filePath(QStringLiteral("raw.bin")).toStdString();
    const auto write = bench::compare(
        kRepetitions, [&] { output::exportToExcel(t, workbook); }, [&] { writeBytes(raw, bytes); });
    bench::printRatio("xls.write", write, kWriteGoal);
    std::printf("xls.extra_mib: %.1f MiB above the open table (peak %.1f MiB)\n", extra, before + extra);
    std::printf("RATIO xls.extra_mib %.1f goal <= %g\n", extra, kExtraMibGoal);
    return 0;
}

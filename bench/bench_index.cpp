// Sort tags over a full memory's worth of rows: building a tag on P (reading the keys, ordering them,
// writing the index file) against std::sort of the same (key, record) pairs plus writing as many
// bytes; and the walk in tag order against the walk in file order.
#include "benchharness.h"
#include "measurementtable.h"

#include "table/dbftable.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace darni;
using namespace darni::table;

namespace {

constexpr int kRows = 120000;
constexpr int kRepetitions = 7;
constexpr double kBuildGoal = 2.0;
constexpr double kWalkGoal = 2.0;
const QString kTag = QStringLiteral("tab1");

void sortAndWrite(std::vector<std::pair<double, std::uint32_t>> pairs, const std::string& path, long bytes)
{
    std::sort(pairs.begin(), pairs.end());
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return;
    const std::vector<char> block(1024, '\0');
    for (long done = 0; done < bytes; done += static_cast<long>(block.size()))
        std::fwrite(block.data(), 1, block.size(), out);
    std::fclose(out);
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    bench::makeMeasurementTable(path, kRows);

    DbfTable t;
    t.open(path);
    t.addTag(kTag, "P", false); // warm up, and learn the index file's size
    const long indexBytes = static_cast<long>(QFileInfo(t.indexPath()).size());
    std::printf("index: %d rows, %ld bytes\n", kRows, indexBytes);

    std::vector<std::pair<double, std::uint32_t>> pairs;
    std::mt19937 random(3);
    for (std::uint32_t i = 1; i <= static_cast<std::uint32_t>(kRows); ++i)
        pairs.emplace_back(20.0 + static_cast<double>(random() % 500) / 10.0, i);
    const std::string raw = dir.filePath(QStringLiteral("raw.bin")).toStdString();

    const auto build = bench::compare(
        kRepetitions, [&] { t.replaceTag(kTag, "P", false); }, [&] { sortAndWrite(pairs, raw, indexBytes); });
    bench::printRatio("index.build", build, kBuildGoal);

    volatile double sink = 0;
    const auto ordered = bench::compare(
        kRepetitions,
        [&] {
            t.setActiveTag(kTag);
            sink = sink + bench::walkPage(t);
        },
        [&] {
            t.setActiveTag({});
            sink = sink + bench::walkPage(t);
        });
    bench::printRatio("index.walk", ordered, kWalkGoal);
    return 0;
}

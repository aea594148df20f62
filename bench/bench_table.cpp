// The table layer's two hot paths: appending decoded rows to a new table, and walking a table reading
// the two footer columns. References: writing and reading the same bytes with buffered stdio.
#include "benchharness.h"
#include "measurementtable.h"

#include "table/dbftable.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

using namespace darni;
using namespace darni::table;

namespace {

constexpr int kRows = 120000;
constexpr int kRepetitions = 7;
constexpr double kAppendGoal = 2.0;
constexpr double kWalkGoal = 2.0;
constexpr int kRecordLength = 1086;

void appendRows(const QString& path)
{
    bench::makeMeasurementTable(path, kRows);
}

double walkRows(const QString& path)
{
    DbfTable t;
    t.open(path);
    return bench::walkPage(t);
}

struct StdioFile
{
    StdioFile(const std::string& path, const char* mode) : f(std::fopen(path.c_str(), mode))
    {
        if (!f)
            throw std::runtime_error("cannot open " + path);
    }
    ~StdioFile() { std::fclose(f); }
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;
    std::FILE* f;
};

void writeSameBytes(const std::string& path, long bytes)
{
    StdioFile out(path, "wb");
    const std::vector<char> record(kRecordLength, ' ');
    for (long done = 0; done < bytes; done += kRecordLength)
        std::fwrite(record.data(), 1, static_cast<std::size_t>(std::min<long>(kRecordLength, bytes - done)), out.f);
}

long readSameBytes(const std::string& path)
{
    StdioFile in(path, "rb");
    std::vector<char> record(kRecordLength);
    long total = 0;
    std::size_t n = 0;
    while ((n = std::fread(record.data(), 1, record.size(), in.f)) > 0)
        total += static_cast<long>(n) + record[0];
    return total;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString table = dir.filePath(QStringLiteral("bench.db"));
    const std::string raw = dir.filePath(QStringLiteral("raw.bin")).toStdString();

    appendRows(table); // warm up, and learn the size
    const long bytes = static_cast<long>(QFileInfo(table).size());
    std::printf("table: %d rows, %ld bytes\n", kRows, bytes);

    const auto append = darni::bench::compare(
        kRepetitions, [&] { appendRows(table); }, [&] { writeSameBytes(raw, bytes); });
    darni::bench::printRatio("table.append", append, kAppendGoal);

    volatile double sink = 0;
    volatile long rawSink = 0;
    const auto walk = darni::bench::compare(
        kRepetitions, [&] { sink = sink + walkRows(table); },
        [&] { rawSink = rawSink + readSameBytes(table.toStdString()); });
    darni::bench::printRatio("table.walk", walk, kWalkGoal);
    return 0;
}

// The table layer's two hot paths: appending decoded rows to a new table, and walking a table reading
// the two footer columns. References: writing and reading the same bytes with buffered stdio.
#include "benchharness.h"

#include "table/cp1251.h"
#include "table/dbftable.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

using namespace darni::table;

namespace {

constexpr int kRows = 120000;
constexpr int kRepetitions = 7;
constexpr double kAppendGoal = 2.0;
constexpr double kWalkGoal = 2.0;
constexpr int kRecordLength = 1086;

// Fields as the decoder fills them for a through-sounding row.
void fillLikeADecodedRow(DbfTable& t, int i)
{
    static const std::string material = cp1251::fromUnicode(QStringLiteral("Бетон тяжёлый")).toStdString();
    static const std::string product = cp1251::fromUnicode(QStringLiteral("Колонна")).toStdString();
    static const std::string dependence = cp1251::fromUnicode(QStringLiteral("Базовая")).toStdString();
    static const std::string mode = cp1251::fromUnicode(QStringLiteral("Cквозное")).toStdString();
    t.setReal(Field::N, i + 1);
    t.setText(Field::DATE, "17.05.2024");
    t.setText(Field::TIME, "10:42:07");
    t.setReal(Field::P, 20.0 + (i % 500) / 10.0);
    t.setReal(Field::R, 150);
    t.setInteger(Field::D9, 3000 + i % 2000);
    t.setReal(Field::P2, 25.5 + (i % 100) / 100.0);
    t.setText(Field::P3, product);
    t.setText(Field::D2, material);
    t.setReal(Field::P4, 1.05);
    t.setText(Field::P5, dependence);
    t.setText(Field::ZAV, mode);
}

void appendRows(const QString& path)
{
    DbfTable::create(path);
    DbfTable t;
    t.open(path);
    for (int i = 0; i < kRows; ++i) {
        t.append();
        fillLikeADecodedRow(t, i);
        t.post();
    }
    t.close();
}

double walkRows(const QString& path)
{
    DbfTable t;
    t.open(path);
    t.setFilter(RowFilter::recordKind(0));
    double sum = 0;
    for (bool ok = t.first(); ok; ok = t.next())
        sum += t.real(Field::P) + t.real(Field::R);
    return sum;
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
        kRepetitions, [&] { sink = sink + walkRows(table); }, [&] { rawSink = rawSink + readSameBytes(table.toStdString()); });
    darni::bench::printRatio("table.walk", walk, kWalkGoal);
    return 0;
}

// Decoding a full memory (120 000 records in two blocks) into a new table, against writing as many
// table bytes sequentially with buffered stdio.
#include "benchharness.h"

#include "decode/transferdecoding.h"
#include "instrumentmemory.h"
#include "table/dbftable.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace darni;

namespace {

constexpr int kRecordsPerBlock = 60000;
constexpr int kRepetitions = 5;
constexpr double kGoal = 3.0;
constexpr std::size_t kChunk = 1086;

void decodeInto(const QString& path, const transfer::Transfer& received)
{
    table::DbfTable::create(path);
    table::DbfTable t;
    t.open(path);
    decode::flash2klivo(received, decode::DecodeMode::Create, {},
                        [&](std::span<const table::NewRow> rows) { t.appendRows(rows); });
    t.close();
}

void writeSameBytes(const std::string& path, long bytes)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return;
    const std::vector<char> chunk(kChunk, ' ');
    for (long done = 0; done < bytes; done += static_cast<long>(kChunk))
        std::fwrite(chunk.data(), 1, std::min<std::size_t>(kChunk, static_cast<std::size_t>(bytes - done)), out);
    std::fclose(out);
}

} // namespace

int main()
{
    const auto memory = sim::InstrumentMemory::generated({kRecordsPerBlock, kRecordsPerBlock, 11});
    const transfer::Transfer received = memory.asTransfer();
    const transfer::DeviceImage& image = received.image;

    QTemporaryDir dir;
    const QString table = dir.filePath(QStringLiteral("decoded.db"));
    decodeInto(table, received);
    const long bytes = static_cast<long>(QFileInfo(table).size());
    std::printf("decode: %d records, image %zu bytes, table %ld bytes\n", 2 * kRecordsPerBlock, image.size(), bytes);
    const std::string raw = dir.filePath(QStringLiteral("raw.bin")).toStdString();
    const auto c = bench::compare(
        kRepetitions, [&] { decodeInto(table, received); }, [&] { writeSameBytes(raw, bytes); });
    bench::printRatio("decode.create", c, kGoal);
    return 0;
}

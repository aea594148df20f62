// "Экспорт в Excel 2007+ (.xlsx)" of 120,000 rows (well past the old sheet's 65,535), against
// libxlsxwriter alone writing the same cells from memory in constant-memory mode and syncing the file,
// in the same run; against writing as many
// bytes as the workbook's XML parts hold before compression (what the writer has to produce and
// deflate); and the export's peak memory above that of the open, walked table.
#include "barexlsxwriter.h"
#include "benchharness.h"
#include "measurementtable.h"

#include "output/xlsxexport.h"
#include "table/dbftable.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>

using namespace darni;

namespace {

constexpr int kRows = 120'000;
constexpr int kRepetitions = 5;
constexpr double kWriteGoal = 1.15;
constexpr double kExtraMibGoal = 64.0;

// The zip container's end record and central directory entries, as the format lays them out.
constexpr quint32 kEndOfDirectorySignature = 0x06054b50;
constexpr qsizetype kEndOfDirectorySize = 22;
constexpr qsizetype kEntryCountAt = 10;
constexpr qsizetype kDirectoryOffsetAt = 16;
constexpr quint32 kDirectoryEntrySignature = 0x02014b50;
constexpr qsizetype kUncompressedSizeAt = 24;
constexpr qsizetype kNameLengthAt = 28;
constexpr qsizetype kExtraLengthAt = 30;
constexpr qsizetype kCommentLengthAt = 32;
constexpr qsizetype kDirectoryEntrySize = 46;

// The bytes the parts of a zip file hold before compression; 0 when it cannot be read.
long uncompressedBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray zip = file.readAll();
    const char* at = zip.constData();
    const qsizetype end = zip.lastIndexOf(QByteArray::fromRawData("PK\x05\x06", 4));
    if (end < 0 || end + kEndOfDirectorySize > zip.size() ||
        qFromLittleEndian<quint32>(at + end) != kEndOfDirectorySignature)
        return 0;
    const int entries = qFromLittleEndian<quint16>(at + end + kEntryCountAt);
    qsizetype entry = qFromLittleEndian<quint32>(at + end + kDirectoryOffsetAt);
    long total = 0;
    for (int i = 0; i < entries && entry + kDirectoryEntrySize <= end; ++i) {
        if (qFromLittleEndian<quint32>(at + entry) != kDirectoryEntrySignature)
            return 0;
        total += static_cast<long>(qFromLittleEndian<quint32>(at + entry + kUncompressedSizeAt));
        entry += kDirectoryEntrySize + qFromLittleEndian<quint16>(at + entry + kNameLengthAt) +
                 qFromLittleEndian<quint16>(at + entry + kExtraLengthAt) +
                 qFromLittleEndian<quint16>(at + entry + kCommentLengthAt);
    }
    return total;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString tablePath = dir.filePath(QStringLiteral("bench.db"));
    const QString workbook = dir.filePath(QStringLiteral("bench.xlsx"));
    table::DbfTable t;
    bench::openWalkedPage(t, tablePath, kRows);
    const double before = bench::peakResidentMib();
    output::exportToXlsx(t.view(), workbook);
    const double extra = bench::peakResidentMib() - before;
    const long bytes = static_cast<long>(QFileInfo(workbook).size());
    std::printf("xlsx: %d rows, %ld bytes\n", kRows, bytes);

    const std::string raw = dir.filePath(QStringLiteral("raw.bin")).toStdString();
    const std::string bare = dir.filePath(QStringLiteral("bare.xlsx")).toStdString();
    const bench::BareXlsxCells cells(t.view());
    const auto write = bench::compare(
        kRepetitions, [&] { output::exportToXlsx(t.view(), workbook); }, [&] { cells.write(bare); });
    bench::printRatio("xlsx.write", write, kWriteGoal);
    std::printf("xlsx: the bare library's file %ld bytes\n",
                static_cast<long>(QFileInfo(QString::fromStdString(bare)).size()));
    const long xml = uncompressedBytes(workbook);
    std::printf("xlsx: its parts hold %ld bytes before compression\n", xml);
    const auto xmlVolume = bench::compare(
        kRepetitions, [&] { output::exportToXlsx(t.view(), workbook); }, [&] { bench::writeSequentially(raw, xml); });
    std::printf("xlsx.vs_xml_volume: %.4f s, writing the uncompressed volume %.4f s (medians)\n",
                xmlVolume.subjectSeconds, xmlVolume.referenceSeconds);
    std::printf("RATIO xlsx.vs_xml_volume %.2f (for reference; no goal)\n", xmlVolume.ratio);
    std::printf("xlsx.extra_mib: %.1f MiB above the open table (peak %.1f MiB)\n", extra, before + extra);
    std::printf("RATIO xlsx.extra_mib %.1f goal <= %g\n", extra, kExtraMibGoal);
    return 0;
}

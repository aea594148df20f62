// Reads back what the workbook writer wrote, for tests: the "Workbook" stream out of a compound file
// (following its allocation tables, as any reader would) and the BIFF records in it.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace darni::testing {

// The named stream of the compound file; empty when the file or the stream is not there.
QByteArray compoundFileStream(const QString& path, const QString& name);

struct BiffRecord
{
    std::uint16_t number;
    QByteArray data;
    std::int64_t position; // of the record's header in the stream
};

// The records from `from` on, up to and including the first EOF record.
std::vector<BiffRecord> biffRecords(const QByteArray& stream, std::int64_t from = 0);

// The records of the first sheet, found through its BoundSheet8 record.
std::vector<BiffRecord> firstSheetRecords(const QByteArray& stream);

std::uint16_t u16At(const QByteArray& b, qsizetype at);
std::uint32_t u32At(const QByteArray& b, qsizetype at);

} // namespace darni::testing

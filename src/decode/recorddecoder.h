// The records of a received memory as table rows, decoded by pure functions of the transfer: where
// each block's records stand, and what one record says. Nothing here reads a table or writes one;
// choosing the records newer than the stored ones and appending rows are steps of their own
// (newrecords.h, rowvalues.h).
#pragma once

#include "transfer/transfer.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace darni::decode {

// One block of records in the memory: the instrument's own ("Базовая") or the user's ("Индивидуальная").
struct BlockSpan
{
    bool first = true;
    std::size_t firstRecord = 0; // offset of its first record
    // Records wholly inside the memory received (the checksum bytes excluded): the count the memory
    // states, cut to what arrived.
    std::size_t count = 0;
    QString dependence() const;
};

struct MemoryLayout
{
    BlockSpan first;
    BlockSpan second;
};

// Where the two blocks stand; never beyond the bytes received.
MemoryLayout layoutOf(const transfer::Transfer& transfer);

// One record as the fields of a table row; a value left out is a blank field.
struct DecodedRow
{
    double number = 0;                    // N: the record's place in its block, from 1
    QString time;                         // TIME, "HH:MM:SS"
    QString date;                         // DATE, "DD.MM.YYYY"
    QString dependence;                   // P5
    QString mode;                         // ZAV
    std::optional<double> baseLength;     // R
    std::optional<double> transitTime;    // P
    std::optional<std::int64_t> velocity; // D9
    std::optional<double> timeOutside;    // T
    std::optional<double> timeAcross;     // P10
    std::optional<double> crackDepth;     // P9
    std::optional<QString> material;      // D2
    std::optional<double> ks;             // P4
    std::optional<QString> productType;   // P3
    std::optional<double> strength;       // P2
};

// The records [from, from + count) of the block, cut to the block's records. Reads no byte outside
// the memory received.
std::vector<DecodedRow> decodeRecords(const transfer::Transfer& transfer, const BlockSpan& block, std::size_t from,
                                      std::size_t count);

// The date and time of the block's record k as seconds (stampseconds.h), 0 when they cannot be read.
std::int64_t recordStamp(const transfer::Transfer& transfer, const BlockSpan& block, std::size_t k);

} // namespace darni::decode

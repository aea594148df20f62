// A transfer into table rows.
#include "transferdecoding.h"

#include "newrecords.h"
#include "recorddecoder.h"
#include "rowvalues.h"

#include <vector>

namespace darni::decode {

namespace {

// Rows decoded at a time: a whole memory never stands decoded in memory at once.
constexpr std::size_t kRowsPerStep = 4096;

std::int64_t storedStampOf(const BlockSpan& block, const StoredStamps& stored)
{
    return block.first ? stored.firstBlock : stored.secondBlock;
}

// The first record of the block that the table takes.
std::size_t firstTaken(const transfer::Transfer& transfer, const BlockSpan& block, DecodeMode mode,
                       const StoredStamps& stored)
{
    return mode == DecodeMode::Append ? firstNewRecord(transfer, block, storedStampOf(block, stored)) : 0;
}

// The rows of one step, kept from step to step: each row's room for its values is allocated once.
using StepRows = std::vector<table::NewRow>;

int addBlock(const transfer::Transfer& transfer, const BlockSpan& block, DecodeMode mode, const StoredStamps& stored,
             const RowSteps& take, StepRows& rows)
{
    const std::size_t from = firstTaken(transfer, block, mode, stored);
    for (std::size_t k = from; k < block.count; k += kRowsPerStep) {
        const std::vector<DecodedRow> decoded = decodeRecords(transfer, block, k, kRowsPerStep);
        if (rows.size() < decoded.size())
            rows.resize(decoded.size());
        for (std::size_t i = 0; i < decoded.size(); ++i)
            rowValuesOf(decoded[i], rows[i]);
        take(std::span<const table::NewRow>(rows.data(), decoded.size()));
    }
    return static_cast<int>(block.count - from);
}

} // namespace

QString DecodeResult::messageCaption()
{
    return QStringLiteral("Дополнение");
}

QStringList DecodeResult::appendMessages(int firstBlock, int secondBlock)
{
    return {QStringLiteral("Добавлено записей: %1").arg(firstBlock),
            QStringLiteral("Добавлено записей в \"ОРНАК\": %1").arg(secondBlock)};
}

StoredStamps storedStamps(const transfer::Transfer& transfer, const table::RecordView& ultrasonicRows)
{
    const MemoryLayout layout = layoutOf(transfer);
    return {newestStoredStamp(ultrasonicRows, layout.first.dependence()),
            newestStoredStamp(ultrasonicRows, layout.second.dependence())};
}

int newRecordCount(const transfer::Transfer& transfer, const StoredStamps& stored)
{
    const MemoryLayout layout = layoutOf(transfer);
    std::size_t count = 0;
    for (const BlockSpan* block : {&layout.first, &layout.second})
        count += block->count - firstTaken(transfer, *block, DecodeMode::Append, stored);
    return static_cast<int>(count);
}

DecodeResult flash2klivo(const transfer::Transfer& transfer, DecodeMode mode, const StoredStamps& stored,
                         const RowSteps& take)
{
    DecodeResult result;
    const MemoryLayout layout = layoutOf(transfer);
    StepRows rows;
    result.addedFirstBlock = addBlock(transfer, layout.first, mode, stored, take, rows);
    result.addedSecondBlock = addBlock(transfer, layout.second, mode, stored, take, rows);
    if (mode == DecodeMode::Append)
        result.messages = DecodeResult::appendMessages(result.addedFirstBlock, result.addedSecondBlock);
    return result;
}

} // namespace darni::decode

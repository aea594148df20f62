// A transfer into a table.
#include "transferdecoding.h"

#include "newrecords.h"
#include "recorddecoder.h"
#include "rowappender.h"

#include "table/recordkind.h"
#include "table/rowfilter.h"

namespace darni::decode {

namespace {

// Rows decoded at a time: a whole memory never stands decoded in memory at once.
constexpr std::size_t kRowsPerStep = 4096;

// The first record of the block that the table takes; the table is on its ultrasonic rows.
std::size_t firstTaken(table::DbfTable& table, const transfer::Transfer& transfer, const BlockSpan& block,
                       DecodeMode mode)
{
    return mode == DecodeMode::Append
               ? firstNewRecord(transfer, block, newestStoredStamp(table.view(), block.dependence()))
               : 0;
}

int addBlock(table::DbfTable& table, const transfer::Transfer& transfer, const BlockSpan& block, DecodeMode mode)
{
    const std::size_t from = firstTaken(table, transfer, block, mode);
    for (std::size_t k = from; k < block.count; k += kRowsPerStep)
        appendRows(table, decodeRecords(transfer, block, k, kRowsPerStep));
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

int newRecordCount(table::DbfTable& table, const transfer::Transfer& transfer)
{
    if (!table.isOpen())
        return 0;
    const table::RowFilter before = table.filter();
    table.setFilter(table::RowFilter::recordKind(table::nbTypeOf(table::RecordKind::Ultrasonic)));
    const MemoryLayout layout = layoutOf(transfer);
    std::size_t count = 0;
    for (const BlockSpan* block : {&layout.first, &layout.second})
        count += block->count - firstTaken(table, transfer, *block, DecodeMode::Append);
    table.setFilter(before);
    table.refresh();
    return static_cast<int>(count);
}

DecodeResult flash2klivo(table::DbfTable& table, const transfer::Transfer& transfer, DecodeMode mode)
{
    DecodeResult result;
    if (!table.isOpen())
        return result;
    // The stored rows that new records follow are the ultrasonic ones.
    table.setFilter(table::RowFilter::recordKind(table::nbTypeOf(table::RecordKind::Ultrasonic)));
    const MemoryLayout layout = layoutOf(transfer);
    result.addedFirstBlock = addBlock(table, transfer, layout.first, mode);
    result.addedSecondBlock = addBlock(table, transfer, layout.second, mode);
    if (mode == DecodeMode::Append)
        result.messages = DecodeResult::appendMessages(result.addedFirstBlock, result.addedSecondBlock);

    table.setFilter(table::RowFilter());
    table.refresh();
    return result;
}

} // namespace darni::decode

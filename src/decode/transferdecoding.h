// A transfer into table rows ("flash2klivo"): every record when a table is created, only the records
// newer than the stored ones when appending. A pure step: the transfer and the newest stored stamps in,
// rows out; the caller appends them. Its parts, each its own function: decode the records
// (recorddecoder.h), choose the new ones (newrecords.h), turn them into row values (rowvalues.h).
#pragma once

#include "transfer/transfer.h"

#include "table/newrow.h"
#include "table/recordview.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <span>

namespace darni::decode {

enum class DecodeMode { Create, Append };

struct DecodeResult
{
    int addedFirstBlock = 0;
    int addedSecondBlock = 0;
    // In append mode, the two messages to show, captioned messageCaption().
    QStringList messages;
    static QString messageCaption(); // "Дополнение"
    // The two messages of an append that added these counts of records to each block.
    static QStringList appendMessages(int firstBlock, int secondBlock);
    static QStringList nothingAddedMessages() { return appendMessages(0, 0); }
};

// The date and time of the newest stored ultrasonic row of each block's dependence ("Базовая" for the
// first block, "Индивидуальная" for the second), as seconds; 0 for a block with no such row. The two
// blocks' records interleave in time, so each block is compared with the rows of its own dependence.
struct StoredStamps
{
    std::int64_t firstBlock = 0;
    std::int64_t secondBlock = 0;
};

// The stamps of the stored rows that a transfer's records follow: `ultrasonicRows` are the table's
// ultrasonic rows in file order, where the newest stored rows are the last.
StoredStamps storedStamps(const transfer::Transfer& transfer, const table::RecordView& ultrasonicRows);

// Takes the rows of one step, in the order they go into the table.
using RowSteps = std::function<void(std::span<const table::NewRow>)>;

// The rows the transfer gives, handed to `take` a step at a time in file order: every record in create
// mode, those newer than `stored` in append mode. Records that the counts place beyond the bytes
// received are not decoded. What `take` throws ends the decoding and is thrown on.
DecodeResult flash2klivo(const transfer::Transfer& transfer, DecodeMode mode, const StoredStamps& stored,
                         const RowSteps& take);

// How many records an append of the transfer would add, without decoding them: an append with nothing
// new writes nothing at all.
int newRecordCount(const transfer::Transfer& transfer, const StoredStamps& stored);

} // namespace darni::decode

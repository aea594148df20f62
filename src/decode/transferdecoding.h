// A transfer into a table ("flash2klivo"): every record when a table is created, only the records
// newer than the stored ones when appending. The three steps, each its own function: decode the
// records (recorddecoder.h), choose the new ones (newrecords.h), append them (rowappender.h).
#pragma once

#include "transfer/transfer.h"

#include "table/dbftable.h"

#include <QString>
#include <QStringList>

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

// Appends the rows; the table is left without a filter. A closed table is left alone. Failures of the
// table itself are thrown as TableError; the rows posted before stay. The table is expected in file
// order: the newest stored rows are those last in the file.
//
// Append mode compares each block with the newest stored ultrasonic row of the same dependence
// ("Базовая" for the first block, "Индивидуальная" for the second), so that the two blocks, whose
// records interleave in time, each add exactly their new records; a block with no such row adds all.
// Records that the counts place beyond the bytes received are not decoded.
DecodeResult flash2klivo(table::DbfTable& table, const transfer::Transfer& transfer, DecodeMode mode);

// How many records an append of the transfer would add, without adding them: an append with nothing
// new writes nothing at all. The table's filter is as it was afterwards.
int newRecordCount(table::DbfTable& table, const transfer::Transfer& transfer);

} // namespace darni::decode

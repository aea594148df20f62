// Turns the records of a received memory image into table rows ("flash2klivo"): every record when a
// table is created, only the records newer than the stored ones when appending.
#pragma once

#include "deviceimage.h"

#include "table/dbftable.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace darni::decode {

// What of the device information the decoder needs.
struct ImageSource
{
    const DeviceImage& image;
    std::uint16_t recordCountA = 0; // records in the first block
    std::uint16_t surfaceBase = 0;  // tenths of a millimetre
};

enum class DecodeMode { Create, Append };

struct DecodeResult
{
    int addedFirstBlock = 0;
    int addedSecondBlock = 0;
    // In append mode, the two messages to show, captioned messageCaption().
    QStringList messages;
    static QString messageCaption(); // "Дополнение"
};

// Appends the rows; the table is left without a filter. A closed table is left alone. Failures of the
// table itself are thrown as TableError; the rows posted before stay.
//
// Append mode compares each block with the newest stored ultrasonic row of the same dependence
// ("Базовая" for the first block, "Индивидуальная" for the second), so that the two blocks, whose
// records interleave in time, each add exactly their new records; a block with no such row adds all.
// Records that the counts place beyond the bytes received are not decoded.
DecodeResult flash2klivo(table::DbfTable& table, const ImageSource& source, DecodeMode mode);

} // namespace darni::decode

// Which records of a transfer are new to a table: those after the newest stored row of the same
// dependence, found by date and time. The two blocks' records interleave in time, so each block is
// compared with the stored rows of its own dependence.
#pragma once

#include "recorddecoder.h"

#include "table/recordview.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace darni::decode {

// The newest of the rows with this dependence (P5), in the view's order from its end; rows whose date
// or time cannot be read (edited by hand) are passed over. 0 when there is none.
std::int64_t newestStoredStamp(const table::RecordView& rows, const QString& dependence);

// The first record of the block newer than `reference`; the block's count when none is.
std::size_t firstNewRecord(const transfer::Transfer& transfer, const BlockSpan& block, std::int64_t reference);

} // namespace darni::decode

// Which records of a transfer are new to a table.
#include "newrecords.h"

#include "stampseconds.h"

#include "table/cp1251.h"

namespace darni::decode {

std::int64_t newestStoredStamp(const table::RecordView& rows, const QString& dependence)
{
    const QByteArray wanted = table::cp1251::fromUnicode(dependence);
    for (int row = rows.size() - 1; row >= 0; --row) {
        if (rows.text(row, table::Field::P5) != wanted)
            continue;
        const auto stamp = stampSeconds(QString::fromLatin1(rows.text(row, table::Field::DATE)),
                                        QString::fromLatin1(rows.text(row, table::Field::TIME)));
        if (stamp)
            return *stamp;
    }
    return 0;
}

std::size_t firstNewRecord(const transfer::Transfer& transfer, const BlockSpan& block, std::int64_t reference)
{
    std::size_t k = 0;
    while (k < block.count && recordStamp(transfer, block, k) <= reference)
        ++k;
    return k;
}

} // namespace darni::decode

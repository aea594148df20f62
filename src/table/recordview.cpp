// One reader's own look at the rows of a page.
#include "recordview.h"

#include "dbfheader.h"
#include "dbftable.h"
#include "fieldcodec.h"

#include <algorithm>

namespace darni::table {

RecordView::RecordView(const DbfTable& table, std::vector<std::uint32_t> slots, std::uint64_t generation)
    : m_table(&table), m_slots(std::move(slots)), m_generation(generation)
{
    // The sum and count of the slots do not depend on their order; the rows' generation tells other
    // rows in the same slots apart.
    std::uint64_t sum = 0;
    for (const std::uint32_t slot : m_slots)
        sum += slot;
    constexpr std::uint64_t kMix = 0x9E3779B97F4A7C15ULL; // the golden ratio's bits, to spread the parts
    m_rowSetKey = (table.rowsGeneration() * kMix) ^ (sum * kMix + m_slots.size());
}

bool RecordView::isStale() const
{
    return m_table && m_table->generation() != m_generation;
}

std::string_view RecordView::fieldView(int row, Field f) const
{
    if (!m_table || isStale() || row < 0 || row >= size())
        return {};
    const char* record = m_table->recordForReading(slotAt(row), m_scratch);
    if (!record)
        return {};
    const BoundField& b = m_table->layout()[f];
    return {record + b.offset, static_cast<std::size_t>(b.width)};
}

bool RecordView::isNull(int row, Field f) const
{
    return fieldView(row, f).find_first_not_of(' ') == std::string_view::npos;
}

QByteArray RecordView::text(int row, Field f) const
{
    const auto value = fieldcodec::textValue(fieldView(row, f));
    return QByteArray(value.data(), static_cast<qsizetype>(value.size()));
}

std::optional<double> RecordView::number(int row, Field f) const
{
    return fieldcodec::numberValue(fieldView(row, f));
}

std::int32_t RecordView::integer(int row, Field f) const
{
    return fieldcodec::integerValue(fieldView(row, f));
}

std::vector<int> RecordView::longestRows(std::span<const Field> fields, int rows) const
{
    std::vector<int> longest(fields.size(), -1);
    std::vector<std::size_t> lengths(fields.size(), 0);
    if (!m_table || isStale())
        return longest;
    const FieldLayout& layout = m_table->layout();
    for (int row = 0; row < std::min(rows, size()); ++row) {
        const char* record = m_table->recordForReading(slotAt(row), m_scratch);
        if (!record)
            continue;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const BoundField& b = layout[fields[i]];
            const std::string_view stored(record + b.offset, static_cast<std::size_t>(b.width));
            const std::size_t first = stored.find_first_not_of(dbf::kBlank);
            if (first == std::string_view::npos)
                continue;
            const std::size_t length = stored.find_last_not_of(dbf::kBlank) - first + 1;
            if (length > lengths[i]) {
                lengths[i] = length;
                longest[i] = row;
            }
        }
    }
    return longest;
}

} // namespace darni::table

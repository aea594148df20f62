// One reader's own look at the rows of a page.
#include "recordview.h"

#include "dbfheader.h"
#include "dbftable.h"
#include "fieldcodec.h"

namespace darni::table {

RecordView::RecordView(const DbfTable& table, std::vector<std::uint32_t> slots, std::uint64_t generation)
    : m_table(&table), m_slots(std::move(slots)), m_generation(generation)
{
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

QByteArray RecordView::stored(int row, Field f) const
{
    const auto value = fieldView(row, f);
    return QByteArray(value.data(), static_cast<qsizetype>(value.size()));
}

} // namespace darni::table

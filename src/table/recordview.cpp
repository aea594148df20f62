// One reader's own look at the rows of a page.
#include "recordview.h"

#include "dbfheader.h"
#include "dbftable.h"
#include "fieldcodec.h"
#include "numbertext.h"

#include <algorithm>
#include <limits>

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
    const auto value = textView(row, f);
    return QByteArray(value.data(), static_cast<qsizetype>(value.size()));
}

std::string_view RecordView::textView(int row, Field f) const
{
    return fieldcodec::textValue(fieldView(row, f));
}

void RecordView::prefetchRow(int row) const
{
    if (m_table && !isStale() && row >= 0 && row < size())
        m_table->prefetchRecord(slotAt(row));
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

int RecordView::storedWidth(Field f) const
{
    if (!m_table)
        return fieldSpec(f).width;
    return m_table->layout()[f].width;
}

namespace {

constexpr char kDecimalPoint = '.';

constexpr std::size_t kTooLong = std::numeric_limits<std::size_t>::max();

// The length of a stored value without its blanks and, for a number, without zeros after the last
// significant decimal; longer than any limit for a number that is shown in another form than it is
// stored (with an exponent, or more digits than are shown). One loop over the bytes: it runs for
// every row of a page before a report shows its first page.
std::size_t significantLength(std::string_view stored, bool isNumber)
{
    std::size_t first = std::string_view::npos;
    std::size_t last = 0;
    std::size_t point = std::string_view::npos;
    int digits = 0;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const char c = stored[i];
        if (c == dbf::kBlank)
            continue;
        if (first == std::string_view::npos)
            first = i;
        last = i;
        if (!isNumber)
            continue;
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == kDecimalPoint)
            point = i;
        else if (c == 'e' || c == 'E')
            return kTooLong;
    }
    if (first == std::string_view::npos)
        return 0;
    if (digits > kShownSignificantDigits)
        return kTooLong;
    if (point != std::string_view::npos) {
        while (last > point && stored[last] == '0')
            --last;
        if (last == point && last > first)
            --last;
    }
    return last - first + 1;
}

} // namespace

std::vector<int> RecordView::rowsLongerThan(std::span<const LengthLimit> limits) const
{
    std::vector<int> rows;
    if (!m_table || isStale() || limits.empty())
        return rows;
    const FieldLayout& layout = m_table->layout();
    for (int row = 0; row < size(); ++row) {
        const char* record = m_table->recordForReading(slotAt(row), m_scratch);
        if (!record)
            continue;
        for (const LengthLimit& limit : limits) {
            const BoundField& b = layout[limit.field];
            const std::string_view stored(record + b.offset, static_cast<std::size_t>(b.width));
            const bool isNumber = fieldSpec(limit.field).valueType != ValueType::Text;
            if (significantLength(stored, isNumber) > static_cast<std::size_t>(std::max(limit.characters, 0))) {
                rows.push_back(row);
                break;
            }
        }
    }
    return rows;
}

} // namespace darni::table

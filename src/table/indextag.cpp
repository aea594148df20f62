// One sort tag of a table.
#include "indextag.h"

#include "fieldcodec.h"
#include "numerickey.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace darni::table {

namespace {
constexpr int kRadixBits = 8;
constexpr std::size_t kRadixBuckets = std::size_t{1} << kRadixBits;
constexpr int kRadixPasses = 64 / kRadixBits;
constexpr std::uint64_t kSignBit = std::uint64_t{1} << 63;

// The bits of a number as an unsigned integer in the numbers' order (-0 as 0, as the comparison has
// them equal), reversed for a descending tag.
std::uint64_t orderedBits(double number, bool descending)
{
    const auto bits = std::bit_cast<std::uint64_t>(number + 0.0);
    const std::uint64_t ascending = (bits & kSignBit) ? ~bits : (bits | kSignBit);
    return descending ? ~ascending : ascending;
}
} // namespace

// A least-significant-digit radix sort: stable, so entries added in slot order keep it among equal
// keys, as the tag's order wants. It orders a full table's keys several times faster than comparisons,
// and a click on a column title waits for exactly this.
template <typename Entries>
void IndexTag::radixSortNumbers(Entries first, Entries last) const
{
    const auto count = static_cast<std::size_t>(last - first);
    std::array<std::array<std::size_t, kRadixBuckets>, kRadixPasses> histograms{};
    for (auto e = first; e != last; ++e) {
        const std::uint64_t key = orderedBits(e->number, m_descending);
        for (int pass = 0; pass < kRadixPasses; ++pass)
            ++histograms[static_cast<std::size_t>(pass)][(key >> (pass * kRadixBits)) & (kRadixBuckets - 1)];
    }
    std::vector<Entry> spare(count);
    Entry* from = &*first;
    Entry* to = spare.data();
    for (int pass = 0; pass < kRadixPasses; ++pass) {
        auto& counts = histograms[static_cast<std::size_t>(pass)];
        const int shift = pass * kRadixBits;
        // A digit that all keys share moves nothing.
        if (std::find(counts.begin(), counts.end(), count) != counts.end())
            continue;
        std::size_t start = 0;
        for (std::size_t& c : counts)
            start += std::exchange(c, start);
        for (const Entry* e = from; e != from + count; ++e)
            to[counts[(orderedBits(e->number, m_descending) >> shift) & (kRadixBuckets - 1)]++] = *e;
        std::swap(from, to);
    }
    if (from != &*first)
        std::copy(from, from + count, first);
}

IndexTag::IndexTag(QString name, Field field, bool descending, KeyType type, std::vector<Range> ranges,
                   QString expression)
    : m_name(std::move(name)), m_field(field), m_descending(descending), m_type(type), m_ranges(std::move(ranges)),
      m_expression(std::move(expression)), m_keyWidth(0)
{
    for (const Range& r : m_ranges)
        m_keyWidth += r.length;
}

int IndexTag::keyLength() const
{
    return m_type == KeyType::Number ? numerickey::kLength : m_keyWidth;
}

void IndexTag::clear()
{
    m_entries.clear();
    m_texts.clear();
    m_sorted = 0;
}

IndexTag::Entry IndexTag::entryFor(std::uint32_t slot, const char* record)
{
    if (m_type == KeyType::Number) {
        const char* field = record + m_ranges.front().offset;
        const double n =
            fieldcodec::numberValue(std::string_view(field, static_cast<std::size_t>(m_keyWidth))).value_or(0);
        return {n, slot, 0};
    }
    const auto text = static_cast<std::uint32_t>(m_texts.size() / static_cast<std::size_t>(std::max(1, m_keyWidth)));
    for (const Range& r : m_ranges)
        m_texts.insert(m_texts.end(), record + r.offset, record + r.offset + r.length);
    return {0, slot, text};
}

int IndexTag::compareKeys(const Entry& a, const Entry& b) const
{
    if (m_type == KeyType::Number)
        return a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
    const auto w = static_cast<std::size_t>(m_keyWidth);
    return std::memcmp(m_texts.data() + a.text * w, m_texts.data() + b.text * w, w);
}

bool IndexTag::before(const Entry& a, const Entry& b) const
{
    const int c = compareKeys(a, b);
    if (c != 0)
        return m_descending ? c > 0 : c < 0;
    return a.slot < b.slot;
}

void IndexTag::add(std::uint32_t slot, const char* record)
{
    m_entries.push_back(entryFor(slot, record));
}

void IndexTag::sortPending()
{
    if (m_sorted == m_entries.size())
        return;
    const auto middle = m_entries.begin() + static_cast<std::ptrdiff_t>(m_sorted);
    const auto order = [&](auto less) {
        std::sort(middle, m_entries.end(), less);
        std::inplace_merge(m_entries.begin(), middle, m_entries.end(), less);
    };
    const bool pendingInSlotOrder =
        std::is_sorted(middle, m_entries.end(), [](const Entry& a, const Entry& b) { return a.slot < b.slot; });
    if (m_type == KeyType::Number && pendingInSlotOrder) {
        radixSortNumbers(middle, m_entries.end());
        std::inplace_merge(m_entries.begin(), middle, m_entries.end(),
                           [this](const Entry& a, const Entry& b) { return before(a, b); });
    }
    // Numeric keys, by far the most sorted, get comparisons without the general path's branches.
    else if (m_type == KeyType::Number && !m_descending)
        order([](const Entry& a, const Entry& b) {
            return a.number < b.number || (a.number == b.number && a.slot < b.slot);
        });
    else if (m_type == KeyType::Number)
        order([](const Entry& a, const Entry& b) {
            return b.number < a.number || (a.number == b.number && a.slot < b.slot);
        });
    else
        order([this](const Entry& a, const Entry& b) { return before(a, b); });
    m_sorted = m_entries.size();
}

std::size_t IndexTag::lowerBound(const Entry& e)
{
    sortPending();
    const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), e,
                                     [this](const Entry& a, const Entry& b) { return before(a, b); });
    return static_cast<std::size_t>(it - m_entries.begin());
}

std::optional<std::size_t> IndexTag::positionOf(std::uint32_t slot, const char* record)
{
    const Entry probe = entryFor(slot, record);
    const std::size_t at = lowerBound(probe);
    if (m_type == KeyType::Text)
        m_texts.resize(m_texts.size() - static_cast<std::size_t>(m_keyWidth)); // the probe's key
    if (at < m_entries.size() && m_entries[at].slot == slot)
        return at;
    return std::nullopt;
}

bool IndexTag::remove(std::uint32_t slot, const char* record)
{
    const auto at = positionOf(slot, record);
    if (!at)
        return false;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(*at));
    m_sorted = m_entries.size();
    return true;
}

bool IndexTag::sameKey(const char* recordA, const char* recordB) const
{
    return std::all_of(m_ranges.begin(), m_ranges.end(), [&](const Range& r) {
        return std::memcmp(recordA + r.offset, recordB + r.offset, static_cast<std::size_t>(r.length)) == 0;
    });
}

std::size_t IndexTag::size()
{
    sortPending();
    return m_entries.size();
}

std::uint32_t IndexTag::slotAt(std::size_t position)
{
    sortPending();
    return m_entries[position].slot;
}

void IndexTag::storedKey(std::size_t position, std::uint8_t* out)
{
    sortPending();
    const Entry& e = m_entries[position];
    if (m_type == KeyType::Number) {
        // Equal keys lie side by side in order, and measured values repeat a lot: each is encoded once.
        if (!m_lastStoredNumber ||
            std::bit_cast<std::uint64_t>(*m_lastStoredNumber) != std::bit_cast<std::uint64_t>(e.number)) {
            m_lastStoredKey = numerickey::encode(e.number);
            m_lastStoredNumber = e.number;
        }
        std::copy(m_lastStoredKey.begin(), m_lastStoredKey.end(), out);
        return;
    }
    std::memcpy(out, m_texts.data() + e.text * static_cast<std::size_t>(m_keyWidth),
                static_cast<std::size_t>(m_keyWidth));
}

} // namespace darni::table

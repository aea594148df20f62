// Which rows of a table a view shows: every row, or the rows of one kind, those whose NB_TYPE equals a
// number (a blank NB_TYPE counting as 0).
#pragma once

#include <optional>

namespace darni::table {

class RowFilter
{
public:
    RowFilter() = default; // every row
    static RowFilter recordKind(int nbType) { return RowFilter(nbType); }

    bool isActive() const { return m_kind.has_value(); }
    bool accepts(int nbType) const { return !m_kind || *m_kind == nbType; }

    friend bool operator==(const RowFilter&, const RowFilter&) = default;

private:
    explicit RowFilter(int kind) : m_kind(kind) {}
    std::optional<int> m_kind;
};

} // namespace darni::table

// The row filter of a table: all rows, or the rows whose NB_TYPE equals a number (a blank NB_TYPE
// counting as 0), written as "NB_TYPE=0" and "NB_TYPE=1".
#pragma once

#include <QString>

#include <optional>

namespace darni::table {

class RowFilter
{
public:
    RowFilter() = default; // every row
    static RowFilter recordKind(int nbType) { return RowFilter(nbType); }
    // The expression "NB_TYPE=n" (blanks and the field name's case aside) or the empty text for no
    // filter; nothing for any other text.
    static std::optional<RowFilter> parse(const QString& expression);

    bool isActive() const { return m_kind.has_value(); }
    bool accepts(int nbType) const { return !m_kind || *m_kind == nbType; }
    QString expression() const;

    friend bool operator==(const RowFilter&, const RowFilter&) = default;

private:
    explicit RowFilter(int kind) : m_kind(kind) {}
    std::optional<int> m_kind;
};

} // namespace darni::table

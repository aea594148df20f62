// One worksheet of a workbook.
#include "xlsworksheet.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace darni::output::xls {

namespace {

// Room for the ranges of a row when its first one is made: rows of a table export hold sixteen.
constexpr std::size_t kFirstRowCapacity = 8;

QString cutAndTrim(const QString& text, int length)
{
    return text.left(length).trimmed();
}

} // namespace

std::optional<double> numberOf(const XlsValue& value)
{
    return std::visit(
        [](const auto& v) -> std::optional<double> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate> || std::is_same_v<T, QString>)
                return std::nullopt;
            else if constexpr (std::is_same_v<T, XlsCurrency>)
                return static_cast<double>(v.tenThousandths) / 10000.0;
            else
                return static_cast<double>(v);
        },
        value);
}

// ---- the range handle ---------------------------------------------------------------------------

XlsBounds XlsRange::bounds() const
{
    const auto& s = m_sheet->stored(m_row, m_index);
    return {s.left, s.top, s.right, s.bottom};
}

XlsValue XlsRange::value() const
{
    return m_sheet->valueOf(m_sheet->stored(m_row, m_index));
}

void XlsRange::setValue(const XlsValue& value)
{
    if (const auto* text = std::get_if<QString>(&value); text && text->contains(u'\r')) {
        QString plain = *text;
        plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        m_sheet->store(m_sheet->stored(m_row, m_index), plain);
        return;
    }
    m_sheet->store(m_sheet->stored(m_row, m_index), value);
}

const XlsCellStyle& XlsRange::style() const
{
    return m_sheet->m_styles[m_sheet->stored(m_row, m_index).style];
}

void XlsRange::setStyle(const XlsCellStyle& style)
{
    const std::uint16_t id = m_sheet->styleId(style);
    m_sheet->stored(m_row, m_index).style = id;
}

// ---- the sheet ----------------------------------------------------------------------------------

XlsWorksheet::XlsWorksheet(QString name) : m_name(cutAndTrim(name, kMaxNameLength)) {}

void XlsWorksheet::setColumnWidth(int column, double characters)
{
    if (column < 0 || column > kMaxColumn)
        throw std::out_of_range("column outside a worksheet");
    m_columnWidths[column] = characters;
}

void XlsWorksheet::setName(const QString& name)
{
    m_name = cutAndTrim(name, kMaxNameLength);
}

XlsRange XlsWorksheet::range(int left, int top, int right, int bottom)
{
    if (left < 0 || top < 0 || left > right || top > bottom || right > kMaxColumn || bottom > kMaxRow)
        throw std::out_of_range("range outside a worksheet");
    const XlsBounds b{left, top, right, bottom};
    // Cells made left to right, as an export makes them, need no search: nothing can be in their way.
    const bool clearWay = m_tallest == 1 && top == bottom && static_cast<std::size_t>(top) < m_rightmost.size() &&
                          m_rightmost[static_cast<std::size_t>(top)] < left;
    if (!clearWay && static_cast<std::size_t>(top) < m_rows.size()) {
        auto& row = m_rows[static_cast<std::size_t>(top)];
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (row[i].left == left && row[i].right == right && row[i].bottom == bottom)
                return {*this, top, i};
        }
    }
    if (!clearWay)
        removeOverlapping(b);
    if (m_rows.size() <= static_cast<std::size_t>(top)) {
        m_rows.resize(static_cast<std::size_t>(top) + 1);
        m_rightmost.resize(static_cast<std::size_t>(top) + 1, -1);
        m_unordered.resize(static_cast<std::size_t>(top) + 1, false);
    }
    if (!clearWay && !m_rows[static_cast<std::size_t>(top)].empty())
        m_unordered[static_cast<std::size_t>(top)] = true;
    m_rightmost[static_cast<std::size_t>(top)] = std::max(m_rightmost[static_cast<std::size_t>(top)], right);
    auto& row = m_rows[static_cast<std::size_t>(top)];
    if (row.empty())
        row.reserve(kFirstRowCapacity);
    Stored s{};
    s.left = static_cast<std::uint16_t>(left);
    s.top = static_cast<std::uint16_t>(top);
    s.right = static_cast<std::uint16_t>(right);
    s.bottom = static_cast<std::uint16_t>(bottom);
    s.kind = Kind::None;
    row.push_back(s);
    m_tallest = std::max(m_tallest, bottom - top + 1);
    if (isEmpty()) {
        m_used = b;
    } else {
        m_used = {std::min(m_used.left, left), std::min(m_used.top, top), std::max(m_used.right, right),
                  std::max(m_used.bottom, bottom)};
    }
    return {*this, top, row.size() - 1};
}

void XlsWorksheet::removeOverlapping(const XlsBounds& b)
{
    // Only rows from which a range as tall as the tallest could reach b need looking at.
    const int from = std::max(0, b.top - m_tallest + 1);
    const int to = std::min(b.bottom, static_cast<int>(m_rows.size()) - 1);
    for (int r = from; r <= to; ++r) {
        auto& row = m_rows[static_cast<std::size_t>(r)];
        std::erase_if(row, [&](const Stored& s) { return b.overlaps({s.left, s.top, s.right, s.bottom}); });
    }
}

std::size_t XlsWorksheet::rangeCountInRow(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < m_rows.size() ? m_rows[static_cast<std::size_t>(row)].size() : 0;
}

XlsWorksheet::Cell XlsWorksheet::rangeInRow(int row, std::size_t index) const
{
    const Stored& s = stored(row, index);
    Cell cell{{s.left, s.top, s.right, s.bottom}, nullptr, std::nullopt, &m_styles[s.style]};
    switch (s.kind) {
    case Kind::None:
        break;
    case Kind::Text:
        cell.text = &m_texts[s.text];
        cell.hasText = !cell.text->isEmpty();
        break;
    case Kind::Single:
    case Kind::Double:
        cell.number = s.number;
        break;
    case Kind::Currency:
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Byte:
        cell.number = numberOf(valueOf(s));
        break;
    }
    return cell;
}

std::pair<int, int> XlsWorksheet::columnSpan(int row) const
{
    int firstColumn = 0;
    int endColumn = 0;
    const std::size_t n = rangeCountInRow(row);
    for (std::size_t i = 0; i < n; ++i) {
        const XlsBounds b = boundsInRow(row, i);
        firstColumn = i == 0 ? b.left : std::min(firstColumn, b.left);
        endColumn = std::max(endColumn, b.right + 1);
    }
    return {firstColumn, endColumn};
}

std::span<const XlsSheetCell> XlsWorksheet::rowCells(int row, XlsValueUse) const
{
    const std::size_t n = rangeCountInRow(row);
    m_rowCells.clear();
    for (std::size_t i = 0; i < n; ++i)
        m_rowCells.push_back(rangeInRow(row, i));
    if (!isRowInColumnOrder(row)) {
        std::stable_sort(m_rowCells.begin(), m_rowCells.end(),
                         [](const Cell& a, const Cell& b) { return a.bounds.left < b.bounds.left; });
    }
    return m_rowCells;
}

bool XlsWorksheet::isRowInColumnOrder(int row) const
{
    return row < 0 || static_cast<std::size_t>(row) >= m_unordered.size() ||
           !m_unordered[static_cast<std::size_t>(row)];
}

XlsValue XlsWorksheet::valueInRow(int row, std::size_t index) const
{
    return valueOf(stored(row, index));
}

XlsBounds XlsWorksheet::boundsInRow(int row, std::size_t index) const
{
    const Stored& s = stored(row, index);
    return {s.left, s.top, s.right, s.bottom};
}

XlsWorksheet::Stored& XlsWorksheet::stored(int row, std::size_t index)
{
    return m_rows[static_cast<std::size_t>(row)][index];
}

const XlsWorksheet::Stored& XlsWorksheet::stored(int row, std::size_t index) const
{
    return m_rows[static_cast<std::size_t>(row)][index];
}

XlsValue XlsWorksheet::valueOf(const Stored& s) const
{
    switch (s.kind) {
    case Kind::None:
        return std::monostate{};
    case Kind::Text:
        return m_texts[s.text];
    case Kind::Int16:
        return static_cast<std::int16_t>(s.integer);
    case Kind::Int32:
        return static_cast<std::int32_t>(s.integer);
    case Kind::Single:
        return static_cast<float>(s.number);
    case Kind::Double:
        return s.number;
    case Kind::Currency:
        return XlsCurrency{s.integer};
    case Kind::Byte:
        return static_cast<std::uint8_t>(s.integer);
    }
    return std::monostate{};
}

void XlsWorksheet::store(Stored& s, const XlsValue& value)
{
    // Equal texts share one copy: a sheet of measurements repeats its dates, times and names a lot.
    struct Visitor
    {
        XlsWorksheet& sheet;
        Stored& s;
        void operator()(std::monostate) const { s.kind = Kind::None; }
        void operator()(const QString& text) const
        {
            const auto it = sheet.m_textIds.constFind(text);
            if (it != sheet.m_textIds.constEnd()) {
                s.text = *it;
            } else {
                s.text = static_cast<std::uint32_t>(sheet.m_texts.size());
                sheet.m_texts.push_back(text);
                sheet.m_textIds.insert(text, s.text);
            }
            s.kind = Kind::Text;
        }
        void operator()(std::int16_t v) const { set(Kind::Int16, v); }
        void operator()(std::int32_t v) const { set(Kind::Int32, v); }
        void operator()(std::uint8_t v) const { set(Kind::Byte, v); }
        void operator()(float v) const
        {
            s.kind = Kind::Single;
            s.number = v;
        }
        void operator()(double v) const
        {
            s.kind = Kind::Double;
            s.number = v;
        }
        void operator()(XlsCurrency v) const { set(Kind::Currency, v.tenThousandths); }
        void set(Kind k, std::int64_t v) const
        {
            s.kind = k;
            s.integer = v;
        }
    };
    std::visit(Visitor{*this, s}, value);
}

std::uint16_t XlsWorksheet::styleId(const XlsCellStyle& style)
{
    const auto it = std::find(m_styles.begin(), m_styles.end(), style);
    if (it != m_styles.end())
        return static_cast<std::uint16_t>(it - m_styles.begin());
    if (m_styles.size() > std::numeric_limits<std::uint16_t>::max())
        throw std::length_error("too many cell styles in one worksheet");
    m_styles.push_back(style);
    return static_cast<std::uint16_t>(m_styles.size() - 1);
}

} // namespace darni::output::xls

// A rectangle of worksheet cells with one value and one cell style.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace darni::output::xls {

// Colours are 0xRRGGBB.
using XlsColor = std::uint32_t;
inline constexpr XlsColor kXlsBlack = 0x000000;

enum class XlsHorizontalAlignment : std::uint8_t { General, Left, Center, Right, Fill, Justify, CenterAcross };
enum class XlsVerticalAlignment : std::uint8_t { Top, Center, Bottom, Justify };

struct XlsCellStyle
{
    QString fontName = QStringLiteral("Arial");
    int fontSize = 10; // points
    XlsColor fontColor = kXlsBlack;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    XlsHorizontalAlignment horizontal = XlsHorizontalAlignment::General;
    XlsVerticalAlignment vertical = XlsVerticalAlignment::Bottom;
    bool wrap = false;
    std::uint8_t rotation = 0;
    QString numberFormat; // empty: none

    bool operator==(const XlsCellStyle&) const = default;
};

// A currency amount as spreadsheets keep it: ten-thousandths of the unit.
struct XlsCurrency
{
    std::int64_t tenThousandths = 0;
    bool operator==(const XlsCurrency&) const = default;
};

// Nothing, a text, or a number of one of the kinds a cell may be given.
using XlsValue =
    std::variant<std::monostate, QString, std::int16_t, std::int32_t, float, double, XlsCurrency, std::uint8_t>;

// A number value as the 64-bit floating-point number a cell stores; nothing for texts and no value.
std::optional<double> numberOf(const XlsValue& value);

struct XlsBounds
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool overlaps(const XlsBounds& o) const
    {
        return left <= o.right && o.left <= right && top <= o.bottom && o.top <= bottom;
    }
    bool isSingleCell() const { return left == right && top == bottom; }
    bool operator==(const XlsBounds&) const = default;
};

class XlsWorksheet;

// A handle on one range of a sheet; valid until the sheet's ranges next change.
class XlsRange
{
public:
    XlsBounds bounds() const;
    XlsValue value() const;
    // A text has every CR LF turned into LF; other values are kept as they are.
    void setValue(const XlsValue& value);
    const XlsCellStyle& style() const;
    void setStyle(const XlsCellStyle& style);

private:
    friend class XlsWorksheet;
    XlsRange(XlsWorksheet& sheet, int row, std::size_t index) : m_sheet(&sheet), m_row(row), m_index(index) {}

    XlsWorksheet* m_sheet;
    int m_row;           // the range's top row
    std::size_t m_index; // among that row's ranges
};

} // namespace darni::output::xls

// One worksheet of a workbook: its name, its ranges kept by top row (within a row in the order they
// were made), the used area, the columns' widths and the page setup. Ranges are stored compactly and their texts
// shared, so that a sheet of 65,536 rows of sixteen cells stays within a few tens of megabytes.
#pragma once

#include "xlspagesetup.h"
#include "xlsrange.h"
#include "xlssheetsource.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <map>
#include <vector>

namespace darni::output::xls {

class XlsWorksheet : public XlsSheetSource
{
public:
    static constexpr int kMaxNameLength = 31;
    static constexpr int kMaxRow = 0xFFFF;  // rows 0 … 65,535
    static constexpr int kMaxColumn = 0xFF; // columns 0 … 255

    explicit XlsWorksheet(QString name);

    QString name() const override { return m_name; }
    // Cut to 31 characters, then trimmed of surrounding spaces.
    void setName(const QString& name);

    // The range with exactly these bounds, made (default style, no value) if the sheet has none; a new
    // range removes the ranges it overlaps and widens the used area. Throws std::out_of_range for
    // bounds outside a sheet.
    XlsRange range(int left, int top, int right, int bottom);
    XlsRange cell(int column, int row) { return range(column, row, column, row); }

    // The used area; all −1 while the sheet is empty.
    XlsBounds usedArea() const override { return m_used; }

    // A column's width in characters of the workbook's default font; columns without one take the
    // sheet's default width.
    void setColumnWidth(int column, double characters);
    const std::map<int, double>& columnWidths() const override { return m_columnWidths; }

    XlsPageSetup& pageSetup() { return m_pageSetup; }
    const XlsPageSetup& pageSetup() const override { return m_pageSetup; }

    using Cell = XlsSheetCell;
    std::pair<int, int> columnSpan(int row) const override;
    std::span<const XlsSheetCell> rowCells(int row, XlsValueUse use = XlsValueUse::Whole) const override;
    // The ranges whose top row is this one, in the order they were made.
    std::size_t rangeCountInRow(int row) const;
    Cell rangeInRow(int row, std::size_t index) const;
    XlsBounds boundsInRow(int row, std::size_t index) const;
    XlsValue valueInRow(int row, std::size_t index) const;
    // The row's ranges were made from left to right.
    bool isRowInColumnOrder(int row) const;

private:
    friend class XlsRange;

    enum class Kind : std::uint8_t { None, Text, Int16, Int32, Single, Double, Currency, Byte };
    struct Stored
    {
        std::uint16_t left;
        std::uint16_t top;
        std::uint16_t right;
        std::uint16_t bottom;
        std::uint16_t style;
        Kind kind;
        union {
            double number;
            std::int64_t integer;
            std::uint32_t text;
        };
    };

    Stored& stored(int row, std::size_t index);
    const Stored& stored(int row, std::size_t index) const;
    XlsValue valueOf(const Stored& s) const;
    void store(Stored& s, const XlsValue& value);
    std::uint16_t styleId(const XlsCellStyle& style);
    void removeOverlapping(const XlsBounds& b);

    QString m_name;
    std::vector<std::vector<Stored>> m_rows; // by top row
    std::vector<int> m_rightmost;            // by top row: the rightmost column a range of it reached
    std::vector<bool> m_unordered;           // by top row: a range was made left of another
    int m_tallest = 1;                       // rows spanned by the tallest range so far
    XlsBounds m_used{-1, -1, -1, -1};
    std::vector<XlsCellStyle> m_styles{XlsCellStyle{}};
    std::vector<QString> m_texts;
    QHash<QString, std::uint32_t> m_textIds;
    XlsPageSetup m_pageSetup;
    std::map<int, double> m_columnWidths;
    mutable std::vector<Cell> m_rowCells; // the row last asked for
};

} // namespace darni::output::xls

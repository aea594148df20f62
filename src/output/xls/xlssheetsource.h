// A worksheet as the writer reads it, row by row: a model kept in memory (XlsWorksheet) or cells made
// as they are asked for (a table page, which then never exists as a sheet of its own).
#pragma once

#include "xlspagesetup.h"
#include "xlsrange.h"

#include <QString>

#include <map>
#include <optional>
#include <span>

namespace darni::output::xls {

// One range of cells as the writer writes it.
struct XlsSheetCell
{
    XlsBounds bounds;
    const QString* text;          // for a text value; valid while the cell is visited
    std::optional<double> number; // for a number value
    const XlsCellStyle* style;    // the same object for every cell of the same style, for as long as the sheet lives
    bool hasText = false;         // a text that is not empty; told when the visit is for texts
};

// What a visit needs of the cells' values, so that a source that reads them from elsewhere reads no
// more than that: every value; the texts alone (a number cell may then come without its number); the
// numbers alone (a text cell may then come without its text, `hasText` unset); or no value at all,
// only the cells' places and styles. Every visit goes over the same ranges in the same order.
enum class XlsValueUse { Whole, Texts, Numbers, StyleOnly };

class XlsSheetSource
{
public:
    virtual ~XlsSheetSource() = default;

    virtual QString name() const = 0;
    // The used area; all −1 while the sheet is empty.
    virtual XlsBounds usedArea() const = 0;
    bool isEmpty() const { return usedArea().top < 0; }
    // Widths in characters of the workbook's default font, by column.
    virtual const std::map<int, double>& columnWidths() const = 0;
    virtual const XlsPageSetup& pageSetup() const = 0;
    // The first column of the ranges whose top row is this one and the column after the last; 0, 0 for
    // a row without ranges.
    virtual std::pair<int, int> columnSpan(int row) const = 0;
    // Those ranges in writing order: by left column, ranges of equal left column as they were made.
    // The cells, and the texts they point to, stay valid until the sheet is asked for another row; a
    // row at a time rather than a call per cell, as a sheet may have a million cells and is read twice.
    virtual std::span<const XlsSheetCell> rowCells(int row, XlsValueUse use = XlsValueUse::Whole) const = 0;
};

} // namespace darni::output::xls

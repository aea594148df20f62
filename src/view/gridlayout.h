// The stored layout of one grid's columns: for each column, matched to the grid's columns by field
// name, its width, place, sort mark, colour, alignment and font. Kept as a plain text in the user's
// settings ("Table_1", "Table_2"), lines ending in CR LF:
//
//   object GridLayout
//     Data = <
//       item
//         FieldName = 'P'
//         Width = 120
//         WidthUnit = 7
//         TitleState = SortedUp
//       end>
//   end
//
// A property at its default value is left out.
#pragma once

#include "titlestate.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <optional>
#include <vector>

namespace darni::view {

struct ColumnLayout
{
    static constexpr int kDefaultWidth = 45;

    QString fieldName;
    int width = kDefaultWidth;
    int layoutIndex = 0; // the column's place among the grid's columns
    TitleState titleState = TitleState::SortedNone;
    QColor color; // invalid: no colour of its own
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    std::optional<QFont> font; // none: the grid's font
    // The grid font's average character width, in pixels, when `width` was taken: the width follows the
    // font (a larger font, another screen scale) in that proportion. 0 for a layout stored before
    // widths followed the font, whose widths are taken as pixels once.
    int widthUnit = 0;

    bool operator==(const ColumnLayout&) const = default;
};

struct GridLayout
{
    std::vector<ColumnLayout> columns;

    QString toText() const;
    // Nothing when the text is not a layout as toText() writes it; properties it does not know are
    // passed over, so that later versions may add some.
    static std::optional<GridLayout> fromText(const QString& text);

    bool operator==(const GridLayout&) const = default;
};

} // namespace darni::view

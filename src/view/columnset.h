// The columns of the two grids: which field each shows, under which caption, how its value becomes
// cell text, and whether it can be edited in place.
#pragma once

#include "table/recordschema.h"

#include <QString>
#include <QtGlobal>

#include <span>

namespace darni::view {

enum class DisplayFormat {
    OwnText, // text as stored; numbers in the shortest form
    Decimals0,
    Decimals1,
    Decimals2,
};

struct ColumnSpec
{
    table::Field field;
    const char16_t* caption;
    Qt::Alignment alignment;
    DisplayFormat format;
    bool editable;
};

enum class GridKind { Ultrasonic, PullOff };

std::span<const ColumnSpec> columnsOf(GridKind kind);

// A stored value as the cell shows it, with the user's decimal separator; empty for a blank field.
QString cellText(const ColumnSpec& column, const QByteArray& stored);
// What an editor of the cell opens on: the stored value whole, at full precision and with the
// locale's decimal separator, so that confirming it unchanged changes nothing.
QString editText(const ColumnSpec& column, const QByteArray& stored);

} // namespace darni::view

// The words the whole program shares for the rows of a table: the two kinds of record (the values of
// NB_TYPE; a blank one reads as ultrasonic), the page that shows each kind, and the sort tag that the
// grid of each page keeps in the index file.
#pragma once

#include <QString>

namespace darni::table {

enum class RecordKind : int { Ultrasonic = 0, PullOff = 1 };

constexpr int nbTypeOf(RecordKind kind)
{
    return static_cast<int>(kind);
}

// "ОРНАК-ТР5" or "ПЕЛТА2-ТР5": the page's tab, and the name commands print.
QString pageTitle(RecordKind kind);
// "tab1" for the ultrasonic page's grid, "tab2" for the pull-off page's.
QString sortTagOf(RecordKind kind);

} // namespace darni::table

// Rows into and out of a test's table in a line each.
#pragma once

#include "table/dbftable.h"

#include <vector>

namespace darni::testing {

inline void appendRow(table::DbfTable& t, const table::NewRow& row)
{
    t.appendRows({&row, 1});
}

// Rows numbered from..to in N, nothing else set.
inline void appendNumbered(table::DbfTable& t, int from, int to)
{
    std::vector<table::NewRow> rows;
    for (int i = from; i <= to; ++i)
        rows.push_back(table::NewRow().setReal(table::Field::N, i));
    t.appendRows(rows);
}

// The N of each row of the view, in its order.
inline std::vector<int> numbersOf(const table::RecordView& rows)
{
    std::vector<int> out;
    for (int row = 0; row < rows.size(); ++row)
        out.push_back(rows.integer(row, table::Field::N));
    return out;
}

} // namespace darni::testing

// The order a grid gives the table by a click on a column title: one single-field sort tag per grid,
// made the table's active order, so that every walk over the rows (the grid, the statistics,
// renumbering, printing) follows it; or file order again.
#pragma once

#include "recordschema.h"

#include <QString>

namespace darni::table {

class DbfTable;

// Replaces the tag by one on the field, descending or ascending, and makes it the active order. A
// tag of that name that cannot be dropped is no hindrance. Throws TableError when the tag cannot be
// made (a text field wider than an index key, say); the table is then in file order.
void sortByField(DbfTable& table, const QString& tag, Field field, bool descending);

// Back to file order without the tag. Nothing here is worth telling the user: a table without the
// tag, or closed, is already what this asks for.
void resetOrder(DbfTable& table, const QString& tag);

} // namespace darni::table

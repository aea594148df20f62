// The order a grid gives the table.
#include "tableorder.h"

#include "dbftable.h"
#include "tableerror.h"
#include "tablelog.h"

namespace darni::table {

namespace {

void dropTag(DbfTable& table, const QString& tag)
{
    table.setActiveTag({});
    if (table.tagNames().contains(tag, Qt::CaseInsensitive))
        table.deleteTag(tag);
}

} // namespace

void sortByField(DbfTable& table, const QString& tag, Field field, bool descending)
{
    table.setActiveTag({});
    // The tag is replaced in one write of the index file, not dropped in one and added in another.
    table.replaceTag(tag, fieldSpec(field).name, descending);
    // The new tag is built from the rows as they are, so it needs no rebuilding before use.
    table.setActiveTag(tag);
}

void resetOrder(DbfTable& table, const QString& tag)
{
    if (!table.isOpen())
        return;
    try {
        dropTag(table, tag);
    } catch (const TableError& e) {
        // The rows then show in whatever order the table has; the next sort starts afresh.
        qCWarning(lcTable) << "sort tag" << tag << "not dropped:" << e.message();
    }
}

} // namespace darni::table

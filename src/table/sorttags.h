// The sort tags of one table and the ".mdx" index file that keeps them beside it: which tags there
// are, which one orders the rows, and each tag's order, kept up to date as rows change. The order is
// always built from the records themselves; the index file is written for other programs and for the
// tag definitions, never trusted for the order.
#pragma once

#include "indextag.h"
#include "recordschema.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string_view>
#include <vector>

namespace darni::table {

class RecordStore;

class SortTags
{
public:
    // The tags of the index file beside the store's table, each built from the rows. False, with no
    // tags, when the file is missing, unreadable or not sound: the table then has none.
    bool load(const QString& indexPath, RecordStore& store);
    void clear();

    bool isEmpty() const { return m_tags.empty(); }
    QStringList names() const;
    bool contains(const QString& name) const { return find(name) >= 0; }
    // The tag that orders the rows, or nullptr for file order.
    IndexTag* active() { return m_active < 0 ? nullptr : &m_tags[static_cast<std::size_t>(m_active)]; }
    QString activeName() const;
    // An empty name chooses file order. TableError(NoSuchTag) for a name not in use.
    void setActive(const QString& name);

    // A new tag on the field, built from the rows. TableError: KeyTooLong for a text field wider than
    // an index key, TagExists for a name in use or no room left.
    void add(const QString& name, Field field, bool descending, RecordStore& store);
    // TableError(NoSuchTag) when there is no such tag. Removing the active tag returns to file order.
    void remove(const QString& name);
    // Every tag afresh from the rows (after rows were taken back); the definitions, and so the index
    // file, stay as they are.
    void rebuild(RecordStore& store);
    // The same tags for a table of the same fields, each built afresh from the store's rows.
    void rebuildFrom(const SortTags& definitions, RecordStore& store);

    // A row changed from `before` to `after` (nullptr for none); true when some order changed.
    bool update(std::uint32_t slot, const char* before, const char* after);
    // The tags changed since the index file was written.
    bool isStale() const { return m_stale; }
    // Writes the index file for these tags (the store's rows written first, as the file may name
    // them). Nothing for a table open only for reading, which keeps its order in memory.
    void writeIndexFile(const QString& indexPath, RecordStore& store);

private:
    int find(const QString& name) const;
    static IndexTag make(const QString& name, Field field, bool descending, const RecordStore& store);
    static void build(IndexTag& tag, RecordStore& store);

    std::vector<IndexTag> m_tags;
    int m_active = -1; // into m_tags; −1 for file order
    bool m_stale = false;
};

} // namespace darni::table

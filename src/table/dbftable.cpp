// One table's records and sort tags, as explicit operations.
#include "dbftable.h"

#include "fieldcodec.h"
#include "files/atomicfile.h"
#include "files/fileerror.h"
#include "files/setasidefile.h"
#include "tableerror.h"
#include "tablelog.h"
#include "tablemisuse.h"
#include "tablepaths.h"

#include <QFile>

#include <cmath>
#include <cstring>

namespace darni::table {

namespace {
QString latin(std::string_view s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
} // namespace

// ---- creating, opening and closing ------------------------------------------------------------

void DbfTable::create(const QString& path)
{
    DbfTable table;
    table.openNew(path);
    table.commitNew();
}

void DbfTable::checkReplaceable(const QString& path)
{
    TableFile::checkReplaceable(path);
}

DbfTable::~DbfTable()
{
    try {
        close();
    } catch (const TableError& e) {
        qCWarning(lcTable) << "closing on destruction failed:" << e.message();
    }
}

void DbfTable::open(const QString& path, Access access)
{
    close();
    files::removeAbandonedTemporaries(indexFilePath(path));
    m_store.open(path, access);
    afterLoading(path);
}

void DbfTable::openNew(const QString& path)
{
    close();
    m_store.openNew(path);
    afterLoading(path);
}

void DbfTable::afterLoading(const QString& path)
{
    try {
        m_tags.clear();
        if (m_store.header().hasProductionIndex() && !m_tags.load(indexFilePath(path), m_store))
            m_store.setProductionIndex(false, false);
    } catch (...) {
        release();
        throw;
    }
}

void DbfTable::commitNew()
{
    requireOpen();
    try {
        m_store.commitNew();
        if (m_tags.isStale())
            writeIndexFile();
    } catch (...) {
        release();
        throw;
    }
}

void DbfTable::close()
{
    if (!isOpen())
        return;
    try {
        // A new table that was never committed is thrown away: the name keeps what it held.
        if (!m_store.isReplacement() && isWritable()) {
            flushRows();
            if (m_tags.isStale())
                writeIndexFile();
        }
    } catch (...) {
        release();
        throw;
    }
    release();
}

void DbfTable::release()
{
    m_lastView.reset();
    m_store.abandon();
    m_tags.clear();
}

void DbfTable::requireOpen() const
{
    if (!isOpen())
        throw TableMisuse("Таблица не открыта.");
}

void DbfTable::requireWritable() const
{
    requireOpen();
    if (!isWritable())
        throw TableError(TableError::Cause::ReadOnly,
                         QStringLiteral("Таблица %1 открыта только для чтения.").arg(path()));
}

// ---- writing the file -------------------------------------------------------------------------

void DbfTable::flushRows()
{
    try {
        m_store.flush();
    } catch (...) {
        followRollBack();
        throw;
    }
}

void DbfTable::followRollBack()
{
    if (!m_store.rolledBack())
        return;
    ++m_edits; // the rows went back: no view taken before stands
    // The store went back to the rows its header counts; the orders go with it.
    m_tags.rebuild(m_store);
}

void DbfTable::writeIndexFile()
{
    try {
        m_tags.writeIndexFile(indexPath(), m_store);
    } catch (...) {
        followRollBack();
        throw;
    }
}

void DbfTable::flush()
{
    requireOpen();
    if (!isWritable())
        return;
    flushRows();
    if (m_tags.isStale())
        writeIndexFile();
}

// ---- reading rows -----------------------------------------------------------------------------

RecordView DbfTable::view(const RowFilter& rows, Order order)
{
    requireOpen();
    IndexTag* tag = order == Order::Active ? m_tags.active() : nullptr;
    // Only views in the active order are kept: the others are asked for once, by one command.
    const bool keep = tag == m_tags.active();
    if (keep && lastViewStands(rows))
        return *m_lastView;
    const auto shown = [&](const char* record) {
        return record[0] != dbf::kDeletedFlag && (!rows.isActive() || rows.accepts(kindOf(record)));
    };
    std::vector<std::uint32_t> slots;
    if (tag) {
        // In the tag's order the records lie anywhere in the map: what is read of them (the deletion
        // flag and, for one kind, the kind) is asked for a few rows ahead.
        const int kindOffset = layout()[Field::NB_TYPE].offset;
        const std::size_t n = tag->size();
        slots.reserve(n);
        for (std::size_t p = 0; p < n; ++p) {
            if (p + RecordStore::kPrefetchAhead < n) {
                const std::uint32_t ahead = tag->slotAt(p + RecordStore::kPrefetchAhead);
                m_store.prefetch(ahead, 0);
                if (rows.isActive())
                    m_store.prefetch(ahead, kindOffset);
            }
            const std::uint32_t slot = tag->slotAt(p);
            if (shown(m_store.record(slot)))
                slots.push_back(slot);
        }
    } else {
        const std::uint32_t n = m_store.slotCount();
        for (std::uint32_t slot = 1; slot <= n; ++slot) {
            if (shown(m_store.record(slot)))
                slots.push_back(slot);
        }
    }
    if (!keep)
        return RecordView(*this, std::move(slots), generation());
    return keepAsLastView(rows, std::move(slots));
}

bool DbfTable::lastViewStands(const RowFilter& rows) const
{
    return m_lastView && m_lastViewRows == rows && m_lastViewGeneration == generation() && m_lastViewEdits == m_edits;
}

RecordView& DbfTable::keepAsLastView(const RowFilter& rows, std::vector<std::uint32_t> slots)
{
    m_lastView.emplace(*this, std::move(slots), generation());
    m_lastViewRows = rows;
    m_lastViewGeneration = generation();
    m_lastViewEdits = m_edits;
    return *m_lastView;
}

int DbfTable::kindOf(const char* record) const
{
    const BoundField& kind = layout()[Field::NB_TYPE];
    return static_cast<int>(fieldcodec::numberValue(std::string_view(record + kind.offset, kind.width)).value_or(0));
}

bool DbfTable::isLive(std::uint32_t slot)
{
    requireOpen();
    return slot >= 1 && slot <= m_store.slotCount() && m_store.record(slot)[0] != dbf::kDeletedFlag;
}

int DbfTable::firstKindPresent(std::span<const int> kinds)
{
    requireOpen();
    Q_ASSERT(!kinds.empty());
    // One walk sorts the live rows by kind; the page chosen then has its rows at hand. The table was
    // just opened, its map not yet read: the walk reads the file instead.
    std::vector<std::vector<std::uint32_t>> byKind(kinds.size());
    const std::uint32_t n = m_store.slotCount();
    for (std::uint32_t slot = 1; slot <= n; ++slot) {
        const char* record = m_store.walkedRecord(slot);
        if (record[0] == dbf::kDeletedFlag)
            continue;
        const int value = kindOf(record);
        for (std::size_t k = 0; k < kinds.size(); ++k) {
            if (RowFilter::recordKind(kinds[k]).accepts(value))
                byKind[k].push_back(slot);
        }
    }
    const auto present = std::find_if(byKind.begin(), byKind.end(), [](const auto& slots) { return !slots.empty(); });
    const std::size_t chosen =
        present == byKind.end() ? kinds.size() - 1 : static_cast<std::size_t>(present - byKind.begin());
    // A view in file order is the kind's view only while no sort tag orders the rows.
    if (!m_tags.active())
        keepAsLastView(RowFilter::recordKind(kinds[chosen]), std::move(byKind[chosen]));
    return kinds[chosen];
}

// ---- fields -----------------------------------------------------------------------------------

Field DbfTable::fieldNamed(std::string_view name)
{
    const auto field = fieldByName(name);
    if (!field)
        throw TableError(TableError::Cause::MissingField, QStringLiteral("В таблице нет поля %1.").arg(latin(name)));
    return *field;
}

// ---- changing rows ----------------------------------------------------------------------------

void DbfTable::appendRows(std::span<const NewRow> rows)
{
    requireWritable();
    if (rows.empty())
        return;
    // Each row is written into a record that stays in the processor's cache, then copied into the store.
    m_rowRecord.resize(m_store.recordLength());
    try {
        for (const NewRow& row : rows) {
            m_rowRecord.fill(dbf::kBlank);
            row.writeInto(layout(), m_rowRecord.data());
            m_tags.update(m_store.slotCount() + 1, nullptr, m_rowRecord.constData());
            m_store.append(m_rowRecord.constData());
        }
    } catch (...) {
        followRollBack();
        throw;
    }
}

void DbfTable::setField(std::uint32_t slot, Field field, const FieldValue& value)
{
    requireWritable();
    if (!isLive(slot))
        throw TableMisuse("Строки в этом месте таблицы нет.");
    const QByteArray before(m_store.record(slot), m_store.recordLength());
    QByteArray after = before;
    value.writeInto(field, layout(), after.data());
    ++m_edits;
    m_store.writeRecord(slot, after.constData());
    m_tags.update(slot, before.constData(), after.constData());
}

// ---- pack and other rewrites -------------------------------------------------------------------

void DbfTable::rewrite(const RecordStore::Rewrite& plan)
{
    requireWritable();
    // The old index file describes the old rows: it leaves before the new table takes the name, and
    // the new table carries no production index flag until its own index is written, so that after a
    // crash at any moment an index beside the table describes its rows, or there is none.
    files::SetAsideFile oldIndex;
    // A rewrite keeps the rows it copies in their order and changes no row's kind, so a page taken in
    // file order before it is still the page, in the rows' new slots: it need not be walked again.
    std::optional<RecordView> pageBefore;
    if (!m_tags.active() && lastViewStands(m_lastViewRows))
        pageBefore = std::move(m_lastView);
    m_lastView.reset();
    std::vector<std::uint32_t> newSlots;
    try {
        newSlots = m_store.rewrite(plan, false, [&] {
            try {
                oldIndex.setAside(indexPath());
            } catch (const files::FileError& e) {
                throw TableError::from(e);
            }
        });
        oldIndex.drop();
    } catch (...) {
        if (m_store.isOpen())
            followRollBack();
        else
            release();
        throw;
    }
    // The same tags over the rewritten rows, in the same order.
    SortTags rebuilt;
    rebuilt.rebuildFrom(m_tags, m_store);
    m_tags = std::move(rebuilt);
    ++m_orderGeneration;
    if (m_tags.isEmpty()) {
        QFile::remove(indexPath());
    } else {
        // The order is taken from the rows at the next open, so an index file lost here costs nothing.
        try {
            writeIndexFile();
            m_store.setProductionIndex(true, true);
        } catch (const TableError& e) {
            qCWarning(lcTable) << "index file not rewritten after a rewrite:" << e.message();
        }
    }
    if (pageBefore)
        keepViewAfterRewrite(*pageBefore, newSlots, plan.number);
}

void DbfTable::keepViewAfterRewrite(const RecordView& before, std::span<const std::uint32_t> newSlots,
                                    std::span<const std::uint32_t> newNumbers)
{
    std::vector<std::uint32_t> slots;
    slots.reserve(before.slots().size());
    // New numbers are whole and positive: the greatest is the widest.
    std::uint32_t greatestNumber = 0;
    int greatestRow = -1;
    for (const std::uint32_t slot : before.slots()) {
        if (slot >= newSlots.size() || newSlots[slot] == 0)
            continue;
        if (slot < newNumbers.size() && newNumbers[slot] > greatestNumber) {
            greatestNumber = newNumbers[slot];
            greatestRow = static_cast<int>(slots.size());
        }
        slots.push_back(newSlots[slot]);
    }
    keepAsLastView(m_lastViewRows, std::move(slots))
        .setNarrowedFrom(before.rowSetKey(), greatestRow < 0
                                                 ? std::nullopt
                                                 : std::optional(RecordView::ChangedField{Field::N, greatestRow}));
}

void DbfTable::removeRows(const std::vector<std::uint32_t>& slots)
{
    requireWritable();
    const std::uint32_t count = m_store.slotCount();
    RecordStore::Rewrite plan;
    plan.drop.assign(static_cast<std::size_t>(count) + 1, false);
    for (const std::uint32_t slot : slots) {
        if (slot >= 1 && slot <= count)
            plan.drop[slot] = true;
    }
    rewrite(plan);
}

void DbfTable::renumberRows(std::span<const std::uint32_t> slotsInOrder)
{
    requireWritable();
    const std::uint32_t count = m_store.slotCount();
    RecordStore::Rewrite plan;
    plan.number.assign(static_cast<std::size_t>(count) + 1, 0);
    std::uint32_t number = 0;
    for (const std::uint32_t slot : slotsInOrder) {
        if (slot >= 1 && slot <= count && plan.number[slot] == 0)
            plan.number[slot] = ++number;
    }
    rewrite(plan);
}

// ---- sort tags --------------------------------------------------------------------------------

QString DbfTable::indexPath() const
{
    return indexFilePath(path());
}

void DbfTable::orderChanged()
{
    ++m_orderGeneration;
}

void DbfTable::addTag(const QString& name, std::string_view fieldName, bool descending)
{
    requireOpen();
    m_tags.add(name, fieldNamed(fieldName), descending, m_store);
    writeTagsAdded();
}

void DbfTable::replaceTag(const QString& name, std::string_view fieldName, bool descending)
{
    requireOpen();
    if (m_tags.names().contains(name, Qt::CaseInsensitive)) {
        m_tags.remove(name);
        orderChanged();
    }
    m_tags.add(name, fieldNamed(fieldName), descending, m_store);
    writeTagsAdded();
}

void DbfTable::writeTagsAdded()
{
    writeIndexFile();
    // A table open only for reading sorts in memory; its header stays as it is.
    if (!m_store.header().hasProductionIndex() && isWritable())
        m_store.setProductionIndex(true, true);
}

void DbfTable::deleteTag(const QString& name)
{
    requireOpen();
    m_tags.remove(name);
    orderChanged();
    writeIndexFile();
}

void DbfTable::setActiveTag(const QString& name)
{
    requireOpen();
    m_tags.setActive(name);
    orderChanged();
}

QString DbfTable::activeTag() const
{
    return m_tags.activeName();
}

QStringList DbfTable::tagNames() const
{
    return m_tags.names();
}

} // namespace darni::table

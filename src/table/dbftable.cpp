// The cursor and editor over one table's records and sort tags.
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
        resetCursor();
        m_row = QByteArray(m_store.recordLength(), dbf::kBlank);
        m_tags.clear();
        if (m_store.header().hasProductionIndex() && !m_tags.load(indexFilePath(path), m_store))
            m_store.setProductionIndex(false, false);
        first();
    } catch (...) {
        release();
        throw;
    }
}

void DbfTable::commitNew()
{
    requireOpen();
    try {
        if (m_state != State::Browse)
            post();
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
            if (m_state != State::Browse)
                post();
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
    resetCursor();
    m_tags.clear();
}

void DbfTable::resetCursor()
{
    m_row.clear();
    m_rowInStore = false;
    m_current = 0;
    m_state = State::Browse;
    m_bof = m_eof = true;
    m_orderPosition.reset();
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

void DbfTable::writeAppends()
{
    try {
        m_store.writeAppends();
    } catch (...) {
        followRollBack();
        throw;
    }
}

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
    // The store went back to the rows its header counts; the cursor and the orders go with it.
    if (m_current > m_store.slotCount()) {
        m_current = 0;
        clearRow();
    }
    m_tags.rebuild(m_store);
    m_orderPosition.reset();
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

const char* DbfTable::recordAt(std::uint32_t slot, Direction direction)
{
    return m_store.record(slot, direction);
}

RecordView DbfTable::view()
{
    requireOpen();
    if (lastViewStands())
        return *m_lastView;
    std::vector<std::uint32_t> slots;
    if (IndexTag* tag = m_tags.active()) {
        // In the tag's order the records lie anywhere in the map: what isShown reads of them (the
        // deletion flag and, under a filter, the kind) is asked for a few rows ahead.
        const int kindOffset = layout()[Field::NB_TYPE].offset;
        const std::size_t n = tag->size();
        slots.reserve(n);
        for (std::size_t p = 0; p < n; ++p) {
            if (p + RecordStore::kPrefetchAhead < n) {
                const std::uint32_t ahead = tag->slotAt(p + RecordStore::kPrefetchAhead);
                m_store.prefetch(ahead, 0);
                if (m_filter.isActive())
                    m_store.prefetch(ahead, kindOffset);
            }
            const std::uint32_t slot = tag->slotAt(p);
            if (isShown(recordAt(slot)))
                slots.push_back(slot);
        }
    } else {
        const std::uint32_t n = m_store.slotCount();
        for (std::uint32_t slot = 1; slot <= n; ++slot) {
            if (isShown(recordAt(slot)))
                slots.push_back(slot);
        }
    }
    return keepAsLastView(std::move(slots));
}

bool DbfTable::lastViewStands() const
{
    return m_lastView && m_lastViewGeneration == generation() && m_lastViewEdits == m_edits;
}

RecordView& DbfTable::keepAsLastView(std::vector<std::uint32_t> slots)
{
    m_lastView.emplace(*this, std::move(slots), generation());
    m_lastViewGeneration = generation();
    m_lastViewEdits = m_edits;
    return *m_lastView;
}

int DbfTable::kindOf(const char* record) const
{
    const BoundField& kind = layout()[Field::NB_TYPE];
    return static_cast<int>(fieldcodec::numberValue(std::string_view(record + kind.offset, kind.width)).value_or(0));
}

bool DbfTable::isShown(const char* record) const
{
    if (record[0] == dbf::kDeletedFlag)
        return false;
    return !m_filter.isActive() || m_filter.accepts(kindOf(record));
}

std::optional<std::uint32_t> DbfTable::findShown(std::uint32_t from, Direction direction)
{
    const std::uint32_t slots = m_store.slotCount();
    if (direction == Direction::Forward) {
        for (std::uint32_t slot = std::max<std::uint32_t>(from, 1); slot <= slots; ++slot) {
            if (isShown(recordAt(slot, direction)))
                return slot;
        }
        return std::nullopt;
    }
    for (std::uint32_t slot = std::min(from, slots); slot >= 1; --slot) {
        if (isShown(recordAt(slot, direction)))
            return slot;
    }
    return std::nullopt;
}

void DbfTable::moveTo(std::uint32_t slot)
{
    // The row is read where the store holds it: a walk touches only the fields it reads.
    m_current = slot;
    m_rowInStore = true;
    m_mappedRow = m_store.mappedRecord(slot);
    m_mappedRowGeneration = m_store.mapGeneration();
}

void DbfTable::clearRow()
{
    m_row.fill(dbf::kBlank);
    m_rowInStore = false;
}

const char* DbfTable::rowData() const
{
    if (!m_rowInStore)
        return m_row.isEmpty() ? nullptr : m_row.constData();
    if (m_mappedRow && m_mappedRowGeneration == m_store.mapGeneration())
        return m_mappedRow;
    return m_store.recordForReading(m_current, m_scratch);
}

// ---- the cursor -------------------------------------------------------------------------------

void DbfTable::setFilter(const RowFilter& filter)
{
    m_filter = filter;
    ++m_orderGeneration;
    if (isOpen())
        first();
}

std::optional<std::uint32_t> DbfTable::firstInOrder(Direction direction)
{
    m_orderPosition.reset();
    IndexTag* tag = m_tags.active();
    if (!tag)
        return findShown(direction == Direction::Forward ? 1 : m_store.slotCount(), direction);
    const std::size_t n = tag->size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t p = direction == Direction::Forward ? i : n - 1 - i;
        const std::uint32_t slot = tag->slotAt(p);
        if (isShown(recordAt(slot))) {
            m_orderPosition = p;
            return slot;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> DbfTable::nextInOrder(Direction direction)
{
    if (m_current == 0)
        return std::nullopt;
    IndexTag* tag = m_tags.active();
    if (!tag) {
        if (direction == Direction::Forward)
            return findShown(m_current + 1, Direction::Forward);
        return m_current > 1 ? findShown(m_current - 1, Direction::Backward) : std::nullopt;
    }
    if (!m_orderPosition)
        m_orderPosition = tag->positionOf(m_current, recordAt(m_current));
    if (!m_orderPosition)
        return std::nullopt;
    const std::size_t n = tag->size();
    for (std::size_t p = *m_orderPosition; direction == Direction::Forward ? p + 1 < n : p > 0;) {
        p = direction == Direction::Forward ? p + 1 : p - 1;
        const std::uint32_t slot = tag->slotAt(p);
        if (isShown(recordAt(slot))) {
            m_orderPosition = p;
            return slot;
        }
    }
    return std::nullopt;
}

bool DbfTable::first()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    const auto slot = firstInOrder(Direction::Forward);
    m_bof = true;
    m_eof = !slot;
    if (!slot) {
        m_current = 0;
        clearRow();
        return false;
    }
    moveTo(*slot);
    return true;
}

bool DbfTable::last()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    const auto slot = firstInOrder(Direction::Backward);
    m_eof = true;
    m_bof = !slot;
    if (!slot) {
        m_current = 0;
        clearRow();
        return false;
    }
    moveTo(*slot);
    return true;
}

bool DbfTable::next()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    const auto slot = nextInOrder(Direction::Forward);
    if (!slot) {
        m_eof = true;
        return false;
    }
    moveTo(*slot);
    m_bof = m_eof = false;
    return true;
}

bool DbfTable::prior()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    const auto slot = nextInOrder(Direction::Backward);
    if (!slot) {
        m_bof = true;
        return false;
    }
    moveTo(*slot);
    m_bof = m_eof = false;
    return true;
}

bool DbfTable::goToSlot(std::uint32_t slot)
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    if (slot < 1 || slot > m_store.slotCount() || !isShown(recordAt(slot)))
        return false;
    if (slot != m_current)
        m_orderPosition.reset();
    moveTo(slot);
    m_bof = m_eof = false;
    return true;
}

void DbfTable::refresh()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    // Appended rows reach the file but are not yet counted: a caller that appends in several steps
    // commits them together with flush() or close(), so a crash keeps all of them or none.
    if (isWritable()) {
        writeAppends();
        if (m_tags.isStale())
            writeIndexFile();
    }
    if (m_current == 0 || !goToSlot(m_current))
        first();
}

int DbfTable::showFirstKindPresent(std::span<const int> kinds)
{
    requireOpen();
    Q_ASSERT(!kinds.empty());
    if (m_state != State::Browse)
        post();
    if (isWritable())
        writeAppends();
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
    setFilter(RowFilter::recordKind(kinds[chosen]));
    refresh();
    // A view in file order is the page's view only while no sort tag orders the rows.
    if (!m_tags.active())
        keepAsLastView(std::move(byKind[chosen]));
    return kinds[chosen];
}

int DbfTable::count()
{
    requireOpen();
    int shown = 0;
    const std::uint32_t slots = m_store.slotCount();
    for (std::uint32_t slot = 1; slot <= slots; ++slot) {
        if (isShown(recordAt(slot)))
            ++shown;
    }
    return shown;
}

// ---- fields -----------------------------------------------------------------------------------

Field DbfTable::fieldNamed(std::string_view name)
{
    const auto field = fieldByName(name);
    if (!field)
        throw TableError(TableError::Cause::MissingField, QStringLiteral("В таблице нет поля %1.").arg(latin(name)));
    return *field;
}

std::string_view DbfTable::fieldView(Field f) const
{
    const BoundField& b = layout()[f];
    const char* row = rowData();
    if (!row || m_store.recordLength() < b.offset + b.width)
        return {};
    return {row + b.offset, static_cast<std::size_t>(b.width)};
}

char* DbfTable::fieldBytes(Field f)
{
    return m_row.data() + layout()[f].offset;
}

bool DbfTable::isNull(Field f) const
{
    return fieldView(f).find_first_not_of(dbf::kBlank) == std::string_view::npos;
}

QByteArray DbfTable::text(Field f) const
{
    const auto value = fieldcodec::textValue(fieldView(f));
    return QByteArray(value.data(), static_cast<qsizetype>(value.size()));
}

std::optional<double> DbfTable::number(Field f) const
{
    return fieldcodec::numberValue(fieldView(f));
}

std::int32_t DbfTable::integer(Field f) const
{
    return fieldcodec::integerValue(fieldView(f));
}

void DbfTable::requireEditing() const
{
    requireOpen();
    if (m_state == State::Browse)
        throw TableMisuse("Строка таблицы не редактируется.");
}

void DbfTable::setText(Field f, std::string_view cp1251Text)
{
    requireEditing();
    fieldcodec::writeText(cp1251Text, fieldBytes(f), layout()[f].width);
}

void DbfTable::checkedWriteNumber(Field f, bool fits)
{
    if (fits)
        return;
    throw TableError(TableError::Cause::ValueTooWide, QStringLiteral("Значение не помещается в поле %1 (%2 знаков).")
                                                          .arg(latin(fieldSpec(f).name))
                                                          .arg(layout()[f].width));
}

void DbfTable::setReal(Field f, double value)
{
    requireEditing();
    const BoundField& b = layout()[f];
    // Fields without decimals take the whole part: decoded values are truncated, never rounded.
    const double stored = b.decimals == 0 ? std::trunc(value) : value;
    checkedWriteNumber(f, fieldcodec::writeNumber(stored, b.decimals, fieldBytes(f), b.width));
}

void DbfTable::setInteger(Field f, std::int64_t value)
{
    requireEditing();
    const BoundField& b = layout()[f];
    const bool fits = b.decimals == 0
                          ? fieldcodec::writeInteger(value, fieldBytes(f), b.width)
                          : fieldcodec::writeNumber(static_cast<double>(value), b.decimals, fieldBytes(f), b.width);
    checkedWriteNumber(f, fits);
}

void DbfTable::setNull(Field f)
{
    requireEditing();
    std::memset(fieldBytes(f), dbf::kBlank, static_cast<std::size_t>(layout()[f].width));
}

// ---- changing rows ----------------------------------------------------------------------------

void DbfTable::append()
{
    requireWritable();
    if (m_state != State::Browse)
        post();
    clearRow();
    m_current = 0;
    m_state = State::Insert;
}

void DbfTable::edit()
{
    requireWritable();
    if (m_state != State::Browse)
        return;
    if (m_current == 0)
        throw TableMisuse("Нет текущей строки.");
    if (m_rowInStore) {
        std::memcpy(m_row.data(), recordAt(m_current), static_cast<std::size_t>(m_store.recordLength()));
        m_rowInStore = false;
    }
    m_state = State::Edit;
}

void DbfTable::updateTags(std::uint32_t slot, const char* before, const char* after)
{
    if (m_tags.update(slot, before, after))
        m_orderPosition.reset();
}

void DbfTable::post()
{
    requireOpen();
    ++m_edits;
    if (m_state == State::Edit) {
        // A write that fails leaves the row being edited, so that it can be posted again or cancelled.
        if (m_tags.isEmpty()) {
            m_store.writeRecord(m_current, m_row.constData());
        } else {
            const QByteArray before(recordAt(m_current), m_store.recordLength());
            m_store.writeRecord(m_current, m_row.constData());
            updateTags(m_current, before.constData(), m_row.constData());
        }
        m_state = State::Browse;
    } else if (m_state == State::Insert) {
        m_state = State::Browse;
        m_current = m_store.slotCount() + 1;
        m_bof = m_eof = false;
        updateTags(m_current, nullptr, m_row.constData());
        try {
            m_store.append(m_row.constData());
        } catch (...) {
            followRollBack();
            throw;
        }
    }
}

void DbfTable::cancel()
{
    requireOpen();
    const State was = m_state;
    m_state = State::Browse;
    if (was == State::Edit)
        moveTo(m_current);
    else if (was == State::Insert)
        first();
}

void DbfTable::deleteRow()
{
    requireWritable();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_current == 0)
        throw TableMisuse("Нет текущей строки.");
    m_state = State::Browse; // an unposted edit of a deleted row is dropped
    const QByteArray live(recordAt(m_current), m_store.recordLength());
    const auto after = nextInOrder(Direction::Forward);
    const auto before = after ? std::nullopt : nextInOrder(Direction::Backward);
    QByteArray record = live;
    record[0] = dbf::kDeletedFlag;
    m_store.writeRecord(m_current, record.constData());
    updateTags(m_current, live.constData(), nullptr);
    ++m_orderGeneration;

    if (after) {
        moveTo(*after);
        m_bof = m_eof = false;
    } else if (before) {
        moveTo(*before);
        m_bof = false;
        m_eof = true;
    } else {
        m_current = 0;
        clearRow();
        m_bof = m_eof = true;
    }
}

// ---- pack and other rewrites -------------------------------------------------------------------

void DbfTable::rewrite(const RecordStore::Rewrite& plan)
{
    requireWritable();
    if (m_state != State::Browse)
        post();
    // The old index file describes the old rows: it leaves before the new table takes the name, and
    // the new table carries no production index flag until its own index is written, so that after a
    // crash at any moment an index beside the table describes its rows, or there is none.
    files::SetAsideFile oldIndex;
    // A rewrite keeps the rows it copies in their order and changes no row's kind, so a page taken in
    // file order before it is still the page, in the rows' new slots: it need not be walked again.
    std::optional<RecordView> pageBefore;
    if (!m_tags.active() && lastViewStands())
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
    resetCursor();
    m_row = QByteArray(m_store.recordLength(), dbf::kBlank);
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
    first();
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
    keepAsLastView(std::move(slots))
        .setNarrowedFrom(before.rowSetKey(), greatestRow < 0
                                                 ? std::nullopt
                                                 : std::optional(RecordView::ChangedField{Field::N, greatestRow}));
}

void DbfTable::pack()
{
    rewrite({});
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
    m_orderPosition.reset();
    ++m_orderGeneration;
}

void DbfTable::addTag(const QString& name, std::string_view fieldName, bool descending)
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    m_tags.add(name, fieldNamed(fieldName), descending, m_store);
    writeTagsAdded();
}

void DbfTable::replaceTag(const QString& name, std::string_view fieldName, bool descending)
{
    requireOpen();
    if (m_state != State::Browse)
        post();
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
    if (m_state != State::Browse)
        post();
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

// The sort tags of one table and its index file.
#include "sorttags.h"

#include "dbfheader.h"
#include "mdxfile.h"
#include "recordstore.h"
#include "sortkey.h"
#include "tableerror.h"
#include "tablelog.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace darni::table {

namespace {

QString latin(std::string_view s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// Under the index's own words, what they mean for the user.
QString keyTooLongExplanation()
{
    return QStringLiteral("По этому столбцу сортировать нельзя: его текст длиннее 100 знаков, а ключ "
                          "сортировки не может быть длиннее.");
}

// The tags of an index file, read only when the file is no larger than an index of the table can be:
// a file of any other size is not ours, and reading it whole would cost for nothing.
std::optional<std::vector<StoredTag>> readIndexFile(const QString& path, std::uint32_t slots)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray headerPages = file.read(mdx::kHeaderPages * mdx::kPageSize);
    const auto tags = MdxFile::tagsInUse(headerPages);
    if (!tags || file.size() > mdx::largestFileFor(slots, *tags)) {
        qCWarning(lcTable) << "index file does not fit its table" << path << file.size();
        return std::nullopt;
    }
    return MdxFile::read(headerPages + file.readAll());
}

} // namespace

int SortTags::find(const QString& name) const
{
    for (std::size_t i = 0; i < m_tags.size(); ++i) {
        if (m_tags[i].name().compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

IndexTag SortTags::make(const QString& name, Field field, bool descending, const RecordStore& store)
{
    const FieldLayout& layout = store.layout();
    const BoundField& b = layout[field];
    const QString fieldName = latin(fieldSpec(field).name);
    if (fieldSpec(field).valueType != ValueType::Text)
        return IndexTag(name, field, descending, IndexTag::KeyType::Number, {{b.offset, b.width}}, fieldName);
    // A composed key where the table's fields are wide enough for its pieces; else the field itself.
    if (const ComposedKey* composed = composedKeyFor(field)) {
        std::vector<IndexTag::Range> ranges;
        for (const KeyPart& part : composed->parts) {
            const BoundField& piece = layout[part.field];
            if (part.from + part.length > piece.width)
                return IndexTag(name, field, descending, IndexTag::KeyType::Text, {{b.offset, b.width}}, fieldName);
            ranges.push_back({piece.offset + part.from, part.length});
        }
        return IndexTag(name, field, descending, IndexTag::KeyType::Text, std::move(ranges),
                        latin(composed->expression));
    }
    // A text no key can hold whole sorts by its first characters, as dBase IV itself would.
    if (b.width > kLongestTextKey) {
        return IndexTag(name, field, descending, IndexTag::KeyType::Text, {{b.offset, kLongestTextKey}},
                        QString::fromStdString(leadingPartExpression(fieldSpec(field).name)));
    }
    return IndexTag(name, field, descending, IndexTag::KeyType::Text, {{b.offset, b.width}}, fieldName);
}

void SortTags::build(IndexTag& tag, RecordStore& store)
{
    tag.clear();
    tag.reserve(store.slotCount());
    const int keyOffset = store.layout()[tag.field()].offset;
    const std::uint32_t slots = store.slotCount();
    for (std::uint32_t slot = 1; slot <= slots; ++slot) {
        store.prefetch(slot + RecordStore::kPrefetchAhead, 0);
        store.prefetch(slot + RecordStore::kPrefetchAhead, keyOffset);
        const char* record = store.record(slot);
        if (record[0] != dbf::kDeletedFlag)
            tag.add(slot, record);
    }
    (void)tag.size(); // sorts
}

bool SortTags::load(const QString& indexPath, RecordStore& store)
{
    clear();
    // An index file that is missing, unreadable or not sound counts as absent: the table opens without
    // tags, and the next tag made replaces the file.
    const auto stored = readIndexFile(indexPath, store.slotCount());
    if (!stored) {
        qCWarning(lcTable) << "index file ignored" << indexPath;
        return false;
    }
    std::vector<IndexTag> tags;
    for (const StoredTag& s : *stored) {
        const std::string expression = s.definition.fieldName.toStdString();
        const ComposedKey* composed = composedKeyNamed(expression);
        const auto leading = fieldOfLeadingPart(expression);
        const auto field = composed  ? std::optional<Field>(composed->field)
                           : leading ? fieldByName(*leading)
                                     : fieldByName(expression);
        const bool taken = std::any_of(tags.begin(), tags.end(), [&s](const IndexTag& t) {
            return t.name().compare(s.definition.name, Qt::CaseInsensitive) == 0;
        });
        if (!field || taken) {
            qCWarning(lcTable) << "index file ignored" << indexPath;
            return false;
        }
        IndexTag tag = make(s.definition.name, *field, s.definition.descending, store);
        if (static_cast<char>(tag.keyType()) != s.definition.keyType || tag.keyLength() != s.definition.keyLength ||
            tag.expression().compare(s.definition.fieldName, Qt::CaseInsensitive) != 0) {
            qCWarning(lcTable) << "index file ignored" << indexPath;
            return false;
        }
        tags.push_back(std::move(tag));
    }
    // The order comes from the rows themselves, so an index file left behind by an interrupted run
    // cannot put the walk out of step with the table.
    for (IndexTag& tag : tags)
        build(tag, store);
    m_tags = std::move(tags);
    return true;
}

void SortTags::clear()
{
    m_tags.clear();
    m_active = -1;
    m_stale = false;
}

QStringList SortTags::names() const
{
    QStringList names;
    for (const IndexTag& t : m_tags)
        names << t.name();
    return names;
}

QString SortTags::activeName() const
{
    return m_active < 0 ? QString() : m_tags[static_cast<std::size_t>(m_active)].name();
}

void SortTags::setActive(const QString& name)
{
    const int at = name.isEmpty() ? -1 : find(name);
    if (!name.isEmpty() && at < 0)
        throw TableError(TableError::Cause::NoSuchTag, QStringLiteral("Тега %1 нет.").arg(name));
    m_active = at;
}

void SortTags::add(const QString& name, Field field, bool descending, RecordStore& store)
{
    if (find(name) >= 0)
        throw TableError(TableError::Cause::TagExists, QStringLiteral("Тег %1 уже есть.").arg(name));
    if (m_tags.size() >= static_cast<std::size_t>(mdx::kMaxTags))
        throw TableError(TableError::Cause::TagExists, QStringLiteral("Больше тегов в индексном файле нет места."));
    IndexTag tag = make(name, field, descending, store);
    if (tag.keyType() == IndexTag::KeyType::Text && tag.keyLength() > mdx::kMaxTextKey) {
        throw TableError(TableError::Cause::KeyTooLong,
                         QStringLiteral("Index result for \"%1\" too long, >100 characters (%2).\n%3")
                             .arg(latin(fieldSpec(field).name))
                             .arg(tag.keyLength())
                             .arg(keyTooLongExplanation()));
    }
    build(tag, store);
    m_tags.push_back(std::move(tag));
    m_stale = true;
}

void SortTags::remove(const QString& name)
{
    const int at = find(name);
    if (at < 0)
        throw TableError(TableError::Cause::NoSuchTag, QStringLiteral("Тега %1 нет.").arg(name));
    m_tags.erase(m_tags.begin() + at);
    if (m_active == at)
        m_active = -1;
    else if (m_active > at)
        --m_active;
    m_stale = true;
}

void SortTags::rebuild(RecordStore& store)
{
    for (IndexTag& tag : m_tags)
        build(tag, store);
}

void SortTags::rebuildFrom(const SortTags& definitions, RecordStore& store)
{
    std::vector<IndexTag> tags;
    for (const IndexTag& t : definitions.m_tags) {
        tags.push_back(make(t.name(), t.field(), t.isDescending(), store));
        build(tags.back(), store);
    }
    const QString active = definitions.activeName();
    m_tags = std::move(tags);
    m_active = active.isEmpty() ? -1 : find(active);
    // A table without tags has no index file to write.
    m_stale = !m_tags.empty();
}

bool SortTags::update(std::uint32_t slot, const char* before, const char* after)
{
    bool changed = false;
    for (IndexTag& tag : m_tags) {
        if (before && after && tag.sameKey(before, after))
            continue;
        if (before)
            tag.remove(slot, before);
        if (after)
            tag.add(slot, after);
        changed = true;
    }
    m_stale = m_stale || changed;
    return changed;
}

void SortTags::writeIndexFile(const QString& indexPath, RecordStore& store)
{
    // A table open only for reading keeps its order in memory and leaves the index file as it is.
    if (!store.isWritable())
        return;
    // The index may name rows not yet counted: an open takes the order from the rows themselves.
    store.writeAppends();
    std::vector<IndexTag*> tags;
    for (IndexTag& t : m_tags)
        tags.push_back(&t);
    MdxFile::write(indexPath, QFileInfo(store.path()).completeBaseName(), tags);
    m_stale = false;
}

} // namespace darni::table

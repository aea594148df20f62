// The dBase IV multiple index file beside a table.
#include "mdxfile.h"

#include "files/atomicfile.h"
#include "files/fileerror.h"
#include "indextag.h"
#include "numerickey.h"
#include "tableerror.h"
#include "tablelog.h"

#include <QDate>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <set>

namespace darni::table {

namespace {
using namespace mdx;

// File header.
constexpr int kVersionOffset = 0;
constexpr std::uint8_t kVersion = 2;
constexpr int kCreatedOffset = 1;
constexpr int kTableNameOffset = 4;
constexpr int kTableNameSize = 16;
constexpr int kPagesPerBlockOffset = 20;
constexpr int kBlockSizeOffset = 22;
constexpr int kProductionOffset = 24;
constexpr int kEntriesOffset = 25;
constexpr int kEntrySizeOffset = 26;
constexpr int kTagsInUseOffset = 28;
constexpr int kFilePagesOffset = 32;
constexpr int kUpdatedOffset = 44;
constexpr int kYearBase = 1900;

// Tag table entry.
constexpr int kEntryHeaderPageOffset = 0;
constexpr int kEntryNameOffset = 4;
constexpr int kEntryNameSize = 11;
constexpr int kEntryKeyFormatOffset = 15;
constexpr int kEntryLessThreadOffset = 16;
constexpr int kEntryGreaterThreadOffset = 17;
constexpr int kEntryBackThreadOffset = 18;
constexpr int kEntryKeyTypeOffset = 20;

// Tag header.
constexpr int kRootPageOffset = 0;
constexpr int kTagFilePagesOffset = 4;
constexpr int kTagKeyFormatOffset = 8;
constexpr int kTagKeyTypeOffset = 9;
constexpr int kKeyLengthOffset = 12;
constexpr int kKeysPerBlockOffset = 14;
constexpr int kItemLengthOffset = 18;
constexpr int kExpressionOffset = 24;
constexpr int kExpressionSize = 220;

// Key block.
constexpr int kKeyCountOffset = 0;
constexpr int kLeftBlockOffset = 4;
constexpr int kPointerSize = 4;

// A B-tree deeper than this cannot come from any table we can open.
constexpr int kMaxDepth = 16;

void put16(QByteArray& b, qsizetype at, std::uint16_t v)
{
    qToLittleEndian(v, b.data() + at);
}
void put32(QByteArray& b, qsizetype at, std::uint32_t v)
{
    qToLittleEndian(v, b.data() + at);
}
std::uint16_t get16(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}
std::uint32_t get32(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

void putDate(QByteArray& b, qsizetype at, QDate d)
{
    b[at] = static_cast<char>((d.year() - kYearBase) & 0xFF);
    b[at + 1] = static_cast<char>(d.month());
    b[at + 2] = static_cast<char>(d.day());
}

struct Node
{
    std::uint32_t page = 0;
    qsizetype greatest = 0; // where in the file the greatest key under the node lies
};

// Builds a tag's B-tree bottom up from its keys in order: full leaves, then levels of interior
// blocks over them until one block, the root, remains. Blocks are laid out level by level, each
// written in place at the end of the file.
class TreeWriter
{
public:
    TreeWriter(QByteArray& file, std::uint32_t& nextPage) : m_file(file), m_nextPage(nextPage) {}

    // Appends the tag's blocks and returns the root's page.
    std::uint32_t write(IndexTag& tag)
    {
        m_keyLength = tag.keyLength();
        m_item = keyItemLength(m_keyLength);
        const auto perBlock = static_cast<std::size_t>(keysPerBlock(m_keyLength));
        const std::size_t n = tag.size();
        // The levels above the leaves add less than one block in perBlock.
        const std::size_t leaves = std::max<std::size_t>(1, (n + perBlock - 1) / perBlock);
        m_file.reserve(m_file.size() + static_cast<qsizetype>(2 * leaves + kMaxDepth) * kBlockSize);

        std::vector<Node> level;
        for (std::size_t i = 0; i < n || level.empty(); i += perBlock) {
            const Node leaf = newNode(level);
            const std::size_t count = std::min(n, i + perBlock) - std::min(n, i);
            for (std::size_t k = 0; k < count; ++k) {
                const qsizetype item = itemAt(leaf, k);
                put32(m_file, item, tag.slotAt(i + k));
                tag.storedKey(i + k, reinterpret_cast<std::uint8_t*>(m_file.data() + item + kPointerSize));
            }
            put32(m_file, blockAt(leaf) + kKeyCountOffset, static_cast<std::uint32_t>(count));
            // An empty leaf's greatest key is its first item's, all zero.
            level.back().greatest = itemAt(leaf, count ? count - 1 : 0) + kPointerSize;
        }
        while (level.size() > 1) {
            std::vector<Node> parents;
            for (std::size_t i = 0; i < level.size(); i += perBlock + 1) {
                const Node parent = newNode(parents);
                const std::size_t end = std::min(level.size(), i + perBlock + 1);
                for (std::size_t c = i; c < end; ++c) {
                    const qsizetype item = itemAt(parent, c - i);
                    put32(m_file, item, level[c].page);
                    if (c + 1 < end)
                        std::memmove(m_file.data() + item + kPointerSize, m_file.constData() + level[c].greatest,
                                     static_cast<std::size_t>(m_keyLength));
                }
                put32(m_file, blockAt(parent) + kKeyCountOffset, static_cast<std::uint32_t>(end - i - 1));
                parents.back().greatest = level[end - 1].greatest;
            }
            level = std::move(parents);
        }
        return level.front().page;
    }

private:
    // Appends an empty block to the file as the next node of `level`, linked to its left neighbour.
    Node newNode(std::vector<Node>& level)
    {
        const Node node{m_nextPage, 0};
        Q_ASSERT(m_file.size() == blockAt(node));
        m_nextPage += kPagesPerBlock;
        m_file.resize(m_file.size() + kBlockSize, '\0');
        put32(m_file, blockAt(node) + kLeftBlockOffset, level.empty() ? 0 : level.back().page);
        level.push_back(node);
        return node;
    }

    static qsizetype blockAt(const Node& node) { return static_cast<qsizetype>(node.page) * kPageSize; }

    qsizetype itemAt(const Node& node, std::size_t k) const
    {
        return blockAt(node) + kNodeHeaderSize + static_cast<qsizetype>(k) * m_item;
    }

    QByteArray& m_file;
    std::uint32_t& m_nextPage;
    int m_keyLength = 0;
    int m_item = 0;
};

// ---- reading ----------------------------------------------------------------------------------

// A block starting at `page` lies inside a file of `pages` pages. Page numbers come from the file, so
// the test subtracts rather than adds: a page near 2^32 must not wrap round to a small one.
bool blockFits(std::uint32_t page, std::uint32_t pages)
{
    return pages >= static_cast<std::uint32_t>(kPagesPerBlock) && page <= pages - kPagesPerBlock;
}

class TreeReader
{
public:
    TreeReader(const QByteArray& file, std::uint32_t pages, int keyLength)
        : m_file(file), m_pages(pages), m_keyLength(keyLength), m_item(keyItemLength(keyLength)),
          m_perBlock(keysPerBlock(keyLength))
    {
    }

    bool walk(std::uint32_t page, int depth, StoredTag& into)
    {
        if (depth > kMaxDepth || page < kHeaderPages || page % kPagesPerBlock != 0 || !blockFits(page, m_pages) ||
            !m_visited.insert(page).second)
            return false;
        const qsizetype at = static_cast<qsizetype>(page) * kPageSize;
        const std::uint32_t n = get32(m_file, at + kKeyCountOffset);
        if (n > static_cast<std::uint32_t>(m_perBlock))
            return false;
        const auto itemAt = [&](std::uint32_t k) { return at + kNodeHeaderSize + static_cast<qsizetype>(k) * m_item; };
        const std::uint32_t last = get32(m_file, itemAt(n));
        if (last == 0) { // a leaf
            if (m_leafDepth >= 0 && m_leafDepth != depth)
                return false;
            m_leafDepth = depth;
            for (std::uint32_t k = 0; k < n; ++k) {
                into.records.push_back(get32(m_file, itemAt(k)));
                into.keys.push_back(m_file.mid(itemAt(k) + kPointerSize, m_keyLength));
            }
            return true;
        }
        for (std::uint32_t k = 0; k <= n; ++k) {
            if (!walk(get32(m_file, itemAt(k)), depth + 1, into))
                return false;
        }
        return true;
    }

private:
    const QByteArray& m_file;
    std::uint32_t m_pages;
    int m_keyLength;
    int m_item;
    int m_perBlock;
    std::set<std::uint32_t> m_visited;
    int m_leafDepth = -1;
};

int compareStoredKeys(const StoredTag& tag, const QByteArray& a, const QByteArray& b)
{
    if (tag.definition.keyType == 'N') {
        const double x = numerickey::decode(reinterpret_cast<const std::uint8_t*>(a.constData()));
        const double y = numerickey::decode(reinterpret_cast<const std::uint8_t*>(b.constData()));
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    return std::memcmp(a.constData(), b.constData(), static_cast<std::size_t>(a.size()));
}

bool inOrder(const StoredTag& tag)
{
    std::set<std::uint32_t> seen;
    for (std::size_t i = 0; i < tag.records.size(); ++i) {
        if (tag.records[i] == 0 || !seen.insert(tag.records[i]).second)
            return false;
        if (i == 0)
            continue;
        int c = compareStoredKeys(tag, tag.keys[i - 1], tag.keys[i]);
        if (tag.definition.descending)
            c = -c;
        if (c > 0 || (c == 0 && tag.records[i - 1] > tag.records[i]))
            return false;
    }
    return true;
}

std::optional<StoredTag> readTag(const QByteArray& bytes, int index, std::uint32_t pages)
{
    const qsizetype entry = kTagTableOffset + static_cast<qsizetype>(index) * kTagEntrySize;
    const std::uint32_t headerPage = get32(bytes, entry + kEntryHeaderPageOffset);
    if (headerPage < kHeaderPages || !blockFits(headerPage, pages))
        return std::nullopt;
    StoredTag tag;
    const QByteArray name = bytes.mid(entry + kEntryNameOffset, kEntryNameSize);
    tag.definition.name = QString::fromLatin1(name.left(name.indexOf('\0') < 0 ? name.size() : name.indexOf('\0')));
    const qsizetype h = static_cast<qsizetype>(headerPage) * kPageSize;
    const auto keyType = static_cast<char>(bytes[h + kTagKeyTypeOffset]);
    const int keyLength = get16(bytes, h + kKeyLengthOffset);
    const bool lengthFits = keyType == 'N' ? keyLength == numerickey::kLength
                                           : (keyType == 'C' && keyLength >= 1 && keyLength <= kMaxTextKey);
    if (tag.definition.name.isEmpty() || keyType != static_cast<char>(bytes[entry + kEntryKeyTypeOffset]) ||
        !lengthFits || get16(bytes, h + kItemLengthOffset) != keyItemLength(keyLength) ||
        get16(bytes, h + kKeysPerBlockOffset) != keysPerBlock(keyLength))
        return std::nullopt;
    const QByteArray expression = bytes.mid(h + kExpressionOffset, kExpressionSize);
    const qsizetype end = expression.indexOf('\0');
    if (end <= 0)
        return std::nullopt;
    tag.definition.fieldName = QString::fromLatin1(expression.left(end));
    tag.definition.keyType = keyType;
    tag.definition.keyLength = keyLength;
    tag.definition.descending = (static_cast<std::uint8_t>(bytes[h + kTagKeyFormatOffset]) & kKeyFormatDescending) != 0;

    TreeReader reader(bytes, pages, keyLength);
    if (!reader.walk(get32(bytes, h + kRootPageOffset), 0, tag) || !inOrder(tag))
        return std::nullopt;
    return tag;
}
} // namespace

QByteArray MdxFile::build(const QString& tableName, std::vector<IndexTag*>& tags)
{
    std::sort(tags.begin(), tags.end(), [](const IndexTag* a, const IndexTag* b) { return a->name() < b->name(); });
    QByteArray file(kHeaderPages * kPageSize, '\0');
    std::uint32_t nextPage = kHeaderPages;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        IndexTag& tag = *tags[i];
        const std::uint32_t headerPage = nextPage;
        nextPage += kPagesPerBlock;
        file.append(QByteArray(kBlockSize, '\0'));
        TreeWriter writer(file, nextPage);
        const std::uint32_t root = writer.write(tag);

        const qsizetype h = static_cast<qsizetype>(headerPage) * kPageSize;
        put32(file, h + kRootPageOffset, root);
        file[h + kTagKeyFormatOffset] =
            static_cast<char>(kKeyFormatField | (tag.isDescending() ? kKeyFormatDescending : 0));
        file[h + kTagKeyTypeOffset] = static_cast<char>(tag.keyType());
        put16(file, h + kKeyLengthOffset, static_cast<std::uint16_t>(tag.keyLength()));
        put16(file, h + kKeysPerBlockOffset, static_cast<std::uint16_t>(keysPerBlock(tag.keyLength())));
        put16(file, h + kItemLengthOffset, static_cast<std::uint16_t>(keyItemLength(tag.keyLength())));
        const QByteArray expression = tag.expression().toLatin1().left(kExpressionSize - 1);
        std::memcpy(file.data() + h + kExpressionOffset, expression.constData(),
                    static_cast<std::size_t>(expression.size()));

        const qsizetype e = kTagTableOffset + static_cast<qsizetype>(i) * kTagEntrySize;
        put32(file, e + kEntryHeaderPageOffset, headerPage);
        const QByteArray name = tag.name().toUpper().toLatin1().left(kEntryNameSize - 1);
        std::memcpy(file.data() + e + kEntryNameOffset, name.constData(), static_cast<std::size_t>(name.size()));
        file[e + kEntryKeyFormatOffset] = static_cast<char>(kKeyFormatField);
        // The name threads form a search tree over the tag names; in name order it is a chain.
        file[e + kEntryLessThreadOffset] = 0;
        file[e + kEntryGreaterThreadOffset] = static_cast<char>(i + 1 < tags.size() ? i + 2 : 0);
        file[e + kEntryBackThreadOffset] = static_cast<char>(i);
        file[e + kEntryKeyTypeOffset] = static_cast<char>(tag.keyType());
    }

    const QDate today = QDate::currentDate();
    file[kVersionOffset] = static_cast<char>(kVersion);
    putDate(file, kCreatedOffset, today);
    const QByteArray name = tableName.toLocal8Bit().left(kTableNameSize - 1);
    std::memcpy(file.data() + kTableNameOffset, name.constData(), static_cast<std::size_t>(name.size()));
    put16(file, kPagesPerBlockOffset, kPagesPerBlock);
    put16(file, kBlockSizeOffset, kBlockSize);
    file[kProductionOffset] = 1;
    file[kEntriesOffset] = static_cast<char>(kTagTableEntries);
    file[kEntrySizeOffset] = static_cast<char>(kTagEntrySize);
    put16(file, kTagsInUseOffset, static_cast<std::uint16_t>(tags.size()));
    put32(file, kFilePagesOffset, nextPage);
    putDate(file, kUpdatedOffset, today);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const qsizetype h =
            static_cast<qsizetype>(get32(file, kTagTableOffset + static_cast<qsizetype>(i) * kTagEntrySize)) *
            kPageSize;
        put32(file, h + kTagFilePagesOffset, nextPage);
    }
    return file;
}

void MdxFile::write(const QString& path, const QString& tableName, std::vector<IndexTag*>& tags)
{
    const QByteArray bytes = build(tableName, tags);
    try {
        // The index is removed when the table closes and rebuilt when it is missing or damaged: it
        // must be whole when read, not outlive a power cut, so it is spared the syncs of the table.
        files::AtomicFile file(path, files::Durability::WholeWhenRead);
        file.write(bytes);
        file.commit();
    } catch (const files::FileError& e) {
        qCWarning(lcTable) << "cannot write index" << path << e.message();
        throw TableError::from(e);
    }
}

std::optional<int> MdxFile::tagsInUse(const QByteArray& headerPages)
{
    if (headerPages.size() < kHeaderPages * kPageSize ||
        static_cast<std::uint8_t>(headerPages[kVersionOffset]) != kVersion)
        return std::nullopt;
    const int inUse = get16(headerPages, kTagsInUseOffset);
    if (inUse > kMaxTags)
        return std::nullopt;
    return inUse;
}

std::optional<std::vector<StoredTag>> MdxFile::read(const QByteArray& bytes)
{
    if (bytes.size() < kHeaderPages * kPageSize || bytes.size() % kPageSize != 0 ||
        static_cast<std::uint8_t>(bytes[kVersionOffset]) != kVersion ||
        get16(bytes, kPagesPerBlockOffset) != kPagesPerBlock || get16(bytes, kBlockSizeOffset) != kBlockSize ||
        bytes[kEntrySizeOffset] != kTagEntrySize)
        return std::nullopt;
    const std::uint32_t pages = get32(bytes, kFilePagesOffset);
    const int inUse = get16(bytes, kTagsInUseOffset);
    if (static_cast<qint64>(pages) * kPageSize != bytes.size() || inUse > kMaxTags)
        return std::nullopt;
    std::vector<StoredTag> tags;
    for (int i = 0; i < inUse; ++i) {
        auto tag = readTag(bytes, i, pages);
        if (!tag)
            return std::nullopt;
        tags.push_back(std::move(*tag));
    }
    return tags;
}

} // namespace darni::table

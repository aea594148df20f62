// The dBase IV multiple index file (".mdx") beside a table: a file header, the tag table, and per tag
// a tag header and a B-tree of key blocks.
//
// Layout, in 512-byte pages grouped two to a 1024-byte block:
// - pages 0 to 3: the file header (version 2, dates, the table's name, block size in pages and in
//   bytes, production flag, tag table geometry, tags in use, pages in the file, no free list) and,
//   from byte 544, the tag table: 32-byte entries (tag header page, name, key format 0x10, the name
//   threads as a chain in name order, key type);
// - per tag, a tag header block (root page, pages in the file, key format 0x10 plus 0x08 when
//   descending, key type, key length, keys per block, key item length, not unique; the key expression,
//   which is the field name, from byte 24), then its leaf blocks, then each level of interior blocks
//   up to the root.
// - A key block: the number of keys (32 bits), the page of the block to its left on the same level or
//   0 (32 bits), then items of the key item length (4 + key length, rounded up to a multiple of 4):
//   a 32-bit pointer and the key. In a leaf the pointers are record numbers and the item after the
//   last key has pointer 0; an interior block has one more pointer than keys, each key being the
//   greatest key under the pointer before it.
// Numeric keys are 12-byte BCD (numerickey.h); text keys are the field's bytes at full width.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <vector>

namespace darni::table {

class IndexTag;

namespace mdx {
inline constexpr int kPageSize = 512;
inline constexpr int kPagesPerBlock = 2;
inline constexpr int kBlockSize = kPageSize * kPagesPerBlock;
inline constexpr int kHeaderPages = 4;
inline constexpr int kTagTableOffset = 544;
inline constexpr int kTagEntrySize = 32;
inline constexpr int kTagTableEntries = 48;
// Entries that fit before the first block after the header pages.
inline constexpr int kMaxTags = (kHeaderPages * kPageSize - kTagTableOffset) / kTagEntrySize;
inline constexpr int kMaxTextKey = 100;
inline constexpr int kNodeHeaderSize = 8;
inline constexpr std::uint8_t kKeyFormatField = 0x10;
inline constexpr std::uint8_t kKeyFormatDescending = 0x08;

constexpr int keyItemLength(int keyLength)
{
    return (4 + keyLength + 3) / 4 * 4;
}
// Keys a block holds, leaving room for the item after the last key.
constexpr int keysPerBlock(int keyLength)
{
    return (kBlockSize - kNodeHeaderSize) / keyItemLength(keyLength) - 1;
}
// The largest index file of `tags` tags that a table of `records` slots can have: every tag a header
// block, leaves of the widest key, and interior levels that together never outnumber the leaves.
constexpr qint64 largestFileFor(std::uint32_t records, int tags)
{
    const qint64 leaves = records / keysPerBlock(kMaxTextKey) + 1;
    return static_cast<qint64>(kHeaderPages) * kPageSize + static_cast<qint64>(tags) * kBlockSize * (1 + 2 * leaves);
}
} // namespace mdx

// What a tag is, as the index file states it.
struct TagDefinition
{
    QString name;
    QString fieldName; // the key expression
    bool descending = false;
    char keyType = 'N';
    int keyLength = 0;
};

// A tag as read back from the file: its definition and its keys in B-tree order.
struct StoredTag
{
    TagDefinition definition;
    std::vector<std::uint32_t> records;
    std::vector<QByteArray> keys;
};

class MdxFile
{
public:
    // The whole file for these tags; `tableName` is the table's file name without extension.
    static QByteArray build(const QString& tableName, std::vector<IndexTag*>& tags);
    // Written beside the table in one step; throws TableError(Io).
    static void write(const QString& path, const QString& tableName, std::vector<IndexTag*>& tags);

    // The number of tags that the file's first pages announce; nothing when they are not an index
    // file's header or announce more tags than its tag table holds.
    static std::optional<int> tagsInUse(const QByteArray& headerPages);
    // Reads and checks the whole structure: nothing when the bytes are not a sound index file of ours
    // (truncated, foreign, pages out of range, blocks in a cycle, keys out of order).
    static std::optional<std::vector<StoredTag>> read(const QByteArray& bytes);
};

} // namespace darni::table

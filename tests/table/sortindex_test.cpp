// Sort tags in the table's dBase IV multiple index file: walk order, refusals, the production index
// flag, changes while sorted, rewrites, damaged files, and the file's structure walked as published.
#include "support/dbffilebuilder.h"
#include "support/tablefixture.h"
#include "support/tablerows.h"
#include "table/cp1251.h"
#include "table/dbftable.h"
#include "table/numerickey.h"
#include "table/tableerror.h"
#include "table/tableorder.h"

#include <QDir>
#include <QtEndian>

#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <set>

using namespace darni::table;
using darni::testing::readAll;

namespace {

using Numbers = std::vector<int>;

// ---- an independent reading of the index file, following the published layout ------------------

constexpr int kPage = 512;

std::uint32_t u32(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
std::uint16_t u16(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

// A numeric key of 12 bytes: exponent byte (0x34 + digits before the point), digit count × 4 with the
// sign in bit 7, then BCD digits.
double bcd(const QByteArray& k)
{
    const int count = (static_cast<std::uint8_t>(k[1]) >> 2) & 0x1F;
    double v = 0;
    for (int i = 0; i < count; ++i) {
        const auto pair = static_cast<std::uint8_t>(k[2 + i / 2]);
        v = v * 10 + ((i % 2 == 0) ? pair >> 4 : pair & 0x0F);
    }
    v *= std::pow(10.0, static_cast<std::uint8_t>(k[0]) - 0x34 - count);
    return (static_cast<std::uint8_t>(k[1]) & 0x80) ? -v : v;
}

struct WalkedTag
{
    QString name;
    QString expression;
    bool descending = false;
    char type = 0;
    std::vector<std::uint32_t> records;
    std::vector<QByteArray> keys;
};

class IndexWalker
{
public:
    explicit IndexWalker(QByteArray file) : m_file(std::move(file)) {}

    std::vector<WalkedTag> walk()
    {
        std::vector<WalkedTag> tags;
        EXPECT_GE(m_file.size(), 4 * kPage);
        EXPECT_EQ(m_file.size() % kPage, 0);
        EXPECT_EQ(m_file[0], 2) << "version";
        const int pagesPerBlock = u16(m_file, 20);
        m_blockBytes = u16(m_file, 22);
        EXPECT_EQ(pagesPerBlock * kPage, m_blockBytes);
        EXPECT_EQ(m_file[24], 1) << "production index";
        EXPECT_EQ(m_file[26], 32) << "tag entry length";
        m_pages = u32(m_file, 32);
        EXPECT_EQ(static_cast<qint64>(m_pages) * kPage, m_file.size()) << "pages in the file";
        const int inUse = u16(m_file, 28);
        for (int i = 0; i < inUse; ++i) {
            const qsizetype entry = 544 + 32 * i;
            WalkedTag tag;
            const QByteArray name = m_file.mid(entry + 4, 11);
            tag.name = QString::fromLatin1(name.left(name.indexOf('\0')));
            EXPECT_EQ(m_file[entry + 15], 0x10) << "a data-field key";
            tag.type = m_file[entry + 20];
            const qsizetype h = static_cast<qsizetype>(u32(m_file, entry)) * kPage;
            const std::uint32_t root = u32(m_file, h);
            EXPECT_EQ(u32(m_file, h + 4), m_pages);
            tag.descending = (m_file[h + 8] & 0x08) != 0;
            EXPECT_EQ(m_file[h + 9], tag.type);
            m_keyLength = u16(m_file, h + 12);
            m_maxKeys = u16(m_file, h + 14);
            m_item = u16(m_file, h + 18);
            EXPECT_EQ(m_item % 4, 0);
            EXPECT_GE(m_item, m_keyLength + 4);
            EXPECT_EQ(m_keyLength, tag.type == 'N' ? 12 : m_keyLength);
            tag.expression = QString::fromLatin1(m_file.mid(h + 24).left(m_file.mid(h + 24).indexOf('\0')));
            m_levels.clear();
            m_leafDepth = -1;
            node(root, 0, tag, nullptr);
            checkSiblingLinks();
            tags.push_back(std::move(tag));
        }
        return tags;
    }

private:
    // Returns the greatest key under the block.
    QByteArray node(std::uint32_t page, int depth, WalkedTag& tag, const QByteArray* bound)
    {
        EXPECT_LT(page, m_pages);
        EXPECT_TRUE(m_seen.insert(page).second) << "block " << page << " reached twice";
        m_levels[depth].push_back(page);
        const qsizetype at = static_cast<qsizetype>(page) * kPage;
        const std::uint32_t n = u32(m_file, at);
        EXPECT_LE(n, m_maxKeys);
        const auto item = [&](std::uint32_t k) { return at + 8 + static_cast<qsizetype>(k) * m_item; };
        QByteArray greatest;
        if (u32(m_file, item(n)) == 0) {
            if (m_leafDepth < 0)
                m_leafDepth = depth;
            EXPECT_EQ(depth, m_leafDepth) << "all leaves on one level";
            for (std::uint32_t k = 0; k < n; ++k) {
                tag.records.push_back(u32(m_file, item(k)));
                tag.keys.push_back(m_file.mid(item(k) + 4, m_keyLength));
                greatest = tag.keys.back();
            }
        } else {
            for (std::uint32_t k = 0; k <= n; ++k) {
                const QByteArray separator = k < n ? m_file.mid(item(k) + 4, m_keyLength) : QByteArray();
                greatest = node(u32(m_file, item(k)), depth + 1, tag, k < n ? &separator : bound);
                if (k < n) {
                    EXPECT_EQ(greatest, separator) << "an interior key is the greatest key under its pointer";
                }
            }
        }
        (void)bound;
        return greatest;
    }

    void checkSiblingLinks()
    {
        for (const auto& [depth, pages] : m_levels) {
            for (std::size_t i = 0; i < pages.size(); ++i) {
                const std::uint32_t left = u32(m_file, static_cast<qsizetype>(pages[i]) * kPage + 4);
                EXPECT_EQ(left, i == 0 ? 0u : pages[i - 1]) << "left link on level " << depth;
            }
        }
    }

    QByteArray m_file;
    std::uint32_t m_pages = 0;
    int m_blockBytes = 0;
    int m_keyLength = 0;
    int m_maxKeys = 0;
    int m_item = 0;
    int m_leafDepth = -1;
    std::set<std::uint32_t> m_seen;
    std::map<int, std::vector<std::uint32_t>> m_levels;
};

// Checks the walked tag against the table: ordered keys (equal keys by record), each live record once.
void expectSound(const WalkedTag& tag, const std::set<std::uint32_t>& liveRecords)
{
    EXPECT_EQ(tag.records.size(), liveRecords.size()) << tag.name.toStdString();
    EXPECT_EQ(std::set<std::uint32_t>(tag.records.begin(), tag.records.end()), liveRecords) << tag.name.toStdString();
    for (std::size_t i = 1; i < tag.keys.size(); ++i) {
        int c = 0;
        if (tag.type == 'N') {
            const double a = bcd(tag.keys[i - 1]);
            const double b = bcd(tag.keys[i]);
            c = a < b ? -1 : (b < a ? 1 : 0);
        } else {
            c = std::memcmp(tag.keys[i - 1].constData(), tag.keys[i].constData(),
                            static_cast<std::size_t>(tag.keys[i].size()));
        }
        if (tag.descending)
            c = -c;
        EXPECT_TRUE(c < 0 || (c == 0 && tag.records[i - 1] < tag.records[i]))
            << tag.name.toStdString() << " out of order at " << i;
    }
}

// ---- the table side ------------------------------------------------------------------------------

class SortIndex : public darni::testing::TableFixture
{
public:
    struct Row
    {
        const char* p; // stored text of P, nullptr for blank
        const char16_t* zav;
        int kind;
    };

    void makeTable(const std::vector<Row>& rows)
    {
        DbfTable::create(tablePath());
        t.open(tablePath());
        int n = 0;
        std::vector<NewRow> made;
        for (const Row& r : rows) {
            NewRow row;
            row.setReal(Field::N, ++n);
            if (r.p)
                row.setReal(Field::P, std::atof(r.p));
            if (r.zav)
                row.setText(Field::ZAV, cp1251::fromUnicode(QStringView(r.zav)).toStdString());
            if (r.kind >= 0)
                row.setInteger(Field::NB_TYPE, r.kind);
            made.push_back(row);
        }
        t.appendRows(made);
    }

protected:
    Numbers walk(const RowFilter& rows = {}) { return darni::testing::numbersOf(t.view(rows)); }

    std::set<std::uint32_t> liveSlots()
    {
        const RecordView live = t.view({}, DbfTable::Order::File);
        return {live.slots().begin(), live.slots().end()};
    }

    std::vector<WalkedTag> walkIndexFile()
    {
        t.flush();
        return IndexWalker(readAll(pathOf(QStringLiteral("t.mdx")))).walk();
    }

    DbfTable t;
};

const std::vector<SortIndex::Row> kRows = {
    {"12.5", u"Трещина", -1}, {nullptr, u"Cквозное", 0}, {"3", u"Поверхностное", 1}, {"12.5", u"Cквозное", -1},
    {"0.25", u"Трещина", 0},  {"-1", u"Бетон", -1},      {"100", u"Ёж", 1},
};

TEST_F(SortIndex, TagsWalkTheRowsInKeyOrderWithEqualKeysBySlot)
{
    makeTable(kRows);
    struct Case
    {
        const char* field;
        bool descending;
        Numbers order;
    } const cases[] = {
        // P: -1 (6), blank as 0 (2), 0.25 (5), 3 (3), 12.5 (1, 4), 100 (7)
        {"P", false, {6, 2, 5, 3, 1, 4, 7}},
        {"P", true, {7, 1, 4, 3, 5, 2, 6}},
        // ZAV by code page 1251 bytes: Latin "C" first, then Ё (0xA8), then А..я.
        {"ZAV", false, {2, 4, 7, 6, 3, 1, 5}},
        {"zav", true, {1, 5, 3, 6, 7, 2, 4}},
    };
    for (const auto& c : cases) {
        t.addTag(QStringLiteral("tab1"), c.field, c.descending);
        t.setActiveTag(QStringLiteral("tab1"));
        const std::string what = std::string(c.field) + (c.descending ? " descending" : " ascending");
        EXPECT_EQ(walk(), c.order) << what;
        for (const WalkedTag& tag : walkIndexFile())
            expectSound(tag, liveSlots());
        t.deleteTag(QStringLiteral("tab1"));
    }
    EXPECT_EQ(walk(), (Numbers{1, 2, 3, 4, 5, 6, 7})) << "deleting the active tag returns to file order";
}

// Another program may store "-0" or numbers of any size; the order must treat -0 as 0 (equal keys keep
// their slot order) and put negatives, small and huge numbers where they belong, in both directions.
TEST_F(SortIndex, NumbersOfAnySignAndSizeFromAnotherProgramSortByValue)
{
    const char* const stored[] = {"0", "-0", "1E+12", "-0.0", "-12.5", "0.001", "-1E+12", "12.5", "0"};
    darni::testing::DbfFileBuilder builder(darni::testing::measurementFields());
    for (int n = 1; n <= static_cast<int>(std::size(stored)); ++n)
        builder.record({{"N", std::to_string(n)}, {"P", stored[n - 1]}});
    builder.writeTo(tablePath());
    t.open(tablePath());
    const Numbers ascending = {7, 5, 1, 2, 4, 9, 6, 8, 3};
    const Numbers descending = {3, 8, 6, 1, 2, 4, 9, 5, 7};
    for (const bool down : {false, true}) {
        t.addTag(QStringLiteral("tab1"), "P", down);
        t.setActiveTag(QStringLiteral("tab1"));
        EXPECT_EQ(walk(), down ? descending : ascending) << (down ? "descending" : "ascending");
        for (const WalkedTag& tag : walkIndexFile())
            expectSound(tag, liveSlots());
        t.deleteTag(QStringLiteral("tab1"));
    }
}

TEST_F(SortIndex, AKindsRowsShowInTagOrder)
{
    makeTable(kRows);
    t.addTag(QStringLiteral("tab2"), "P", true);
    t.setActiveTag(QStringLiteral("tab2"));
    EXPECT_EQ(walk(RowFilter::recordKind(0)), (Numbers{1, 4, 5, 2, 6}));
    EXPECT_EQ(walk(RowFilter::recordKind(1)), (Numbers{7, 3}));
    EXPECT_EQ(darni::testing::numbersOf(t.view(RowFilter::recordKind(1), DbfTable::Order::File)), (Numbers{3, 7}));
}

TEST_F(SortIndex, TextsWiderThanAnIndexKeySortByTheirFirstHundredCharacters)
{
    // P5 holds 200 characters: the key is its first 100, as dBase IV's SUBSTR(P5,1,100) gives them;
    // rows equal there keep their file order.
    DbfTable::create(tablePath());
    t.open(tablePath());
    const std::string tail(100, 'x');
    const std::vector<std::string> texts = {"Индивидуальная", "Базовая", std::string(100, 'a') + "z",
                                            std::string(100, 'a') + "b"};
    int n = 0;
    for (const std::string& text : texts) {
        darni::testing::appendRow(
            t, NewRow()
                   .setReal(Field::N, ++n)
                   .setText(Field::P5, cp1251::fromUnicode(QString::fromStdString(text)).toStdString()));
    }
    for (const char* field : {"P3", "D2", "P5"}) {
        t.setActiveTag({});
        if (t.tagNames().contains(QStringLiteral("tab1")))
            t.deleteTag(QStringLiteral("tab1"));
        EXPECT_NO_THROW(t.addTag(QStringLiteral("tab1"), field, false)) << field;
    }
    t.setActiveTag(QStringLiteral("tab1"));
    EXPECT_EQ(walk(), (Numbers{3, 4, 2, 1})) << "\"aaa…z\" and \"aaa…b\" are equal in their first 100";
    t.close();
    // The index file states the key as dBase IV would, and reads back.
    EXPECT_TRUE(readAll(pathOf(QStringLiteral("t.mdx"))).contains("SUBSTR(P5,1,100)"));
    t.open(tablePath());
    EXPECT_EQ(t.tagNames().join(QLatin1Char(',')).toLower(), QStringLiteral("tab1"));
    t.setActiveTag(QStringLiteral("tab1"));
    EXPECT_EQ(walk(), (Numbers{3, 4, 2, 1}));
    t.setActiveTag({});
    t.deleteTag(QStringLiteral("tab1"));
    EXPECT_NO_THROW(t.addTag(QStringLiteral("tab1"), "COMMENT", false)) << "exactly 100 is allowed";
    EXPECT_THROW(t.addTag(QStringLiteral("TAB1"), "P", false), TableError) << "names are unique";
    EXPECT_THROW(t.addTag(QStringLiteral("tab2"), "NOSUCH", false), TableError);
    EXPECT_THROW(t.setActiveTag(QStringLiteral("tab9")), TableError);
    EXPECT_THROW(t.deleteTag(QStringLiteral("tab9")), TableError);
}

TEST_F(SortIndex, TheFirstTagSetsTheProductionIndexFlagForGood)
{
    makeTable(kRows);
    t.flush();
    EXPECT_EQ(readAll(tablePath())[28], 0);
    t.addTag(QStringLiteral("tab1"), "P", false);
    EXPECT_EQ(readAll(tablePath())[28], 1) << "written at once";
    EXPECT_TRUE(QFile::exists(t.indexPath()));
    t.deleteTag(QStringLiteral("tab1"));
    t.close();
    EXPECT_EQ(readAll(tablePath())[28], 1) << "never cleared by deleting tags";

    // Reopened with the index file: its tags are there again.
    t.open(tablePath());
    t.addTag(QStringLiteral("tab2"), "ZAV", false);
    t.close();
    t.open(tablePath());
    EXPECT_EQ(t.tagNames(), QStringList{QStringLiteral("TAB2")});
    t.setActiveTag(QStringLiteral("tab2"));
    EXPECT_EQ(walk(), (Numbers{2, 4, 7, 6, 3, 1, 5}));
    t.close();

    // Without it: the table opens, the flag counts as clear and is written so with the next header.
    QFile::remove(pathOf(QStringLiteral("t.mdx")));
    t.open(tablePath());
    EXPECT_TRUE(t.tagNames().isEmpty());
    EXPECT_FALSE(t.header().hasProductionIndex());
    darni::testing::appendRow(t, NewRow());
    t.close();
    EXPECT_EQ(readAll(tablePath())[28], 0);
}

TEST_F(SortIndex, ADamagedIndexFileCountsAsAbsentAndIsReplacedByTheNextTag)
{
    makeTable(kRows);
    t.addTag(QStringLiteral("tab1"), "P", false);
    t.close();
    const QByteArray good = readAll(pathOf(QStringLiteral("t.mdx")));
    QByteArray badRoot = good;
    qToLittleEndian<quint32>(9999, badRoot.data() + 4 * kPage); // the first tag's root page
    QByteArray cycle = good;
    qToLittleEndian<quint32>(4, cycle.data() + 4 * kPage); // the root is the tag header itself
    // Page numbers near 2^32 once wrapped round the bounds checks and crashed every open.
    QByteArray wrappedHeader = good;
    qToLittleEndian<quint32>(0xFFFFFFFF, wrappedHeader.data() + 544); // the first tag's header page
    QByteArray wrappedRoot = good;
    qToLittleEndian<quint32>(0xFFFFFFFE, wrappedRoot.data() + 4 * kPage);
    const std::pair<const char*, QByteArray> cases[] = {
        {"empty", QByteArray()},
        {"truncated", good.left(good.size() - kPage)},
        {"foreign", QByteArray(4096, 'x')},
        {"root out of range", badRoot},
        {"a block that points at itself", cycle},
        {"tag header page near 2^32", wrappedHeader},
        {"root page near 2^32", wrappedRoot},
    };
    for (const auto& [what, bytes] : cases) {
        darni::testing::writeAll(pathOf(QStringLiteral("t.mdx")), bytes);
        t.open(tablePath());
        EXPECT_TRUE(t.tagNames().isEmpty()) << what;
        EXPECT_EQ(walk(), (Numbers{1, 2, 3, 4, 5, 6, 7})) << what;
        t.addTag(QStringLiteral("tab1"), "P", true);
        t.setActiveTag(QStringLiteral("tab1"));
        EXPECT_EQ(walk(), (Numbers{7, 1, 4, 3, 5, 2, 6})) << what;
        t.close();
        EXPECT_TRUE(IndexWalker(readAll(pathOf(QStringLiteral("t.mdx")))).walk().size() == 1) << what;
    }
}

TEST(NumericKey, IsTheBcdThatDBaseIVWrites)
{
    using Key = std::array<std::uint8_t, numerickey::kLength>;
    const std::pair<std::optional<double>, Key> cases[] = {
        {0.0, {0x34, 0x01}},
        {std::nullopt, {0x34, 0x01}}, // a blank field keys as 0
        {1.0, {0x35, 0x05, 0x10}},
        {20.5, {0x36, 0x0D, 0x20, 0x50}},
        {632.4, {0x37, 0x11, 0x63, 0x24}},
        {0.001, {0x32, 0x05, 0x10}},
        {12345678.9, {0x3C, 0x25, 0x12, 0x34, 0x56, 0x78, 0x90}},
        {-3.25, {0x35, 0x8D, 0x32, 0x50}},
    };
    for (const auto& [value, expected] : cases) {
        const Key key = numerickey::encode(value.value_or(0.0));
        EXPECT_EQ(key, expected) << (value ? *value : 0.0);
        EXPECT_EQ(numerickey::decode(key.data()), value.value_or(0.0));
    }
    // Keys written by earlier builds lack the filler bit and still read.
    const Key earlier = {0x37, 0x10, 0x63, 0x24};
    EXPECT_EQ(numerickey::decode(earlier.data()), 632.4);
}

TEST_F(SortIndex, TheOrderFollowsAppendsEditsAndRewrites)
{
    makeTable(kRows);
    t.addTag(QStringLiteral("tab1"), "P", false);
    t.addTag(QStringLiteral("tab2"), "ZAV", true);
    t.setActiveTag(QStringLiteral("tab1"));

    darni::testing::appendRow(t, NewRow().setReal(Field::N, 8).setReal(Field::P, 1)); // between 0.25 and 3
    EXPECT_EQ(walk(), (Numbers{6, 2, 5, 8, 3, 1, 4, 7}));

    t.setField(7, Field::P, FieldValue::real(-5)); // 100 → -5: first now
    EXPECT_EQ(walk(), (Numbers{7, 6, 2, 5, 8, 3, 1, 4}));

    // Editing another field keeps the row's place.
    t.setField(5, Field::COMMENT, FieldValue::text("note"));
    EXPECT_EQ(walk(), (Numbers{7, 6, 2, 5, 8, 3, 1, 4}));

    t.removeRows({3});
    EXPECT_EQ(walk(), (Numbers{7, 6, 2, 5, 8, 1, 4}));
    for (const WalkedTag& tag : walkIndexFile())
        expectSound(tag, liveSlots());
}

TEST_F(SortIndex, ARewriteRecreatesTheOpenTagsBesideTheNewTable)
{
    makeTable(kRows);
    t.addTag(QStringLiteral("tab1"), "P", true);
    t.setActiveTag(QStringLiteral("tab1"));
    t.removeRows({2, 4});
    EXPECT_EQ(t.activeTag().compare(QStringLiteral("tab1"), Qt::CaseInsensitive), 0);
    EXPECT_EQ(walk(), (Numbers{7, 1, 3, 5, 6}));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files),
              (QStringList{QStringLiteral("t.db"), QStringLiteral("t.mdx")}));
    const auto tags = walkIndexFile();
    ASSERT_EQ(tags.size(), 1u);
    expectSound(tags[0], liveSlots());
    EXPECT_EQ(tags[0].records, (std::vector<std::uint32_t>{5, 1, 2, 3, 4})) << "slots of the new table";
    EXPECT_EQ(readAll(tablePath())[28], 1);
}

TEST_F(SortIndex, ManyRowsMakeADeepTreeThatStaysSound)
{
    DbfTable::create(tablePath());
    t.open(tablePath());
    constexpr int kRowCount = 5000; // 62 numeric keys a block: three levels
    std::vector<NewRow> rows;
    for (int i = 1; i <= kRowCount; ++i) {
        rows.push_back(NewRow()
                           .setReal(Field::N, i)
                           .setReal(Field::P, (i * 7919) % 1000 / 10.0)
                           .setText(Field::ZAV, i % 3 == 0 ? "b" : "a"));
    }
    t.appendRows(rows);
    t.addTag(QStringLiteral("tab1"), "P", false);
    t.addTag(QStringLiteral("tab2"), "ZAV", true);
    std::vector<std::uint32_t> removed;
    for (int i = 1; i <= kRowCount; i += 97)
        removed.push_back(static_cast<std::uint32_t>(i));
    t.removeRows(removed);
    const auto tags = walkIndexFile();
    ASSERT_EQ(tags.size(), 2u);
    for (const WalkedTag& tag : tags)
        expectSound(tag, liveSlots());
    EXPECT_EQ(tags[0].expression, QStringLiteral("P"));
    EXPECT_EQ(tags[1].expression, QStringLiteral("ZAV"));

    t.setActiveTag(QStringLiteral("tab1"));
    const RecordView sorted = t.view();
    EXPECT_EQ(sorted.size(), kRowCount - static_cast<int>(removed.size()));
    for (int row = 1; row < sorted.size(); ++row)
        EXPECT_GE(sorted.real(row, Field::P), sorted.real(row - 1, Field::P));
}

TEST_F(SortIndex, DatesSortByTheCalendarAndTextFieldsByTheirText)
{
    darni::testing::DbfFileBuilder b(darni::testing::measurementFields());
    const std::pair<const char*, const char*> rows[] = {
        {"02.01.2024", "10:00:00"}, {"01.01.2029", "08:00:00"}, {"15.12.2023", "09:00:00"},
        {"01.01.2028", "12:30:00"}, {"01.01.2028", "07:15:00"},
    };
    for (const auto& [date, time] : rows)
        b.record({{"N", "1"}, {"DATE", date}, {"TIME", time}, {"ZAV", time}});
    b.writeTo(tablePath());
    t.open(tablePath());
    sortByField(t, QStringLiteral("tab1"), Field::DATE, false);
    const auto shown = [this](Field field) {
        const RecordView rows = t.view();
        std::vector<std::string> texts;
        for (int row = 0; row < rows.size(); ++row) {
            texts.push_back(field == Field::DATE
                                ? (rows.text(row, Field::DATE) + ' ' + rows.text(row, Field::TIME)).toStdString()
                                : rows.text(row, field).toStdString());
        }
        return texts;
    };
    const std::vector<std::string> calendar = {"15.12.2023 09:00:00", "02.01.2024 10:00:00", "01.01.2028 07:15:00",
                                               "01.01.2028 12:30:00", "01.01.2029 08:00:00"};
    EXPECT_EQ(shown(Field::DATE), calendar) << "year, month, day, then the time of day";

    // The index file states the key as dBase IV evaluates it, and reads back as the same order.
    EXPECT_TRUE(
        readAll(pathOf(QStringLiteral("t.mdx"))).contains("SUBSTR(DATE,7,4)+SUBSTR(DATE,4,2)+SUBSTR(DATE,1,2)+TIME"));
    t.close();
    t.open(tablePath());
    ASSERT_TRUE(t.tagNames().contains(QStringLiteral("TAB1")));
    t.setActiveTag(QStringLiteral("tab1"));
    EXPECT_EQ(shown(Field::DATE), calendar);

    // Other text fields sort by their text as stored.
    sortByField(t, QStringLiteral("tab2"), Field::ZAV, true);
    EXPECT_EQ(shown(Field::ZAV),
              (std::vector<std::string>{"12:30:00", "10:00:00", "09:00:00", "08:00:00", "07:15:00"}));

    // A text wider than an index key sorts by its first 100 characters.
    EXPECT_NO_THROW(sortByField(t, QStringLiteral("tab1"), Field::P3, true)); // "Тип изделия"
    EXPECT_EQ(t.activeTag().toLower(), QStringLiteral("tab1"));
    resetOrder(t, QStringLiteral("tab1"));
    EXPECT_TRUE(t.activeTag().isEmpty()) << "back in file order";
    resetOrder(t, QStringLiteral("tab1")); // no such tag any more: nothing to say
}

} // namespace

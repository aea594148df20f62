// Working with rows: views of a kind, appending batches, setting one field, removing rows.
#include "support/tablefixture.h"
#include "support/tablerows.h"
#include "table/dbftable.h"
#include "table/tableerror.h"
#include "table/tablemisuse.h"

#include <QDir>

#include <numeric>
#include <vector>

using namespace darni::table;
using darni::testing::numbersOf;
using darni::testing::readAll;

namespace {

using Numbers = std::vector<int>;

class DbfTableRows : public darni::testing::TableFixture
{
protected:
    // Rows numbered 1..kinds.size(); a kind of -1 leaves NB_TYPE blank.
    void makeTable(const std::vector<int>& kinds)
    {
        DbfTable::create(tablePath());
        m_table.open(tablePath());
        std::vector<NewRow> rows;
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            NewRow row;
            row.setReal(Field::N, static_cast<double>(i + 1));
            if (kinds[i] >= 0)
                row.setInteger(Field::NB_TYPE, kinds[i]);
            rows.push_back(row);
        }
        m_table.appendRows(rows);
    }

    DbfTable m_table;
};

TEST_F(DbfTableRows, AViewSelectsRowsByKindWithABlankKindReadingAsZero)
{
    makeTable({-1, 1, 0, 1, 7, -1});
    struct Case
    {
        const char* what;
        RowFilter filter;
        Numbers rows;
    } const cases[] = {
        {"every row", RowFilter(), {1, 2, 3, 4, 5, 6}},
        {"NB_TYPE=0", RowFilter::recordKind(0), {1, 3, 6}},
        {"NB_TYPE=1", RowFilter::recordKind(1), {2, 4}},
        {"NB_TYPE=2", RowFilter::recordKind(2), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(numbersOf(m_table.view(c.filter)), c.rows) << c.what;
}

TEST_F(DbfTableRows, TheFirstKindPresentIsFoundAndTheLastWhenNoneIs)
{
    struct Case
    {
        std::vector<int> kinds;
        int chosen;
    } const cases[] = {
        {{0, 0, 1}, 1},
        {{0, -1}, 0},
        {{7}, 0},
        {{}, 0},
    };
    for (const auto& c : cases) {
        makeTable(c.kinds);
        const int wanted[] = {1, 0};
        EXPECT_EQ(m_table.firstKindPresent(wanted), c.chosen) << ::testing::PrintToString(c.kinds);
        m_table.close();
    }
}

TEST_F(DbfTableRows, AViewCrossesReadWindowsAndBufferedAppends)
{
    // Enough rows for several read windows and one append batch, with more appended after reading.
    constexpr int kRows = 1500;
    makeTable(std::vector<int>(kRows, 0));
    m_table.flush();
    std::vector<NewRow> more;
    for (int i = kRows + 1; i <= kRows + 10; ++i)
        more.push_back(NewRow().setReal(Field::N, i));
    m_table.appendRows(more);
    Numbers expected(kRows + 10);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(numbersOf(m_table.view()), expected);
    m_table.close();
    EXPECT_EQ(readAll(tablePath()).size(), 1217 + (kRows + 10) * 1086 + 1);
}

TEST_F(DbfTableRows, AValueThatDoesNotFitStopsTheBatchAndAbandoningDropsTheUncountedRows)
{
    makeTable({0});
    m_table.flush();
    std::vector<NewRow> batch(3);
    batch[0].setReal(Field::N, 2);
    batch[1].setReal(Field::N, 3).setInteger(Field::D9, 1'000'000'000'000LL);
    batch[2].setReal(Field::N, 4);
    try {
        m_table.appendRows(batch);
        FAIL() << "a value wider than its field was taken";
    } catch (const TableError& e) {
        EXPECT_EQ(e.cause(), TableError::Cause::ValueTooWide);
        EXPECT_TRUE(e.message().contains(QStringLiteral("D9"))) << e.message().toStdString();
    }
    EXPECT_EQ(numbersOf(m_table.view()), (Numbers{1, 2})) << "the rows before the one refused";
    m_table.abandon();
    m_table.open(tablePath());
    EXPECT_EQ(numbersOf(m_table.view()), Numbers{1}) << "rows never counted are not the table's";
}

TEST_F(DbfTableRows, SettingAFieldWritesTheRowInPlaceAndShowsInEveryView)
{
    makeTable({0, 0, 0});
    m_table.flush();
    const RecordView before = m_table.view();
    m_table.setField(2, Field::COMMENT, FieldValue::text("kept"));
    m_table.setField(3, Field::P, FieldValue::real(12.5));
    m_table.setField(3, Field::P, FieldValue::blank());
    EXPECT_EQ(before.text(1, Field::COMMENT), QByteArray("kept")) << "a view taken before shows the edit";
    EXPECT_TRUE(before.isNull(2, Field::P));

    EXPECT_THROW(m_table.setField(1, Field::D9, FieldValue::integer(1'000'000'000'000LL)), TableError);
    EXPECT_TRUE(before.isNull(0, Field::D9)) << "a value that does not fit changes nothing";
    EXPECT_THROW(m_table.setField(4, Field::N, FieldValue::real(1)), TableMisuse) << "no row there";

    const QByteArray headerBefore = readAll(tablePath()).left(32);
    m_table.close();
    EXPECT_EQ(readAll(tablePath()).left(32), headerBefore) << "an edit in place leaves the header";
    m_table.open(tablePath());
    EXPECT_EQ(m_table.view().text(1, Field::COMMENT), QByteArray("kept"));
}

TEST_F(DbfTableRows, RemovingRowsKeepsTheRestInOrderAndLeavesNoTemporaryFile)
{
    makeTable({0, 1, 0, 0, 0});
    m_table.removeRows({4, 2, 99});

    EXPECT_TRUE(m_table.isOpen());
    EXPECT_EQ(m_table.slotCount(), 3u);
    EXPECT_EQ(numbersOf(m_table.view(RowFilter::recordKind(0))), (Numbers{1, 3, 5}));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("t.db")});
    m_table.close();
    const QByteArray b = readAll(tablePath());
    EXPECT_EQ(b.size(), 1217 + 3 * 1086 + 1);
    EXPECT_EQ(le32(b, 4), 3u);

    // The table is still held after a rewrite.
    DbfTable other;
    m_table.open(tablePath());
    m_table.removeRows({});
    EXPECT_THROW(other.open(tablePath()), TableError);
}

TEST_F(DbfTableRows, RemovingSkipsTakenTemporaryNames)
{
    makeTable({0, 0});
    darni::testing::writeAll(pathOf(QStringLiteral("t_1.db")), "someone else's");
    m_table.removeRows({1});
    EXPECT_EQ(numbersOf(m_table.view()), (Numbers{2}));
    EXPECT_EQ(readAll(pathOf(QStringLiteral("t_1.db"))), QByteArray("someone else's"));
    EXPECT_FALSE(QFile::exists(pathOf(QStringLiteral("t_2.db"))));
}

// Using a closed table is a bug in the caller, not a cause to show a user.
TEST_F(DbfTableRows, AClosedTableRefusesWork)
{
    const NewRow row;
    EXPECT_THROW(m_table.view(), TableMisuse);
    EXPECT_THROW(m_table.appendRows({&row, 1}), TableMisuse);
    EXPECT_THROW(m_table.removeRows({1}), TableMisuse);
    EXPECT_THROW(m_table.setField(1, Field::N, FieldValue::real(1)), TableMisuse);
}

} // namespace

// Working with rows: the cursor, the record-kind filter, editing, deletion, pack and refresh.
#include "support/tablefixture.h"
#include "table/dbftable.h"
#include "table/tableerror.h"
#include "table/tablemisuse.h"

#include <QDir>

#include <numeric>

#include <vector>

using namespace darni::table;
using darni::testing::readAll;

namespace {

class DbfTableRows : public darni::testing::TableFixture
{
protected:
    // Rows numbered 1..kinds.size(); a kind of -1 leaves NB_TYPE blank.
    void makeTable(const std::vector<int>& kinds)
    {
        DbfTable::create(tablePath());
        m_table.open(tablePath());
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            m_table.append();
            m_table.setReal(Field::N, static_cast<double>(i + 1));
            if (kinds[i] >= 0)
                m_table.setInteger(Field::NB_TYPE, kinds[i]);
            m_table.post();
        }
        m_table.first();
    }

    std::vector<int> walkForward()
    {
        std::vector<int> numbers;
        for (bool ok = m_table.first(); ok; ok = m_table.next())
            numbers.push_back(static_cast<int>(m_table.real(Field::N)));
        return numbers;
    }

    std::vector<int> walkBackward()
    {
        std::vector<int> numbers;
        for (bool ok = m_table.last(); ok; ok = m_table.prior())
            numbers.push_back(static_cast<int>(m_table.real(Field::N)));
        return numbers;
    }

    DbfTable m_table;
};

using Numbers = std::vector<int>;

TEST_F(DbfTableRows, TheFilterSelectsRowsByKindWithABlankKindReadingAsZero)
{
    makeTable({-1, 1, 0, 1, 7, -1});
    struct Case
    {
        RowFilter filter;
        Numbers rows;
    } const cases[] = {
        {RowFilter(), {1, 2, 3, 4, 5, 6}},
        {RowFilter::recordKind(0), {1, 3, 6}},
        {RowFilter::recordKind(1), {2, 4}},
        {RowFilter::recordKind(2), {}},
    };
    for (const auto& c : cases) {
        m_table.setFilter(c.filter);
        const auto what = c.filter.expression().toStdString();
        EXPECT_EQ(walkForward(), c.rows) << what;
        EXPECT_EQ(walkBackward(), Numbers(c.rows.rbegin(), c.rows.rend())) << what;
        EXPECT_EQ(m_table.count(), static_cast<int>(c.rows.size())) << what;
    }
}

TEST_F(DbfTableRows, FilterExpressionsParse)
{
    EXPECT_EQ(RowFilter::parse(QStringLiteral("NB_TYPE=0")), RowFilter::recordKind(0));
    EXPECT_EQ(RowFilter::parse(QStringLiteral(" nb_type = 1 ")), RowFilter::recordKind(1));
    EXPECT_EQ(RowFilter::parse(QString()), RowFilter());
    EXPECT_FALSE(RowFilter::parse(QStringLiteral("P=1")));
    EXPECT_FALSE(RowFilter::parse(QStringLiteral("NB_TYPE=x")));
    EXPECT_EQ(RowFilter::recordKind(1).expression(), QStringLiteral("NB_TYPE=1"));
}

TEST_F(DbfTableRows, TheCursorReportsItsEnds)
{
    makeTable({0, 0, 0});
    ASSERT_TRUE(m_table.first());
    EXPECT_TRUE(m_table.bof());
    EXPECT_FALSE(m_table.eof());
    EXPECT_FALSE(m_table.prior());
    EXPECT_TRUE(m_table.bof());
    EXPECT_TRUE(m_table.next());
    EXPECT_FALSE(m_table.bof());
    EXPECT_TRUE(m_table.next());
    EXPECT_FALSE(m_table.next());
    EXPECT_TRUE(m_table.eof());
    EXPECT_EQ(m_table.currentSlot(), 3u);

    EXPECT_TRUE(m_table.goToSlot(2));
    EXPECT_EQ(m_table.real(Field::N), 2.0);
    EXPECT_FALSE(m_table.goToSlot(0));
    EXPECT_FALSE(m_table.goToSlot(4));
    EXPECT_EQ(m_table.currentSlot(), 2u) << "a failed move leaves the cursor";

    m_table.setFilter(RowFilter::recordKind(1));
    EXPECT_FALSE(m_table.first());
    EXPECT_TRUE(m_table.bof() && m_table.eof());
    EXPECT_EQ(m_table.currentSlot(), 0u);
    EXPECT_TRUE(m_table.isNull(Field::N));
    EXPECT_FALSE(m_table.goToSlot(2)) << "a row the filter hides cannot be reached";
}

TEST_F(DbfTableRows, AWalkCrossesReadWindowsAndBufferedAppends)
{
    // Enough rows for several read windows and one append batch, with more appended after reading.
    constexpr int kRows = 1500;
    makeTable(std::vector<int>(kRows, 0));
    m_table.refresh();
    for (int i = kRows + 1; i <= kRows + 10; ++i) {
        m_table.append();
        m_table.setReal(Field::N, i);
        m_table.post();
    }
    Numbers expected(kRows + 10);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(walkForward(), expected);
    EXPECT_EQ(walkBackward(), Numbers(expected.rbegin(), expected.rend()));
    m_table.close();
    EXPECT_EQ(readAll(tablePath()).size(), 1217 + (kRows + 10) * 1086 + 1);
}

TEST_F(DbfTableRows, EditsArePostedWhenTheCursorMovesAndDroppedOnCancel)
{
    makeTable({0, 0, 0});
    ASSERT_TRUE(m_table.first());
    m_table.edit();
    m_table.setText(Field::COMMENT, "kept");
    ASSERT_TRUE(m_table.next());
    EXPECT_EQ(m_table.state(), DbfTable::State::Browse);
    m_table.edit();
    m_table.setText(Field::COMMENT, "dropped");
    m_table.cancel();
    EXPECT_EQ(m_table.text(Field::COMMENT), QByteArray());
    m_table.last();
    m_table.edit();
    m_table.setText(Field::COMMENT, "at close");
    m_table.close();

    m_table.open(tablePath());
    std::vector<QByteArray> comments;
    for (bool ok = m_table.first(); ok; ok = m_table.next())
        comments.push_back(m_table.text(Field::COMMENT));
    EXPECT_EQ(comments, (std::vector<QByteArray>{"kept", "", "at close"}));
}

TEST_F(DbfTableRows, DeletingMarksTheRowAndMovesToTheNextShownRow)
{
    makeTable({0, 0, 0});
    ASSERT_TRUE(m_table.goToSlot(2));
    m_table.deleteRow();
    EXPECT_EQ(m_table.real(Field::N), 3.0);
    m_table.deleteRow();
    EXPECT_EQ(m_table.real(Field::N), 1.0) << "after the last row, the prior one";
    m_table.deleteRow();
    EXPECT_EQ(m_table.currentSlot(), 0u);
    EXPECT_THROW(m_table.deleteRow(), TableMisuse);
    EXPECT_EQ(m_table.count(), 0);
    EXPECT_EQ(m_table.slotCount(), 3u);
    m_table.close();

    const QByteArray b = readAll(tablePath());
    for (int slot = 0; slot < 3; ++slot)
        EXPECT_EQ(b[1217 + slot * 1086], '*');
}

TEST_F(DbfTableRows, PackKeepsTheLiveRowsInOrderAndLeavesNoTemporaryFile)
{
    makeTable({0, 1, 0, 0, 0});
    m_table.setFilter(RowFilter::recordKind(0));
    for (const std::uint32_t slot : {4u, 2u}) {
        m_table.setFilter(RowFilter());
        ASSERT_TRUE(m_table.goToSlot(slot));
        m_table.deleteRow();
    }
    m_table.setFilter(RowFilter::recordKind(0));
    m_table.pack();

    EXPECT_TRUE(m_table.isOpen());
    EXPECT_EQ(m_table.slotCount(), 3u);
    EXPECT_EQ(m_table.filter(), RowFilter::recordKind(0));
    EXPECT_EQ(walkForward(), (Numbers{1, 3, 5}));
    EXPECT_EQ(m_table.currentSlot(), 3u);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("t.db")});
    m_table.close();
    const QByteArray b = readAll(tablePath());
    EXPECT_EQ(b.size(), 1217 + 3 * 1086 + 1);
    EXPECT_EQ(le32(b, 4), 3u);

    // The table is still held after a pack.
    DbfTable other;
    m_table.open(tablePath());
    EXPECT_THROW(other.open(tablePath()), TableError);
}

TEST_F(DbfTableRows, PackSkipsTakenTemporaryNames)
{
    makeTable({0, 0});
    darni::testing::writeAll(pathOf(QStringLiteral("t_1.db")), "someone else's");
    m_table.goToSlot(1);
    m_table.deleteRow();
    m_table.pack();
    EXPECT_EQ(walkForward(), (Numbers{2}));
    EXPECT_EQ(readAll(pathOf(QStringLiteral("t_1.db"))), QByteArray("someone else's"));
    EXPECT_FALSE(QFile::exists(pathOf(QStringLiteral("t_2.db"))));
}

TEST_F(DbfTableRows, RefreshStaysOnTheCurrentRowWhileItIsShown)
{
    makeTable({0, 0, 0});
    ASSERT_TRUE(m_table.goToSlot(2));
    m_table.refresh();
    EXPECT_EQ(m_table.currentSlot(), 2u);
    m_table.setFilter(RowFilter());
    m_table.goToSlot(3);
    m_table.setFilter(RowFilter::recordKind(1));
    m_table.refresh();
    EXPECT_EQ(m_table.currentSlot(), 0u);
}

TEST_F(DbfTableRows, TheFilterStaysAcrossCloseAndOpen)
{
    makeTable({1, 0});
    m_table.setFilter(RowFilter::recordKind(1));
    m_table.close();
    m_table.open(tablePath());
    EXPECT_EQ(m_table.filter(), RowFilter::recordKind(1));
    EXPECT_EQ(walkForward(), (Numbers{1}));
}

// Using a closed table is a bug in the caller, not a cause to show a user.
TEST_F(DbfTableRows, AClosedTableRefusesWork)
{
    EXPECT_THROW(m_table.first(), TableMisuse);
    EXPECT_THROW(m_table.append(), TableMisuse);
    EXPECT_THROW(m_table.pack(), TableMisuse);
    EXPECT_TRUE(m_table.isNull(Field::N));
}

} // namespace

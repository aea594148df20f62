// Read views: each reader's own rows of the page, and stale once the rows change.
#include "support/tablefixture.h"
#include "table/dbftable.h"
#include "table/tableorder.h"

using namespace darni::table;

namespace {

class RecordViews : public darni::testing::TableFixture
{
protected:
    // Rows numbered 1…n with P = 10·N, every third row a pull-off row.
    void make(int n)
    {
        DbfTable::create(tablePath());
        t.open(tablePath());
        std::vector<NewRow> rows;
        for (int i = 1; i <= n; ++i)
            rows.push_back(NewRow()
                               .setReal(Field::N, i)
                               .setReal(Field::P, 10.0 * i)
                               .setInteger(Field::NB_TYPE, i % 3 == 0 ? 1 : 0));
        t.appendRows(rows);
        t.flush();
    }
    RecordView page() { return t.view(RowFilter::recordKind(0)); }
    static std::vector<double> numbers(const RecordView& v)
    {
        std::vector<double> out;
        for (int row = 0; row < v.size(); ++row)
            out.push_back(v.real(row, Field::N));
        return out;
    }
    DbfTable t;
};

TEST_F(RecordViews, FollowThePageAndItsOrder)
{
    make(6);
    const RecordView fileOrder = page();
    sortByField(t, QStringLiteral("tab1"), Field::P, true);
    const RecordView sorted = page();
    EXPECT_EQ(numbers(sorted), (std::vector<double>{5, 4, 2, 1}));
    EXPECT_EQ(numbers(t.view(RowFilter::recordKind(0), DbfTable::Order::File)), (std::vector<double>{1, 2, 4, 5}));
    EXPECT_TRUE(fileOrder.isStale()) << "the order changed after it was taken";
    EXPECT_FALSE(sorted.isStale());
    // Two readers side by side, each at its own place.
    EXPECT_EQ(sorted.real(0, Field::P), 50.0);
    EXPECT_EQ(RecordView(page()).real(3, Field::P), 10.0);
}

TEST_F(RecordViews, EditsShowAtOnceAndChangesOfRowsMakeViewsStale)
{
    make(4);
    const RecordView before = page();
    t.setField(2, Field::P, FieldValue::real(7.5));
    EXPECT_FALSE(before.isStale()) << "an edit keeps the rows";
    EXPECT_EQ(before.real(1, Field::P), 7.5);
    EXPECT_EQ(numbers(page()), numbers(before)) << "a view taken again, nothing moved";

    // An edit that takes a row off the page shows in the next view taken, though the earlier one stands.
    t.setField(2, Field::NB_TYPE, FieldValue::integer(1));
    EXPECT_EQ(numbers(page()), (std::vector<double>{1, 4}));
    t.setField(2, Field::NB_TYPE, FieldValue::integer(0));
    EXPECT_EQ(numbers(page()), (std::vector<double>{1, 2, 4}));

    // Rows appended and not yet in the file read from where the table holds them.
    const NewRow nine = NewRow().setReal(Field::N, 9);
    t.appendRows({&nine, 1});
    EXPECT_TRUE(before.isStale());
    EXPECT_TRUE(before.text(0, Field::N).isEmpty()) << "a stale view reads blank, never a wrong row";
    const RecordView withNew = page();
    EXPECT_EQ(numbers(withNew), (std::vector<double>{1, 2, 4, 9}));

    const std::vector<std::uint32_t> gone = {1};
    t.removeRows(gone);
    EXPECT_TRUE(withNew.isStale());
    EXPECT_EQ(numbers(page()), (std::vector<double>{2, 4, 9}));

    const RecordView last = page();
    t.close();
    EXPECT_TRUE(last.isStale());
    EXPECT_FALSE(last.number(0, Field::N).has_value());
    EXPECT_EQ(RecordView().size(), 0);
}

// A delete or a renumbering hands on the page it had, in the rows' new places, and says how the rows
// relate to those before, so that readers need not walk the rewritten file; what it hands on is what a
// walk of the file gives.
TEST_F(RecordViews, ARewriteHandsOnThePageItHadAsAWalkWouldFindIt)
{
    make(9); // page: 1 2 4 5 7 8; pull-off rows 3 6 9
    const auto fresh = [this] {
        const QString path = t.path();
        t.close();
        t.open(path);
        return numbers(page());
    };
    const RecordView before = page();
    const std::vector<std::uint32_t> gone = {2, 3, 7};
    t.removeRows(gone);
    const RecordView afterDelete = page();
    EXPECT_EQ(numbers(afterDelete), (std::vector<double>{1, 4, 5, 8}));
    EXPECT_EQ(afterDelete.narrowedFrom(), before.rowSetKey());
    EXPECT_FALSE(afterDelete.changedField()) << "a delete gives no row a new value";

    const std::vector<std::uint32_t> backwards(afterDelete.slots().rbegin(), afterDelete.slots().rend());
    t.renumberRows(backwards);
    const RecordView afterRenumbering = page();
    EXPECT_EQ(numbers(afterRenumbering), (std::vector<double>{4, 3, 2, 1}));
    EXPECT_EQ(afterRenumbering.narrowedFrom(), afterDelete.rowSetKey());
    ASSERT_TRUE(afterRenumbering.changedField());
    EXPECT_EQ(afterRenumbering.changedField()->field, Field::N);
    EXPECT_EQ(afterRenumbering.changedField()->widestRow, 0) << "the row that got the greatest number";
    EXPECT_EQ(fresh(), numbers(afterRenumbering));

    // Under a sort the page is walked again in the new order.
    sortByField(t, QStringLiteral("tab1"), Field::N, false);
    t.renumberRows(page().slots());
    EXPECT_EQ(page().narrowedFrom(), 0u);
    EXPECT_EQ(numbers(page()), (std::vector<double>{1, 2, 3, 4}));
}

} // namespace

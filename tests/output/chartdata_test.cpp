// What the charts show, before any drawing: the histogram's bins on a table of cases, and the points
// of a page (or of its marked rows) with blanks left out.
#include "output/chartdata.h"
#include "support/tablefixture.h"
#include "table/dbftable.h"

using namespace darni;
using namespace darni::output;
using darni::testing::DbfFileBuilder;

namespace {

TEST(StrengthHistogram, BinsCoverTheValuesAsSturgesRuleCountsThem)
{
    const struct
    {
        const char* what;
        std::vector<double> values;
        double lower;
        double binWidth;
        std::vector<int> counts;
    } cases[] = {
        {"no values", {}, 0, 1, {}},
        {"one value", {27.5}, 27.0, 1.0, {1}},
        {"equal values", {30, 30, 30}, 29.5, 1.0, {3}},
        {"a known series", {1, 2, 3, 4, 5, 6, 7, 8}, 1.0, 1.75, {2, 2, 2, 2}},
        {"the highest value in the last bin", {10, 20}, 10.0, 5.0, {1, 1}},
    };
    for (const auto& c : cases) {
        const Histogram h = histogramOf(c.values);
        EXPECT_EQ(h.counts, c.counts) << c.what;
        if (c.counts.empty())
            continue;
        EXPECT_DOUBLE_EQ(h.lower, c.lower) << c.what;
        EXPECT_DOUBLE_EQ(h.binWidth, c.binWidth) << c.what;
        EXPECT_EQ(h.highestCount(), *std::max_element(c.counts.begin(), c.counts.end())) << c.what;
    }
    std::vector<double> many(100'000);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = static_cast<double>(i % 977);
    EXPECT_LE(histogramOf(many).counts.size(), static_cast<std::size_t>(kMaxHistogramBins));
}

class PageChartData : public darni::testing::TableFixture
{
};

TEST_F(PageChartData, PointsFollowThePageOrderAndLeaveBlanksOut)
{
    DbfFileBuilder b(darni::testing::measurementFields());
    b.record({{"N", "1"}, {"D9", "4000"}, {"P2", "30"}});
    b.record({{"N", "2"}, {"P9", "87"}}); // a crack row: neither
    b.record({{"N", "3"}, {"D9", "4200"}});
    b.record({{"N", "4"}, {"D9", "3800"}, {"P2", "26"}});
    b.writeTo(tablePath());
    table::DbfTable t;
    t.open(tablePath());
    const ChartData all = chartDataOf(t.view());
    EXPECT_EQ(all.rows, 4);
    EXPECT_EQ(all.first, (std::vector<QPointF>{{1, 4000}, {3, 4200}, {4, 3800}}));
    EXPECT_EQ(all.second, (std::vector<QPointF>{{1, 30}, {4, 26}}));
    EXPECT_EQ(all.firstAgainstSecond, (std::vector<QPointF>{{4000, 30}, {3800, 26}}));
    EXPECT_EQ(all.firstSpread.count, 3);
    EXPECT_DOUBLE_EQ(all.firstSpread.mean, 4000);
    EXPECT_DOUBLE_EQ(all.firstSpread.standardDeviation, 200);
    EXPECT_DOUBLE_EQ(all.secondSpread.mean, 28);

    // Marked rows: only theirs, numbered in the order the page shows them.
    const table::RecordView rows = t.view();
    const std::vector<std::uint32_t> marked{rows.slotAt(3), rows.slotAt(2)};
    const ChartData some = chartDataOf(rows, table::RecordKind::Ultrasonic, marked);
    EXPECT_EQ(some.rows, 2);
    EXPECT_EQ(some.first, (std::vector<QPointF>{{1, 4200}, {2, 3800}}));
    EXPECT_EQ(some.secondHistogram.counts, std::vector<int>{1});
}

TEST_F(PageChartData, ThePullOffPageChartsItsForceAndStrength)
{
    DbfFileBuilder b(darni::testing::measurementFields());
    b.record({{"N", "1"}, {"NB_TYPE", "1"}, {"P", "12.5"}, {"R", "15.9"}});
    b.record({{"N", "2"}, {"NB_TYPE", "1"}, {"P", "20"}, {"R", "25.4"}});
    b.writeTo(tablePath());
    table::DbfTable t;
    t.open(tablePath());
    const ChartData d = chartDataOf(t.view(), table::RecordKind::PullOff);
    EXPECT_EQ(d.firstTitle, QStringLiteral("Усилие P, кН"));
    EXPECT_EQ(d.secondTitle, QStringLiteral("Прочность R, МПа"));
    EXPECT_EQ(d.first, (std::vector<QPointF>{{1, 12.5}, {2, 20}}));
    EXPECT_EQ(d.second, (std::vector<QPointF>{{1, 15.9}, {2, 25.4}}));
    EXPECT_EQ(d.secondSpread.count, 2);
}

} // namespace

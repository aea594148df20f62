// The whole-table statistics, the rounding of means, and the number text.
#include "support/tablefixture.h"
#include "table/dbftable.h"
#include "table/numbertext.h"
#include "table/seriesspread.h"
#include "table/tablestatistics.h"

#include <limits>

using namespace darni::table;

namespace {

TEST(RoundToTenth, RoundsAsTheBinaryValuesLie)
{
    const struct
    {
        double in;
        double out;
    } cases[] = {
        {1.25, 1.2}, {1.35, 1.4}, {10.05, 10.1}, {0, 0},        {3.84615, 3.8},
        {2.96, 3.0}, {150, 150},  {0.05, 0.1},   {99.95, 99.9},
    };
    // The result is t × 0.1 as a double, which may lie an ulp beside the literal.
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(roundToTenth(c.in), c.out) << c.in;
}

TEST(NumberText, ShortestFormWithTheGivenSeparator)
{
    const struct
    {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {5.55, "5,55"},
        {20.1, "20,1"},
        {1.2, "1,2"},
        {150, "150"},
        {-3.5, "-3,5"},
        {0.00001, "0,00001"},
        {0.000001, "1E-6"},
        {0.0000015, "1,5E-6"},
        {1e15, "1E15"},
        {123456789012345.0, "123456789012345"},
        {0.1 + 0.2, "0,3"},
        {37.5, "37,5"},
        {1.0 / 3, "0,333333333333333"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(numberText(c.value, u','), QString::fromUtf8(c.text)) << c.value;
    EXPECT_EQ(numberText(2.5, u'.'), QStringLiteral("2.5"));
}

class FindMma : public darni::testing::TableFixture
{
protected:
    void rows(const std::vector<std::pair<const char*, const char*>>& pr)
    {
        DbfTable::create(tablePath());
        t.open(tablePath());
        std::vector<NewRow> rows;
        for (const auto& [p, r] : pr) {
            NewRow row;
            if (p)
                row.setReal(Field::P, std::atof(p));
            if (r)
                row.setReal(Field::R, std::atof(r));
            rows.push_back(row);
        }
        t.appendRows(rows);
    }
    DbfTable t;
};

TEST_F(FindMma, OverTheRowsOfThePage)
{
    struct Case
    {
        const char* what;
        std::vector<std::pair<const char*, const char*>> rows;
        TableStatistics expected;
    } const cases[] = {
        {"empty", {}, {0, 0, 0, 0, 0, 0}},
        {"one row, unrounded", {{"5.55", "20.1"}}, {5.55, 5.55, 5.55, 20.1, 20.1, 20.1}},
        {"means rounded", {{"1.2", "10"}, {"1.3", "10.1"}}, {1.2, 1.2, 1.3, 10, 10.1, 10.1}},
        // A crack row has no transit time: a minimum of 0 over rows that have none is a wrong figure.
        {"blanks are left out", {{"4", nullptr}, {"2", "9"}, {nullptr, "3"}}, {2, 3, 4, 3, 6, 9}},
        {"no value at all", {{nullptr, nullptr}, {nullptr, nullptr}}, {0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        rows(c.rows);
        const TableStatistics s = findMma(t.view());
        EXPECT_DOUBLE_EQ(s.minP, c.expected.minP) << c.what;
        EXPECT_DOUBLE_EQ(s.meanP, c.expected.meanP) << c.what;
        EXPECT_DOUBLE_EQ(s.maxP, c.expected.maxP) << c.what;
        EXPECT_DOUBLE_EQ(s.minR, c.expected.minR) << c.what;
        EXPECT_DOUBLE_EQ(s.meanR, c.expected.meanR) << c.what;
        EXPECT_DOUBLE_EQ(s.maxR, c.expected.maxR) << c.what;
        t.close();
    }
}

TEST_F(FindMma, FollowsTheRowsOfTheKind)
{
    rows({{"1", "1"}, {"100", "100"}, {"3", "3"}});
    t.setField(2, Field::NB_TYPE, FieldValue::integer(1));
    const TableStatistics s = findMma(t.view(RowFilter::recordKind(0)));
    EXPECT_EQ(s.maxP, 3.0);
    EXPECT_EQ(s.meanP, 2.0);
}

} // namespace

namespace {

TEST(SelectionStatistics, MarkedRowsValuesWithBlanksLeftOut)
{
    const auto none = std::optional<double>();
    const struct
    {
        const char* what;
        std::vector<CapturedValues> rows;
        TableStatistics expected;
    } cases[] = {
        {"the mean rounds as the binary value lies", {{1.2, 20.0}, {1.3, 30.0}}, {1.2, 1.2, 1.3, 20.0, 25.0, 30.0}},
        {"a blank R is left out, not counted as 0",
         {{1.0, none}, {3.0, 40.0}, {5.0, 20.0}},
         {1.0, 3.0, 5.0, 20.0, 30.0, 40.0}},
        {"no value at all gives zeros", {{none, none}, {none, none}}, {}},
        {"nothing marked", {}, {}},
    };
    for (const auto& c : cases) {
        const TableStatistics s = selectionStatistics(c.rows);
        EXPECT_DOUBLE_EQ(s.minP, c.expected.minP) << c.what;
        EXPECT_DOUBLE_EQ(s.meanP, c.expected.meanP) << c.what;
        EXPECT_DOUBLE_EQ(s.maxP, c.expected.maxP) << c.what;
        EXPECT_DOUBLE_EQ(s.minR, c.expected.minR) << c.what;
        EXPECT_DOUBLE_EQ(s.meanR, c.expected.meanR) << c.what;
        EXPECT_DOUBLE_EQ(s.maxR, c.expected.maxR) << c.what;
    }
}

} // namespace

namespace {

TEST(SeriesSpread, CountMeanSampleDeviationAndVariation)
{
    const struct
    {
        const char* what;
        std::vector<double> values;
        SeriesSpread expected;
    } cases[] = {
        {"none", {}, {0, 0, 0, 0}},
        {"one value", {31.5}, {1, 31.5, 0, 0}},
        {"equal values", {20, 20, 20}, {3, 20, 0, 0}},
        // Σ(x − 5)² = 32 over n − 1 = 7: S = √(32/7) = 2.13809, V = 42.76 %.
        {"a known series", {2, 4, 4, 4, 5, 5, 7, 9}, {8, 5, 2.1380899352993952, 42.761798705987904}},
    };
    for (const auto& c : cases) {
        const SeriesSpread s = spreadOf(c.values);
        EXPECT_EQ(s.count, c.expected.count) << c.what;
        EXPECT_DOUBLE_EQ(s.mean, c.expected.mean) << c.what;
        EXPECT_DOUBLE_EQ(s.standardDeviation, c.expected.standardDeviation) << c.what;
        EXPECT_DOUBLE_EQ(s.variationPercent, c.expected.variationPercent) << c.what;
    }
}

} // namespace

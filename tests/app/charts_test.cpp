// The charts drawn offscreen, checked for their series and axes (not pixels); the charts window with
// its spread and its saving; "Вид → Графики" on the page or its marked rows.
#include "app/chartswindow.h"
#include "charts/pagecharts.h"
#include "mainwindowfixture.h"
#include "support/dbffilebuilder.h"

#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTabWidget>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtCharts/QXYSeries>

using namespace darni;

namespace {

output::ChartData sample()
{
    output::ChartData d;
    d.firstTitle = QStringLiteral("Скорость УЗК, м/с");
    d.secondTitle = QStringLiteral("Прочность R, МПа");
    d.firstName = QStringLiteral("скорость");
    d.secondName = QStringLiteral("прочность");
    d.source = QStringLiteral("объект-7.db");
    d.rows = 5;
    d.first = {{1, 4000}, {2, 4200}, {3, 3800}, {5, 4100}};
    d.second = {{1, 30}, {3, 26}, {5, 34}};
    d.firstAgainstSecond = {{4000, 30}, {3800, 26}, {4100, 34}};
    d.secondHistogram = output::histogramOf(std::vector<double>{30, 26, 34});
    d.firstSpread = table::spreadOf(std::vector<double>{4000, 4200, 3800, 4100});
    d.secondSpread = table::spreadOf(std::vector<double>{30, 26, 34});
    return d;
}

const QXYSeries* seriesNamed(const QChart& chart, const QString& name)
{
    for (const QAbstractSeries* s : chart.series()) {
        if (s->name() == name)
            return qobject_cast<const QXYSeries*>(s);
    }
    return nullptr;
}

std::pair<double, double> rangeOf(const QChart& chart, const QString& title)
{
    for (const QAbstractAxis* a : chart.axes()) {
        if (a->titleText() == title) {
            const auto* v = qobject_cast<const QValueAxis*>(a);
            return {v->min(), v->max()};
        }
    }
    ADD_FAILURE() << "no axis " << title.toStdString();
    return {};
}

TEST(PageCharts, SeriesHoldTheirPointsAndAxesHoldEveryPoint)
{
    const output::ChartData d = sample();
    const auto along = charts::buildChart(charts::PageChart::AlongRows, d);
    ASSERT_NE(seriesNamed(*along, d.firstTitle), nullptr);
    EXPECT_EQ(seriesNamed(*along, d.firstTitle)->count(), 4);
    EXPECT_EQ(seriesNamed(*along, d.secondTitle)->count(), 3);
    EXPECT_EQ(rangeOf(*along, QStringLiteral("Строка")), (std::pair<double, double>{1, 5}));
    const auto [vLow, vHigh] = rangeOf(*along, d.firstTitle);
    EXPECT_LT(vLow, 3800);
    EXPECT_GT(vHigh, 4200);

    const auto histogram = charts::buildChart(charts::PageChart::StrengthHistogram, d);
    const auto* bins = qobject_cast<const QAreaSeries*>(histogram->series().at(0));
    ASSERT_NE(bins, nullptr);
    EXPECT_EQ(bins->upperSeries()->count(), 2 * static_cast<int>(d.secondHistogram.counts.size()) + 2);
    const QXYSeries* mean = seriesNamed(*histogram, QStringLiteral("Среднее"));
    ASSERT_NE(mean, nullptr);
    EXPECT_DOUBLE_EQ(mean->at(0).x(), 30);
    EXPECT_DOUBLE_EQ(seriesNamed(*histogram, QStringLiteral("Среднее + σ"))->at(0).x(), 34);
    EXPECT_DOUBLE_EQ(seriesNamed(*histogram, QStringLiteral("Среднее − σ"))->at(0).x(), 26);
    EXPECT_EQ(rangeOf(*histogram, d.secondTitle), (std::pair<double, double>{26, 34}));
    EXPECT_EQ(rangeOf(*histogram, QStringLiteral("Число строк")).first, 0);

    const auto scatter = charts::buildChart(charts::PageChart::VelocityAgainstStrength, d);
    EXPECT_EQ(seriesNamed(*scatter, QStringLiteral("Строки"))->count(), 3);
    const auto [sLow, sHigh] = rangeOf(*scatter, d.secondTitle);
    EXPECT_LT(sLow, 26);
    EXPECT_GT(sHigh, 34);

    // A page without values still gives charts, empty ones.
    const auto empty = charts::buildChart(charts::PageChart::StrengthHistogram, output::ChartData{});
    EXPECT_EQ(seriesNamed(*empty, QStringLiteral("Среднее")), nullptr);
}

class ChartsCommand : public darni::testing::MainWindowTest
{
};

TEST_F(ChartsCommand, TheWindowShowsTheSpreadAndSavesPictures)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    app::ChartsWindow window(sample(), dialogs, dir.path());
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(window.findChild<QTabWidget*>(QStringLiteral("ChartTabs"))->count(), 3);
    const QString spread = window.findChild<QLabel*>(QStringLiteral("SpreadText"))->text();
    EXPECT_TRUE(spread.contains(QStringLiteral("4 025,0"))) << spread.toStdString() << ": the velocity's mean";
    EXPECT_TRUE(spread.contains(QStringLiteral("13,3 %"))) << spread.toStdString() << ": the strength's variation";

    dialogs.fileNames = {path("charts.png"), path("charts.pdf"), path("charts.txt")};
    window.save(QStringLiteral("png"));
    window.save(QStringLiteral("pdf"));
    EXPECT_TRUE(darni::testing::readAll(path("charts.png")).startsWith("\x89PNG"));
    EXPECT_TRUE(darni::testing::readAll(path("charts.pdf")).startsWith("%PDF"));
    EXPECT_TRUE(dialogs.messages.empty());
    // Every saved page says what it shows: the table, the day, the spread of both series.
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {path("charts.pdf"), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString pages = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_EQ(pages.count(QStringLiteral("объект-7.db")), 3) << pages.toStdString();
    EXPECT_TRUE(pages.contains(QRegularExpression(QStringLiteral("Скорость УЗК, м/с: n 4, среднее 4\\s025,0"))))
        << pages.toStdString();
    EXPECT_TRUE(pages.contains(QStringLiteral("По строкам: скорость и прочность")));
    window.save(QStringLiteral("png"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral(".png или .pdf")))
        << dialogs.messages[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(path("charts.txt")));
}

TEST_F(ChartsCommand, ThePageOrItsMarkedRowsAreCharted)
{
    darni::testing::DbfFileBuilder b(darni::testing::measurementFields());
    for (const char* v : {"4000", "4100", "4200", "4300"})
        b.record({{"N", "1"}, {"D9", v}, {"P2", "30"}});
    b.writeTo(path("c.db"));
    auto w = makeWindow(port);
    w->show();
    ASSERT_TRUE(w->openTablePath(path("c.db")));
    w->command(QStringLiteral("Charts"))->trigger();
    view::GridView& grid = *w->activeGrid();
    grid.selectionModel()->select(grid.model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid.selectionModel()->select(grid.model()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w->command(QStringLiteral("Charts"))->trigger();
    ASSERT_EQ(dialogs.charts.size(), 2u);
    EXPECT_EQ(dialogs.charts[0].rows, 4);
    EXPECT_EQ(dialogs.charts[1].rows, 2);
    EXPECT_EQ(dialogs.charts[1].first, (std::vector<QPointF>{{1, 4100}, {2, 4300}}));
}

} // namespace

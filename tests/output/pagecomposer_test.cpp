// The report composer, read from its positioned cells: pages, titles, headings, footers, the order of
// the rows, the value formats and the wrapping of long texts; and the choice of layout.
#include "output/report/pagecomposer.h"
#include "output/report/reportlayout.h"
#include "output/report/reportpainter.h"
#include "support/tablefixture.h"
#include "table/cp1251.h"
#include "table/dbftable.h"
#include "table/tableorder.h"

#include <QDir>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <map>

using namespace darni;
using namespace darni::output::report;
using darni::testing::DbfFileBuilder;
using Values = std::map<std::string, std::string>;

namespace {

class Composer : public darni::testing::TableFixture
{
protected:
    Composer() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    ~Composer() override { QLocale::setDefault(QLocale::c()); }

    void open(const std::vector<Values>& rows, int kind = 0,
              std::vector<darni::testing::ForeignField> fields = darni::testing::measurementFields())
    {
        DbfFileBuilder b(std::move(fields));
        for (const Values& r : rows)
            b.record(r);
        b.writeTo(tablePath());
        t.open(tablePath());
        m_page = table::RowFilter::recordKind(kind);
    }
    static std::vector<Values> numbered(int n)
    {
        std::vector<Values> rows;
        for (int i = 1; i <= n; ++i)
            rows.push_back({{"N", std::to_string(i)}});
        return rows;
    }
    // The texts of the cells of a page that lie in a band starting at y (±1 for Report3's headings).
    static QStringList textsAt(const ComposedPage& page, double y)
    {
        QStringList texts;
        for (const PlacedCell& c : page.cells) {
            if (std::abs(c.rect.y() - y) <= 1)
                texts << c.lines.join(u' ');
        }
        return texts;
    }
    static QString footer(const ComposedPage& page)
    {
        for (const PlacedCell& c : page.cells) {
            if (c.font == CellFont::Footer)
                return c.lines.join(u' ');
        }
        return {};
    }
    static bool hasTitle(const ComposedPage& page)
    {
        return std::any_of(page.cells.begin(), page.cells.end(),
                           [](const PlacedCell& c) { return c.font == CellFont::Title; });
    }
    // The data cells of a column, top to bottom, over all pages.
    static QStringList column(const ComposedReport& r, int x)
    {
        QStringList values;
        for (const ComposedPage& p : r.pages) {
            for (const PlacedCell& c : p.cells) {
                if (c.font == CellFont::Data && c.rect.x() == x)
                    values << c.lines.join(u' ');
            }
        }
        return values;
    }

    table::DbfTable t;
    table::RowFilter m_page; // the page's rows
};

TEST_F(Composer, AnEmptyPageGivesOnePageWithTitleHeadingsAndFooter)
{
    open({});
    const auto r = composeReport(t.view(m_page), report1());
    ASSERT_TRUE(r);
    ASSERT_EQ(r->pages.size(), 1u);
    const ComposedPage& page = r->pages[0];
    EXPECT_EQ(textsAt(page, 25), QStringList{QStringLiteral("ОРНАК-ТР5 ")}) << "with its trailing space";
    const QStringList headings = textsAt(page, 25 + 64);
    ASSERT_EQ(headings.size(), 15);
    EXPECT_EQ(headings.front(), QStringLiteral("N"));
    EXPECT_EQ(headings.back(), QStringLiteral("Прочность, R, Мпа"));
    EXPECT_EQ(footer(page), QStringLiteral("Стр. 1 из 1"));
    EXPECT_EQ(column(*r, 72).size(), 0);
}

TEST_F(Composer, PagesBreakWhereTheNextRowNoLongerFitsAboveTheFooter)
{
    const ReportLayout& l = report2();
    EXPECT_EQ(rowsOnFirstPage(l), 21); // (1071 − 25 − 20 − 25 − 64 − 60) / 40
    EXPECT_EQ(rowsOnOtherPages(l), 23);
    const int rows = rowsOnFirstPage(l) + rowsOnOtherPages(l) + 1; // just over two pages
    open(numbered(rows), 0);
    const auto r = composeReport(t.view(m_page), l);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->pages.size(), 3u);
    for (std::size_t p = 0; p < 3; ++p) {
        EXPECT_EQ(footer(r->pages[p]), QStringLiteral("Стр. %1 из 3").arg(p + 1));
        EXPECT_EQ(hasTitle(r->pages[p]), p == 0) << "the title on page 1 only";
        const double headingY = p == 0 ? 25 + 64 : 25;
        EXPECT_EQ(textsAt(r->pages[p], headingY).front(), QStringLiteral("N")) << "headings on every page";
    }
    EXPECT_EQ(r->pages[2].cells.size(), 7u + 7u + 1u) << "headings, one row, footer";
    EXPECT_EQ(column(*r, 72).back(), QString::number(rows));
    for (const PlacedCell& c : r->pages[1].cells) {
        if (c.font == CellFont::Data) {
            EXPECT_LE(c.rect.bottom(), 1071 - 25 - 20);
        }
    }
}

TEST_F(Composer, RowsComeInTheTablesOrderWithTheirFormats)
{
    open({{{"N", "1"}, {"P", "12.3"}, {"T", "12.3"}, {"D9", "425"}, {"P3", "Kolonna"}},
          {{"N", "2"}, {"P", "30"}, {"T", "4.5"}, {"P10", "7"}, {"P9", "120"}}});
    table::sortByField(t, QStringLiteral("tab1"), table::Field::P, true);
    const auto r = composeReport(t.view(m_page), report1());
    ASSERT_TRUE(r);
    EXPECT_EQ(column(*r, 72), (QStringList{QStringLiteral("2"), QStringLiteral("1")})) << "sorted, descending P";
    EXPECT_EQ(column(*r, 639), (QStringList{QStringLiteral("30,00"), QStringLiteral("12,30")})) << "P as 0.00";
    EXPECT_EQ(column(*r, 795), (QStringList{QStringLiteral("4,5"), QStringLiteral("12,3")})) << "T in general form";
    // A measurement not taken prints blank: a crack row has no velocity, and "0,00" would read as one.
    EXPECT_EQ(column(*r, 575), (QStringList{QString(), QStringLiteral("425,00")})) << "D9 as 0.00, blank as blank";
    EXPECT_EQ(column(*r, 855), (QStringList{QStringLiteral("7"), QString()})) << "no crack: blank";
    EXPECT_EQ(column(*r, 911), (QStringList{QStringLiteral("120"), QString()}));
    EXPECT_EQ(column(*r, 379), (QStringList{QString(), QStringLiteral("Kolonna")})) << "an empty text prints nothing";
}

TEST_F(Composer, ANumberWiderThanItsCellIsDrawnSmallerWithAllItsDigits)
{
    open({{{"N", "54446"}, {"P", "12.3"}}, {{"N", "7"}}});
    const auto r = composeReport(t.view(m_page), report1());
    ASSERT_TRUE(r);
    std::vector<const PlacedCell*> numbers;
    for (const PlacedCell& c : r->pages[0].cells) {
        if (c.font == CellFont::Data && c.rect.x() == 72)
            numbers.push_back(&c);
    }
    ASSERT_EQ(numbers.size(), 2u);
    EXPECT_EQ(numbers[0]->lines, QStringList{QStringLiteral("54446")}) << "one line, every digit";
    EXPECT_GT(numbers[0]->pointSize, 0.0);
    EXPECT_LT(numbers[0]->pointSize, kDataPoints);
    EXPECT_EQ(numbers[1]->pointSize, 0.0) << "a number that fits keeps the font's size";
}

// Below the readable floor a number, a date or a time breaks into lines of equal length rather than
// shrinking further; where the lines need more height than the row has, the row grows and the pages
// hold fewer rows.
TEST_F(Composer, AValueTooLongForTheFloorBreaksIntoLinesAndItsRowGrows)
{
    // A table of another program that keeps a note with the date in its DATE field.
    constexpr int kLongDateWidth = 160;
    const auto longDates = [] {
        auto fields = darni::testing::measurementFields();
        for (auto& f : fields) {
            if (f.name == "DATE")
                f.width = kLongDateWidth;
        }
        return fields;
    };
    const std::string longDate =
        table::cp1251::fromUnicode(
            QStringLiteral("09.06.2024, замер после ремонта колонны по оси Б, повторный, в присутствии заказчика и "
                           "представителя технического надзора"))
            .toStdString();
    struct Case
    {
        const char* field;
        int x; // its column in Report1
        const char* stored;
        QStringList lines;
        bool rowGrows;
    };
    const Case cases[] = {
        {"N", 72, "120000", {QStringLiteral("120"), QStringLiteral("000")}, false}, // two lines fit the row
        {"P4",
         547,
         "-1234567.12345678",
         {QStringLiteral("-12345"), QStringLiteral("67,123"), QStringLiteral("45678")},
         false},
        {"DATE", 97, longDate.c_str(), {}, true},                   // more lines than the row holds
        {"P", 639, "1.5E+150", {QStringLiteral("1,5E150")}, false}, // "0,00" would write out 151 digits
    };
    for (const Case& c : cases) {
        Values first{{"N", "1"}};
        first[c.field] = c.stored;
        open({first, {{"N", "2"}}}, 0, longDates());
        const auto r = composeReport(t.view(m_page), report1());
        ASSERT_TRUE(r);
        std::vector<const PlacedCell*> cells;
        for (const PlacedCell& cell : r->pages[0].cells) {
            if (cell.font == CellFont::Data && cell.rect.x() == c.x)
                cells.push_back(&cell);
        }
        ASSERT_EQ(cells.size(), 2u) << c.stored;
        const PlacedCell& tall = *cells[0];
        const auto column = std::find_if(report1().columns.begin(), report1().columns.end(),
                                         [&](const ReportColumn& rc) { return rc.x == c.x; });
        ASSERT_NE(column, report1().columns.end());
        EXPECT_EQ(tall.lines.join(QString()), reportValue(t.view(m_page), 0, column->field, column->format).trimmed())
            << c.stored << ": every character, in order";
        if (!c.lines.isEmpty()) {
            EXPECT_EQ(tall.lines, c.lines) << c.stored;
        }
        EXPECT_TRUE(tall.pointSize == 0 || tall.pointSize >= kReadablePoints)
            << c.stored << ": " << tall.pointSize << tall.lines.join(u'|').toStdString();
        EXPECT_EQ(tall.rect.height() > report1().dataCellHeight, c.rowGrows) << c.stored;
        EXPECT_EQ(cells[1]->rect.top(), tall.rect.bottom()) << c.stored << ": the next row starts below it";
        for (const PlacedCell& cell : r->pages[0].cells) {
            if (cell.font == CellFont::Data && cell.rect.top() == tall.rect.top()) {
                EXPECT_EQ(cell.rect.height(), tall.rect.height()) << c.stored << ": the whole row grows";
            }
        }
    }

    // Report1 holds 14 rows on its first page; one tall row moves the last of them to the next page.
    auto rows = numbered(rowsOnFirstPage(report1()));
    rows.front()["DATE"] = longDate;
    open(rows, 0, longDates());
    const PageByPageReport pages(t.view(m_page), report1());
    ASSERT_EQ(pages.pageCount(), 2);
    EXPECT_EQ(footer(pages.page(0)), QStringLiteral("Стр. 1 из 2"));
    const auto all = pages.composeAll();
    ASSERT_TRUE(all);
    EXPECT_EQ(column(*all, 72).size(), rows.size()) << "no row lost between the pages";
    EXPECT_EQ(column(*all, 72).back(), QString::number(rows.size()));
    EXPECT_EQ(all->pages[1].cells.size(), 15u + 15u + 1u) << "headings, the row that moved, footer";
    for (const ComposedPage& page : all->pages) {
        for (const PlacedCell& cell : page.cells) {
            if (cell.font == CellFont::Data) {
                EXPECT_LE(cell.rect.bottom(), report1().pageHeight() - kOtherMargin - report1().footerHeight);
            }
        }
    }
}

TEST_F(Composer, DatesAndTimesKeepEveryCharacterInEveryLayout)
{
    open({{{"N", "1"}, {"DATE", "09.06.2024"}, {"TIME", "17:27:58"}, {"P", "12.3"}, {"NB_TYPE", "0"}}});
    for (const ReportLayout* layout : {&report1(), &report2(), &report3()}) {
        const auto r = composeReport(t.view(m_page), *layout);
        ASSERT_TRUE(r);
        int found = 0;
        for (const PlacedCell& c : r->pages[0].cells) {
            const QString text = c.lines.join(QString());
            if (c.font != CellFont::Data ||
                (!text.contains(QStringLiteral("09.06")) && !text.contains(QStringLiteral("27:5"))))
                continue;
            ++found;
            EXPECT_EQ(c.lines.size(), 1) << layout->name << ": " << text.toStdString();
            EXPECT_TRUE(text == QStringLiteral("09.06.2024") || text == QStringLiteral("17:27:58"))
                << layout->name << ": " << text.toStdString();
        }
        EXPECT_GE(found, 1) << layout->name;
    }
}

TEST_F(Composer, ALongCommentWrapsInsideItsFixedRow)
{
    const QString comment = QStringLiteral("Трещина вдоль оси колонны у основания, замер повторить после ремонта");
    open({{{"N", "1"},
           {"NB_TYPE", "1"},
           {"SERIAL", "1234"},
           {"COMMENT", table::cp1251::fromUnicode(comment).toStdString()}}},
         1);
    const auto r = composeReport(t.view(m_page), report2());
    ASSERT_TRUE(r);
    EXPECT_EQ(textsAt(r->pages[0], 25).front(), QStringLiteral("ПЕЛТА2-ТР5  № 1234"));
    const PlacedCell* cell = nullptr;
    for (const PlacedCell& c : r->pages[0].cells) {
        if (c.font == CellFont::Data && c.rect.x() == 543)
            cell = &c;
    }
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->rect.height(), 40) << "the row keeps its height";
    EXPECT_GE(cell->lines.size(), 2) << "wrapped";
    EXPECT_TRUE(comment.startsWith(cell->lines.join(u' '))) << "at word boundaries, cut at the border";
    EXPECT_EQ(cell->alignment, Qt::AlignLeft | Qt::AlignVCenter);
    const TextFitter fitter(report2().headingFontPoints);
    EXPECT_LE(cell->lines.size() * fitter.lineHeight(CellFont::Data), 40 - 2);
    for (const QString& line : cell->lines)
        EXPECT_LE(fitter.width(CellFont::Data, line), 189 - 4) << line.toStdString();
}

// The words of a PDF's first page with their positions in points, as poppler's pdftotext -bbox
// reads them: "word" → (xMin, yMin), each word once.
std::map<QString, QPointF> wordPositions(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                                          QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(60000)) << "(tools/install-deps installs poppler-utils)";
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"[0-9.]+\">([^<]*)</word>"));
    std::map<QString, QPointF> positions;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        positions.emplace(m.captured(3), QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()));
    }
    return positions;
}

TEST_F(Composer, ThePreviewDrawsThePageThePdfPrintsAtAnyZoom)
{
    open({{{"N", "101"}, {"DATE", "01.03.2024"}, {"TIME", "08:31:05"}, {"P", "12.5"}, {"R", "150"}, {"P5", "Базовая"}},
          {{"N", "54446"}, {"DATE", "09.06.2024"}, {"TIME", "17:27:58"}, {"P", "21.6"}, {"R", "32"}}});
    const auto report = composeReport(t.view(m_page), report1());
    ASSERT_TRUE(report);
    QTemporaryDir dir;
    const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
    writeReportPdf(*report, printed);

    // The preview's own painting, at a screen's 96 dots per inch and half size, onto a PDF page so
    // that the same reader measures it; its positions, doubled, are the printed ones.
    constexpr double kZoom = 0.5;
    constexpr int kScreenDpi = 96;
    const QString preview = dir.filePath(QStringLiteral("preview.pdf"));
    {
        QPdfWriter pdf(preview);
        pdf.setResolution(kScreenDpi);
        QPageLayout page(QPageSize(QPageSize::A4), report1().landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                         QMarginsF(0, 0, 0, 0));
        page.setMode(QPageLayout::FullPageMode);
        pdf.setPageLayout(page);
        QPainter painter(&pdf);
        paintReportPage(painter, report->pages.front(), report1(), kZoom * kScreenDpi / kUnitsPerInch);
    }
    const auto expected = wordPositions(printed);
    const auto shown = wordPositions(preview);
    ASSERT_GE(expected.size(), 10u);
    int compared = 0;
    for (const auto& [text, at] : expected) {
        const auto it = shown.find(text);
        if (it == shown.end())
            continue;
        ++compared;
        EXPECT_NEAR(it->second.x() / kZoom, at.x(), 1.0) << text.toStdString();
        EXPECT_NEAR(it->second.y() / kZoom, at.y(), 1.0) << text.toStdString();
    }
    EXPECT_GE(compared, static_cast<int>(expected.size()) * 9 / 10) << "the same words on both pages";
    for (const char* value : {"01.03.2024", "08:31:05", "101", "54446", "17:27:58"})
        EXPECT_TRUE(shown.count(QString::fromLatin1(value))) << value << ": cut or run into another text";
}

// Printing composes each page just before drawing it; the file is the one the composed pages give, and
// a stop leaves the file that was there.
TEST_F(Composer, APdfDrawnPageByPageIsTheComposedOneAndAStopWritesNothing)
{
    open(numbered(rowsOnFirstPage(report2()) + 2 * rowsOnOtherPages(report2())));
    QTemporaryDir dir;
    const QString composed = dir.filePath(QStringLiteral("composed.pdf"));
    const QString paged = dir.filePath(QStringLiteral("paged.pdf"));
    writeReportPdf(*composeReport(t.view(m_page), report2()), composed);
    const PageByPageReport report(t.view(m_page), report2());
    std::vector<std::pair<int, int>> told;
    EXPECT_TRUE(writeReportPdf(report, paged, [&](int done, int pages) {
        told.emplace_back(done, pages);
        return true;
    }));
    const auto text = [](const QString& pdf) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        EXPECT_TRUE(p.waitForFinished(60000));
        return p.readAllStandardOutput();
    };
    EXPECT_EQ(text(paged), text(composed));
    EXPECT_TRUE(text(paged).contains("Стр. 3 из 3"));
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));

    const QByteArray before = darni::testing::readAll(paged);
    EXPECT_FALSE(writeReportPdf(report, paged, [](int done, int) { return done < 2; }));
    EXPECT_EQ(darni::testing::readAll(paged), before) << "a stopped print leaves the old file";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "and no temporary behind";
}

TEST(ReportChoice, ThePageAndTheDeviceTypePickTheLayout)
{
    using Page = table::RecordKind;
    EXPECT_STREQ(chooseReport(Page::Ultrasonic, 0).name, "Report1");
    EXPECT_STREQ(chooseReport(Page::Ultrasonic, 13).name, "Report3");
    EXPECT_STREQ(chooseReport(Page::PullOff, 13).name, "Report2");
    EXPECT_STREQ(chooseReport(Page::PullOff, 0).name, "Report2");
    EXPECT_TRUE(report1().landscape);
    EXPECT_EQ(report1().columns.back().x + report1().columns.back().width, 1043);
    EXPECT_EQ(report3().rowHeight, 55);
}

} // namespace

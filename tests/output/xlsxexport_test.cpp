// The .xlsx export read back by independent readers: openpyxl sees the same cells as the .xls export
// holds, numbers in the grid's formats, a frozen and filtered header row and fitted columns;
// LibreOffice opens it; a page beyond the old 65,535-row sheet goes out whole.
#include "files/usererror.h"
#include "output/excelexport.h"
#include "output/xlsxexport.h"
#include "support/sheetcells.h"
#include "support/tablefixture.h"
#include "table/cp1251.h"
#include "table/dbftable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace darni;
using namespace darni::output;
using darni::testing::DbfFileBuilder;

namespace {

QJsonObject readBack(const QString& path, const QStringList& options = {})
{
    QProcess python;
    python.start(QStringLiteral(DARNI_PYTHON),
                 QStringList{QStringLiteral(DARNI_TEST_SCRIPTS "/xlsx_to_json.py"), path} + options);
    EXPECT_TRUE(python.waitForFinished(240000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

class XlsxExport : public darni::testing::TableFixture
{
protected:
    QString out() const { return pathOf(QStringLiteral("page.xlsx")); }
    table::DbfTable t;
};

TEST_F(XlsxExport, EveryCellIsTheOneTheXlsExportWritesAndTheSheetIsReadyToWorkWith)
{
    const std::string comment = table::cp1251::fromUnicode(u"Плита 3, \"ось\" Б").toStdString();
    DbfFileBuilder b(darni::testing::measurementFields());
    b.record({{"N", "7"},
              {"DATE", "05.03.2024"},
              {"TIME", "10:15:00"},
              {"P", "12.34"},
              {"R", "150"},
              {"D9", "3083"},
              {"P4", "1.25"},
              {"P2", "27.5"},
              {"ZAV", "2"},
              {"COMMENT", comment}});
    b.record({{"N", "8"}, {"T", "41.7"}, {"P10", "63.2"}, {"P9", "87"}}); // a crack row: no velocity
    b.record({{"N", "54446"}, {"P", "0"}});
    b.writeTo(tablePath());
    t.open(tablePath());
    exportToXlsx(t.view(), out());
    const table::RecordView page = t.view();
    const ExportSheet xls(page);

    const QJsonObject book = readBack(out(), {QStringLiteral("--libreoffice")});
    EXPECT_EQ(book[QStringLiteral("sheet")].toString(), QStringLiteral("ORNAK-ТР5"));
    EXPECT_EQ(book[QStringLiteral("freeze")].toString(), QStringLiteral("A2")) << "the header row stays in view";
    EXPECT_EQ(book[QStringLiteral("filter")].toString(), QStringLiteral("A1:P4"));
    const QJsonArray rows = book[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 4);
    for (int r = 0; r < 4; ++r) {
        const QJsonArray cells = rows[r].toArray();
        ASSERT_EQ(cells.size(), 16) << r;
        for (int c = 0; c < 16; ++c) {
            const xls::XlsValue expected = darni::testing::sheetCell(xls, c, r);
            const QJsonValue got = cells[c];
            if (const auto* text = std::get_if<QString>(&expected); text && text->isEmpty())
                EXPECT_TRUE(got.isNull()) << r << ',' << c << ": an empty cell, not 0 or \"\"";
            else if (const auto* s = std::get_if<QString>(&expected))
                EXPECT_EQ(got.toString(), *s) << r << ',' << c;
            else if (const auto* d = std::get_if<double>(&expected))
                EXPECT_DOUBLE_EQ(got.toDouble(), *d) << r << ',' << c;
            else if (const auto* i = std::get_if<std::int32_t>(&expected))
                EXPECT_DOUBLE_EQ(got.toDouble(), *i) << r << ',' << c;
            else
                ADD_FAILURE() << r << ',' << c << ": a cell of a kind the export does not write";
        }
    }
    const QJsonArray formats = book[QStringLiteral("formats")].toArray();
    EXPECT_EQ(formats[9].toString(), QStringLiteral("0.0")) << "T as the grid shows it";
    EXPECT_EQ(formats[8].toString(), QStringLiteral("0")) << "the velocity, whole";
    EXPECT_EQ(formats[0].toString(), QStringLiteral("General"));
    // Dates and times are cells a spreadsheet sorts by the calendar, shown as the grid shows them.
    EXPECT_EQ(formats[1].toString(), QStringLiteral("dd.mm.yyyy"));
    EXPECT_EQ(formats[2].toString(), QStringLiteral("hh:mm:ss"));
    const QJsonArray dates = book[QStringLiteral("dates")].toArray();
    EXPECT_TRUE(dates[1].toBool() && dates[2].toBool()) << "the date and the time are date cells";
    EXPECT_FALSE(dates[0].toBool() || dates[9].toBool());
    const QJsonArray widths = book[QStringLiteral("widths")].toArray();
    const auto columns = exportColumns();
    for (int c = 0; c < 16; ++c)
        EXPECT_GT(widths[c].toDouble(), QStringView(columns[c].header).size()) << "the header fits column " << c;
    EXPECT_GT(widths[15].toDouble(), table::cp1251::toUnicode(QByteArray::fromStdString(comment)).size())
        << "the comment fits its column";

    // LibreOffice reads the same rows, numbers shown in their formats.
    const QJsonValue office = book[QStringLiteral("libreoffice")];
    if (office.isNull())
        GTEST_SKIP() << "LibreOffice is not installed";
    const QJsonArray lines = office.toArray();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0].toArray()[9].toString(), QStringLiteral("Время прохождения УЗК, Т, мкс."));
    EXPECT_EQ(lines[1].toArray()[9].toString(), QStringLiteral("12.3"));
    EXPECT_EQ(lines[1].toArray()[15].toString(), QStringLiteral("Плита 3, \"ось\" Б"));
    EXPECT_EQ(lines[2].toArray()[8].toString(), QString()) << "the crack row's velocity stays empty";
    EXPECT_EQ(lines[3].toArray()[0].toString(), QStringLiteral("54446"));
}

// Only a real calendar day and time of day become date and time cells; anything else a row may hold
// (edited by hand, written by another program) goes out as the text it is.
TEST_F(XlsxExport, OnlyCalendarDatesAndTimesBecomeDateCells)
{
    struct Case
    {
        const char* date;
        const char* time;
        const char* dateKind;
        const char* timeKind;
    };
    const Case cases[] = {
        {"05.03.2024", "10:15:00", "date", "time"},
        {"29.02.2024", "23:59:59", "date", "time"}, // a leap day, the last second
        {"29.02.2023", "24:00:00", "text", "text"}, // no such day, no such hour
        {"5.3.2024", "7:05:00", "text", "text"},    // not the grid's shape
        {"05/03/2024", "10.15.00", "text", "text"},
        {"ab.cd.efgh", "10:61:00", "text", "text"},
    };
    DbfFileBuilder b(darni::testing::measurementFields());
    for (const Case& c : cases)
        b.record({{"N", "1"}, {"DATE", c.date}, {"TIME", c.time}});
    b.writeTo(tablePath());
    t.open(tablePath());
    exportToXlsx(t.view(), out());
    const QJsonObject book = readBack(out());
    const QJsonArray kinds = book[QStringLiteral("kinds")].toArray();
    const QJsonArray rows = book[QStringLiteral("rows")].toArray();
    ASSERT_EQ(kinds.size(), static_cast<qsizetype>(std::size(cases)) + 1);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto row = static_cast<qsizetype>(i) + 1;
        EXPECT_EQ(kinds[row].toArray()[1].toString(), QString::fromLatin1(cases[i].dateKind)) << cases[i].date;
        EXPECT_EQ(kinds[row].toArray()[2].toString(), QString::fromLatin1(cases[i].timeKind)) << cases[i].time;
        EXPECT_EQ(rows[row].toArray()[1].toString(), QString::fromLatin1(cases[i].date)) << "shown as stored";
        EXPECT_EQ(rows[row].toArray()[2].toString(), QString::fromLatin1(cases[i].time)) << "shown as stored";
    }
}

TEST_F(XlsxExport, APageBeyondTheOldSheetGoesOutWholeAndAFailedWriteLeavesNothingBehind)
{
    constexpr int kRows = 70'000;
    table::DbfTable::create(tablePath());
    t.open(tablePath());
    std::vector<table::NewRow> rows;
    for (int i = 0; i < kRows; ++i)
        rows.push_back(table::NewRow().setReal(table::Field::N, i + 1).setReal(table::Field::P, (i % 500) / 10.0));
    t.appendRows(rows);
    exportToXlsx(t.view(), out());
    const QJsonObject counted = readBack(out(), {QStringLiteral("--count")});
    EXPECT_EQ(counted[QStringLiteral("rows")].toInt(), kRows + 1);
    EXPECT_EQ(counted[QStringLiteral("last_row_number")].toInt(), kRows + 1);
    const QJsonArray last = counted[QStringLiteral("last_row_values")].toArray();
    ASSERT_GE(last.size(), 2);
    EXPECT_EQ(last[0].toString(), QStringLiteral("70000"));
    EXPECT_EQ(last[1].toString(), QStringLiteral("49.9"));

    // The old .xls refusal names the way out.
    try {
        exportToExcel(t.view(), pathOf(QStringLiteral("page.xls")));
        ADD_FAILURE() << "no refusal";
    } catch (const files::UserError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Экспорт в Excel 2007+ (.xlsx)"))) << e.message().toStdString();
    }

    // A workbook that cannot take its place (a folder holds the name) is refused, with nothing left beside.
    const QString folder = pathOf(QStringLiteral("folder.xlsx"));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_THROW(exportToXlsx(t.view(), folder), files::UserError);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(QDir(m_dir.path()).entryList({QStringLiteral("*.tmp")}, QDir::Files), QStringList());
}

} // namespace

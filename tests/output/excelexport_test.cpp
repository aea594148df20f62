// The export's worksheet: its name, the header row, the sixteen columns with numbers as numbers and
// texts as texts, the rows of the page in the table's order, and the row limit of the format.
#include "output/csvexport.h"
#include "output/excelexport.h"
#include "output/xls/xlserror.h"
#include "output/xls/xlswriter.h"
#include "support/sheetcells.h"
#include "support/tablefixture.h"
#include "support/tablerows.h"
#include "table/cp1251.h"
#include "table/dbftable.h"
#include "table/tableorder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

using namespace darni;
using namespace darni::output;
using darni::testing::DbfFileBuilder;

namespace {

// What a helper script says when the program it drives is not installed.
constexpr int kNotInstalled = 77;

class ExcelExport : public darni::testing::TableFixture
{
protected:
    void open(const std::vector<std::map<std::string, std::string>>& rows, int kind)
    {
        DbfFileBuilder b(darni::testing::measurementFields());
        for (const auto& r : rows)
            b.record(r);
        b.writeTo(tablePath());
        t.open(tablePath());
        m_page = table::RowFilter::recordKind(kind);
    }
    static xls::XlsValue at(const ExportSheet& sheet, int column, int row)
    {
        return darni::testing::sheetCell(sheet, column, row);
    }
    static QString text(const char16_t* s) { return QString::fromUtf16(s); }

    table::DbfTable t;
    table::RowFilter m_page; // the page's rows
};

TEST_F(ExcelExport, ThePullOffPageUsesTheSameSixteenColumns)
{
    const std::string comment = table::cp1251::fromUnicode(u"Плита 3").toStdString();
    open({{{"N", "7"},
           {"NB_TYPE", "1"},
           {"DATE", "05.03.2024"},
           {"P", "12.5"},
           {"R", "3.1"},
           {"ZAV", "2"},
           {"COMMENT", comment}},
          {{"N", "8"}, {"NB_TYPE", "0"}, {"P", "99"}},
          {{"N", "9"}, {"NB_TYPE", "1"}}},
         1);
    const table::RecordView page = t.view(m_page);
    const ExportSheet book(page);
    EXPECT_EQ(book.name(), QStringLiteral("ORNAK-ТР5"));
    EXPECT_EQ(exportWorkbookTitle(), QStringLiteral("PReport"));
    EXPECT_EQ(book.usedArea(), (xls::XlsBounds{0, 0, 15, 2})) << "header and the two pull-off rows";

    const char16_t* headers[] = {u"N",
                                 u"Дата",
                                 u"Время",
                                 u"Вид зависимости",
                                 u"Вид прозвучивания",
                                 u"Тип изделия",
                                 u"Материал",
                                 u"Кс",
                                 u"Скорость УЗК, м./с.",
                                 u"Время прохождения УЗК, Т, мкс.",
                                 u"База прозвучивания, L, мм.",
                                 u"Вне трещены, Т0, мкс.",
                                 u"По трещине, Т1, мкс.",
                                 u"Глубина трещены, h, мм.",
                                 u"Прочность R, МПа",
                                 u"Примечание"};
    for (int c = 0; c < 16; ++c) {
        EXPECT_EQ(at(book, c, 0), xls::XlsValue(text(headers[c]))) << c;
        EXPECT_GT(book.columnWidths().at(c), text(headers[c]).size()) << "the header fits its column";
    }

    EXPECT_EQ(at(book, 0, 1), xls::XlsValue(7.0)) << "N as a number";
    EXPECT_EQ(at(book, 1, 1), xls::XlsValue(QStringLiteral("05.03.2024"))) << "the date as text";
    EXPECT_EQ(at(book, 4, 1), xls::XlsValue(QStringLiteral("2"))) << "ZAV as text in E";
    EXPECT_EQ(at(book, 9, 1), xls::XlsValue(12.5)) << "the force in J";
    EXPECT_EQ(at(book, 10, 1), xls::XlsValue(3.1)) << "the strength in K";
    EXPECT_EQ(at(book, 8, 1), xls::XlsValue(QString())) << "an empty number is an empty cell, not 0";
    EXPECT_EQ(at(book, 14, 1), xls::XlsValue(QString()));
    EXPECT_EQ(at(book, 5, 1), xls::XlsValue(QString())) << "an empty text, a blank cell";
    EXPECT_EQ(at(book, 15, 1), xls::XlsValue(text(u"Плита 3")));
    EXPECT_EQ(at(book, 0, 2), xls::XlsValue(9.0));
}

TEST_F(ExcelExport, RowsFollowTheTablesOrderAndAnEmptyPageGivesTheHeaderAlone)
{
    open({{{"N", "1"}, {"P", "5"}}, {{"N", "2"}, {"P", "9"}}, {{"N", "3"}, {"P", "7"}}}, 0);
    table::sortByField(t, QStringLiteral("tab1"), table::Field::P, true);
    const table::RecordView sortedPage = t.view(m_page);
    const ExportSheet sorted(sortedPage);
    EXPECT_EQ(at(sorted, 0, 1), xls::XlsValue(2.0));
    EXPECT_EQ(at(sorted, 0, 3), xls::XlsValue(1.0));

    m_page = table::RowFilter::recordKind(1);
    const table::RecordView emptyPage = t.view(m_page);
    EXPECT_EQ(ExportSheet(emptyPage).usedArea(), (xls::XlsBounds{0, 0, 15, 0}));
    EXPECT_EQ(exportSuccessMessage(QStringLiteral("/home/user/objekt/test.xls")),
              QStringLiteral("Экспорт в файл test.xls завершен успешно."));
}

// The export writes its cells as the writer reads them, never building a sheet; the file must be byte
// for byte the one the workbook model gives for the same cells.
TEST_F(ExcelExport, TheStreamedFileIsTheOneTheWorkbookModelWrites)
{
    const std::string comment = table::cp1251::fromUnicode(u"Плита 3\r\nось Б").toStdString();
    open({{{"N", "7"},
           {"DATE", "05.03.2024"},
           {"TIME", "10:15:00"},
           {"P", "12.5"},
           {"D9", "3272"},
           {"P5", "Базовая"},
           {"COMMENT", comment}},
          {{"N", "8"}, {"T", "41.7"}},
          {{"N", "9"}, {"P4", "1.25"}, {"P2", "-0.5"}}},
         0);
    const table::RecordView page = t.view(m_page);
    const ExportSheet streamed(page);
    xls::XlsWorkbook book;
    book.setTitle(exportWorkbookTitle());
    xls::XlsWorksheet& model = book.addSheet();
    model.setName(streamed.name());
    for (const auto& [column, width] : streamed.columnWidths())
        model.setColumnWidth(column, width);
    for (int row = 0; row <= streamed.usedArea().bottom; ++row) {
        for (int c = 0; c <= streamed.usedArea().right; ++c)
            model.cell(c, row).setValue(darni::testing::sheetCell(streamed, c, row));
    }
    const QString fromModel = pathOf(QStringLiteral("model.xls"));
    const QString exported = pathOf(QStringLiteral("export.xls"));
    xls::XlsWriter().saveAsXls(book, fromModel);
    exportToExcel(page, exported);
    const QByteArray bytes = darni::testing::readAll(exported);
    EXPECT_FALSE(bytes.isEmpty());
    EXPECT_TRUE(bytes == darni::testing::readAll(fromModel));
    EXPECT_EQ(darni::testing::sheetCell(streamed, 15, 1), xls::XlsValue(text(u"Плита 3\nось Б")))
        << "a line break as a spreadsheet writes it";
}

TEST_F(ExcelExport, APageBeyondTheSheetsRowsIsRefusedBeforeAnyFileIsWritten)
{
    table::DbfTable::create(tablePath());
    t.open(tablePath());
    darni::testing::appendNumbered(t, 1, kMaxExportRows + 1);
    const QString out = pathOf(QStringLiteral("big.xls"));
    try {
        exportToExcel(t.view(m_page), out);
        ADD_FAILURE() << "no refusal";
    } catch (const xls::XlsError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("65535"))) << e.message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
}

} // namespace

namespace {

TEST_F(ExcelExport, TheCsvSpeaksRussianSpreadsheet)
{
    const std::string comment = table::cp1251::fromUnicode(u"Плита; \"угол\"").toStdString();
    open({{{"N", "7"}, {"DATE", "05.03.2024"}, {"P", "12.5"}, {"D9", "3272"}, {"COMMENT", comment}},
          {{"N", "8"}, {"P", "3"}}},
         0);
    const QByteArray csv = pageCsv(t.view(m_page));
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF")) << "a byte order mark, so the program takes it as UTF-8";
    const QStringList lines = QString::fromUtf8(csv.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("N;Дата;Время;Вид зависимости;"))) << "the export's headers";
    const QStringList first = lines[1].split(u';');
    EXPECT_EQ(first.at(0), QStringLiteral("7"));
    EXPECT_EQ(first.at(1), QStringLiteral("05.03.2024")) << "the date as the grid shows it";
    EXPECT_EQ(first.at(8), QStringLiteral("3272"));
    EXPECT_EQ(first.at(9), QStringLiteral("12,5")) << "a decimal comma";
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\"Плита; \"\"угол\"\"\""))) << "quoted where it must be";
    const QStringList second = lines[2].split(u';');
    EXPECT_EQ(second.at(8), QString()) << "a blank is empty, not 0";
    EXPECT_EQ(second.at(9), QStringLiteral("3"));

    // A Russian LibreOffice takes the numbers as numbers and the texts as texts.
    const QString file = pathOf(QStringLiteral("page.csv"));
    exportToCsv(t.view(m_page), file);
    QProcess office;
    office.start(QStringLiteral(DARNI_PYTHON),
                 {QStringLiteral(DARNI_TEST_SCRIPTS "/csv_through_libreoffice.py"), file});
    ASSERT_TRUE(office.waitForFinished(240000));
    if (office.exitCode() == kNotInstalled)
        GTEST_SKIP() << "LibreOffice is not installed";
    ASSERT_EQ(office.exitCode(), 0) << office.readAllStandardError().toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(office.readAllStandardOutput()).array();
    ASSERT_EQ(rows.size(), 3);
    const QJsonArray kinds = rows[1].toArray();
    for (const int c : {0, 8, 9})
        EXPECT_EQ(kinds[c].toString(), QStringLiteral("number")) << "column " << c;
    EXPECT_EQ(kinds[15].toString(), QStringLiteral("text"));
    EXPECT_TRUE(rows[2].toArray()[8].isNull()) << "the blank stays empty";
}

} // namespace

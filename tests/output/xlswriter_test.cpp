// The workbook writer, read back record by record from its own stream, and by Debian's olefile and
// xlrd: the record sequences, the fixed tables, shared strings with their Continue records, row blocks
// with their DBCell offsets, and the errors for files that cannot be made.
#include "output/xls/xlserror.h"
#include "output/xls/xlswriter.h"
#include "support/dbffilebuilder.h"
#include "support/qtprinters.h"
#include "support/workbookreader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace darni::output::xls;
using darni::testing::BiffRecord;
using darni::testing::u16At;
using darni::testing::u32At;

namespace {

enum : std::uint16_t {
    kBof = 0x0809,
    kEof = 0x000A,
    kFont = 0x0031,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kExtSst = 0x00FF,
    kContinue = 0x003C,
    kRow = 0x0208,
    kNumber = 0x0203,
    kLabelSst = 0x00FD,
    kBlank = 0x0201,
    kDbCell = 0x00D7,
    kIndex = 0x020B,
    kWindow2 = 0x023E,
    kBoundSheet = 0x0085,
};

class XlsWriterTest : public ::testing::Test
{
protected:
    QString path() const { return dir.filePath(QStringLiteral("book.xls")); }

    // Writes the workbook and returns its stream's records: the globals, then the first sheet's.
    void write(const XlsWorkbook& book)
    {
        XlsWriter().saveAsXls(book, path());
        stream = darni::testing::compoundFileStream(path(), QStringLiteral("Workbook"));
        ASSERT_FALSE(stream.isEmpty());
        globals = darni::testing::biffRecords(stream);
        sheet = darni::testing::firstSheetRecords(stream);
        ASSERT_FALSE(sheet.empty());
    }

    static std::vector<std::uint16_t> numbers(const std::vector<BiffRecord>& records)
    {
        std::vector<std::uint16_t> n;
        for (const BiffRecord& r : records)
            n.push_back(r.number);
        return n;
    }
    static std::vector<BiffRecord> only(const std::vector<BiffRecord>& records, std::uint16_t number)
    {
        std::vector<BiffRecord> out;
        std::copy_if(records.begin(), records.end(), std::back_inserter(out),
                     [number](const BiffRecord& r) { return r.number == number; });
        return out;
    }

    QTemporaryDir dir;
    QByteArray stream;
    std::vector<BiffRecord> globals;
    std::vector<BiffRecord> sheet;
};

XlsWorkbook rowsOfText(int rows, const QString& text)
{
    XlsWorkbook book;
    XlsWorksheet& s = book.addSheet();
    for (int r = 0; r < rows; ++r)
        s.cell(0, r).setValue(text);
    return book;
}

TEST_F(XlsWriterTest, TheGlobalsAndTheSheetComeInTheirOrder)
{
    XlsWorkbook book;
    XlsWorksheet& s = book.addSheet();
    s.setName(QStringLiteral("A sheet name longer than thirty-one characters"));
    s.cell(0, 0).setValue(QStringLiteral("N"));
    s.cell(1, 0).setValue(1.5);
    s.cell(2, 1).setValue(QString());
    write(book);

    const std::vector<std::uint16_t> expectedGlobals = {
        kBof,   0x00E1, 0x00C1, 0x00E2, 0x005C, 0x0042, 0x0161, 0x01C0, 0x013D, 0x009C, 0x0019, 0x0012,
        0x0013, 0x01AF, 0x01BC, 0x003D, 0x0040, 0x008D, 0x0022, 0x000E, 0x01B7, 0x00DA, kFont,  kFont,
        kFont,  kFont,  kFont,  0x041E, 0x041E, 0x041E, 0x041E, 0x041E, 0x041E, 0x041E, 0x041E};
    const auto n = numbers(globals);
    ASSERT_GT(n.size(), expectedGlobals.size());
    EXPECT_EQ(std::vector<std::uint16_t>(n.begin(), n.begin() + expectedGlobals.size()), expectedGlobals);
    // Then 21 fixed XFs and one computed, six styles, and the rest.
    const std::vector<std::uint16_t> tail = {0x0160, kBoundSheet, 0x008C, kSst, kExtSst, kEof};
    EXPECT_EQ(std::count(n.begin(), n.end(), kXf), 22);
    EXPECT_EQ(std::count(n.begin(), n.end(), 0x0293), 6);
    EXPECT_EQ(std::vector<std::uint16_t>(n.end() - tail.size(), n.end()), tail);
    EXPECT_EQ(u16At(globals[0].data, 0), 0x0600) << "BIFF8";
    EXPECT_EQ(u16At(globals[0].data, 2), 0x0005);
    EXPECT_EQ(globals[4].data.size(), 112) << "WriteAccess is padded with spaces";

    const std::vector<std::uint16_t> expectedSheet = {
        kBof,   kIndex, 0x000D, 0x000C,    0x000F,  0x0011, 0x0010,  0x005F,   0x002A, 0x002B, 0x0082, 0x0080,
        0x0225, 0x0081, 0x0014, 0x0015,    0x0083,  0x0084, 0x0026,  0x0027,   0x0028, 0x0029, 0x00A1, 0x0055,
        0x0200, kRow,   kRow,   kLabelSst, kNumber, kBlank, kDbCell, kWindow2, 0x001D, kEof};
    EXPECT_EQ(numbers(sheet), expectedSheet);
    const BiffRecord bound = only(globals, kBoundSheet).front();
    EXPECT_EQ(static_cast<int>(static_cast<std::uint8_t>(bound.data[6])), 31) << "the name is cut to 31";
    EXPECT_EQ(u16At(only(sheet, kWindow2).front().data, 0), 0x06B6) << "the only sheet is selected";
}

TEST_F(XlsWriterTest, FontsAndCellFormatsAreTheFixedOnesAndOneMore)
{
    write(rowsOfText(1, QStringLiteral("x")));
    const auto fonts = only(globals, kFont);
    ASSERT_EQ(fonts.size(), 5u);
    EXPECT_EQ(u16At(fonts[4].data, 4), 8) << "explicit black, palette index 8";
    EXPECT_EQ(u16At(fonts[0].data, 4), 0x7FFF) << "window text";
    EXPECT_EQ(u16At(fonts[4].data, 6), 100) << "the weight as the files have always had it";

    const auto xfs = only(globals, kXf);
    ASSERT_EQ(xfs.size(), 22u);
    EXPECT_EQ(xfs[21].data.toHex(' '), QByteArray("05 00 00 00 01 00 20 00 00 7c 00 00 00 00 00 00 00 00 08 04"));
    EXPECT_EQ(xfs[15].data.toHex(' '), QByteArray("00 00 00 00 01 00 20 00 00 00 00 00 00 00 00 00 00 00 c0 20"));
    EXPECT_EQ(u16At(only(sheet, kLabelSst).front().data, 4), 21) << "the cell refers to XF 21";
}

TEST_F(XlsWriterTest, EveryNonEmptyTextHasItsOwnEntryAndEmptyOnesAreBlank)
{
    XlsWorkbook book;
    XlsWorksheet& s = book.addSheet();
    s.cell(0, 0).setValue(QStringLiteral("a\r\nb"));
    s.cell(1, 0).setValue(QStringLiteral("a\nb"));
    s.cell(2, 0).setValue(QString());
    write(book);
    const QByteArray sst = only(globals, kSst).front().data;
    EXPECT_EQ(u32At(sst, 0), 2u);
    EXPECT_EQ(u32At(sst, 4), 2u) << "equal texts are not merged";
    EXPECT_EQ(u16At(sst, 8), 3) << "CR LF became LF";
    EXPECT_EQ(static_cast<std::uint8_t>(sst[10]), 0x01) << "never the compressed form";
    const auto labels = only(sheet, kLabelSst);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(u32At(labels[1].data, 6), 1u);
    ASSERT_EQ(only(sheet, kBlank).size(), 1u);
    EXPECT_EQ(u16At(only(sheet, kBlank).front().data, 2), 2);
}

TEST_F(XlsWriterTest, RowsComeInBlocksOf32WithDbCellOffsetsThatLeadToTheCells)
{
    for (const auto& [rows, blocks] : {std::pair{32, 1}, std::pair{33, 2}, std::pair{41, 2}}) {
        XlsWorkbook book;
        XlsWorksheet& s = book.addSheet();
        for (int r = 0; r < rows; ++r) {
            if (r % 5 != 3) // some rows without cells
                s.cell(r % 3, r).setValue(static_cast<double>(r));
        }
        write(book);
        const auto cells = only(sheet, kDbCell);
        ASSERT_EQ(cells.size(), static_cast<std::size_t>(blocks)) << rows;
        const QByteArray index = only(sheet, kIndex).front().data;
        EXPECT_EQ(index.size(), 16 + 4 * blocks) << rows;
        for (int b = 0; b < blocks; ++b) {
            const BiffRecord& db = cells[static_cast<std::size_t>(b)];
            EXPECT_EQ(u32At(index, 16 + 4 * b), static_cast<std::uint32_t>(db.position)) << "Index points at DBCell";
            const std::int64_t firstRow = db.position - u32At(db.data, 0);
            EXPECT_EQ(u16At(stream, firstRow), kRow);
            // Each offset leads to the first cell of its row: a Number record of that row, where it has one.
            std::int64_t at = firstRow + 20;
            for (int i = 0; (i + 1) * 2 + 4 <= db.data.size(); ++i) {
                at += u16At(db.data, 4 + 2 * i);
                const int row = b * 32 + i;
                if (row % 5 != 3) {
                    EXPECT_EQ(u16At(stream, at), kNumber) << rows << " row " << row;
                    EXPECT_EQ(u16At(stream, at + 4), row);
                }
            }
        }
    }
}

TEST_F(XlsWriterTest, LongStringTablesGoOnInContinueRecordsWithoutSplittingAHeader)
{
    // Texts of odd lengths so the record ends fall at every place in and between entries.
    XlsWorkbook book;
    XlsWorksheet& s = book.addSheet();
    for (int r = 0; r < 3000; ++r)
        s.cell(0, r).setValue(QString(1 + r % 37, QChar(u'А' + r % 32)));
    write(book);

    const auto sstAt =
        std::find_if(globals.begin(), globals.end(), [](const BiffRecord& r) { return r.number == kSst; });
    ASSERT_NE(sstAt, globals.end());
    std::vector<BiffRecord> pieces{*sstAt};
    for (auto it = sstAt + 1; it != globals.end() && it->number == kContinue; ++it)
        pieces.push_back(*it);
    ASSERT_GT(pieces.size(), 2u);
    for (const BiffRecord& p : pieces)
        EXPECT_LE(p.data.size(), 8224);

    // Walk the entries across the pieces as a reader does.
    std::size_t piece = 0;
    qsizetype at = 8;
    std::vector<std::int64_t> headerPositions;
    for (int r = 0; r < 3000; ++r) {
        if (at == pieces[piece].data.size()) {
            ++piece;
            at = 0;
        }
        ASSERT_LE(at + 3, pieces[piece].data.size()) << "an entry's header is split at entry " << r;
        headerPositions.push_back(pieces[piece].position + 4 + at);
        int left = u16At(pieces[piece].data, at);
        ASSERT_EQ(left, 1 + r % 37);
        ASSERT_EQ(static_cast<std::uint8_t>(pieces[piece].data[at + 2]), 0x01);
        at += 3;
        while (left > 0) {
            if (at == pieces[piece].data.size()) {
                ++piece;
                ASSERT_LT(piece, pieces.size());
                ASSERT_EQ(static_cast<std::uint8_t>(pieces[piece].data[0]), 0x01) << "resumed uncompressed";
                at = 1;
            }
            const int n = static_cast<int>(std::min<qsizetype>(left, (pieces[piece].data.size() - at) / 2));
            ASSERT_GT(n, 0);
            EXPECT_EQ(u16At(pieces[piece].data, at), static_cast<std::uint16_t>(u'А' + r % 32));
            at += 2 * n;
            left -= n;
        }
    }
    const QByteArray ext = only(globals, kExtSst).front().data;
    EXPECT_EQ(u16At(ext, 0), 8);
    for (int b = 0; b * 8 < 3000; ++b) {
        const std::int64_t header = headerPositions[static_cast<std::size_t>(b * 8)];
        EXPECT_EQ(u32At(ext, 2 + 8 * b), static_cast<std::uint32_t>(header)) << b;
        const auto holder =
            std::find_if(pieces.rbegin(), pieces.rend(), [&](const BiffRecord& p) { return p.position <= header; });
        EXPECT_EQ(u16At(ext, 2 + 8 * b + 4), static_cast<std::uint16_t>(header - holder->position)) << b;
    }
}

TEST_F(XlsWriterTest, IndependentReadersSeeOneWorkbookStreamAndEveryCell)
{
    XlsWorkbook book;
    XlsWorksheet& s = book.addSheet();
    s.setName(QStringLiteral("ORNAK-ТР5"));
    s.cell(0, 0).setValue(QStringLiteral("Прочность R, МПа"));
    s.cell(1, 0).setValue(std::int32_t{4200});
    s.cell(0, 1).setValue(12.25);
    s.cell(2, 1).setValue(QString());
    s.setColumnWidth(0, 18.5);
    write(book);

    QProcess python;
    python.start(QStringLiteral(DARNI_PYTHON), {QStringLiteral(DARNI_TEST_SCRIPTS "/xls_to_json.py"), path()});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString()
                                    << "\n(tools/install-deps installs python3-olefile and python3-xlrd)";
    const QJsonObject seen = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    EXPECT_EQ(seen[QStringLiteral("streams")].toArray(), QJsonArray{QStringLiteral("Workbook")});
    const QJsonObject first = seen[QStringLiteral("sheets")].toArray().at(0).toObject();
    EXPECT_EQ(first[QStringLiteral("name")].toString(), QStringLiteral("ORNAK-ТР5"));
    const QJsonArray rows = first[QStringLiteral("rows")].toArray();
    const auto cell = [&](int r, int c) { return rows.at(r).toArray().at(c).toArray(); };
    EXPECT_EQ(cell(0, 0).at(1).toString(), QStringLiteral("Прочность R, МПа"));
    EXPECT_EQ(cell(0, 1).at(1).toDouble(), 4200.0);
    EXPECT_EQ(cell(1, 0).at(1).toDouble(), 12.25);
    EXPECT_EQ(cell(1, 2).at(0).toString(), QStringLiteral("blank"));
    const QJsonObject widths = first[QStringLiteral("column_widths")].toObject();
    EXPECT_EQ(widths[QStringLiteral("0")].toInt(), 4736) << "18.5 characters, in 1/256 of one";
    EXPECT_FALSE(widths.contains(QStringLiteral("1"))) << "the others keep the default";
}

TEST_F(XlsWriterTest, LargeStreamsNeedMoreAllocationSectorsThanTheHeaderLists)
{
    // About 9 MB of numbers: more FAT sectors than the header's 109 slots.
    XlsWorkbook book;
    XlsWorksheet& s = book.addSheet();
    for (int r = 0; r < 20000; ++r) {
        for (int c = 0; c < 24; ++c)
            s.cell(c, r).setValue(static_cast<double>(r * 100 + c));
    }
    write(book);
    const auto numbersWritten = only(sheet, kNumber);
    ASSERT_EQ(numbersWritten.size(), 480000u);
    EXPECT_EQ(u16At(numbersWritten.back().data, 0), 19999);
    const QByteArray last = numbersWritten.back().data;
    double value = 0;
    std::memcpy(&value, last.constData() + 6, 8);
    EXPECT_EQ(value, 1999923.0);
}

TEST_F(XlsWriterTest, FilesThatCannotBeMadeAreReportedWithTheStorageCode)
{
    XlsWorkbook book;
    book.addSheet();
    try {
        XlsWriter().saveAsXls(book, dir.filePath(QStringLiteral("no/such/folder/book.xls")));
        ADD_FAILURE() << "no error";
    } catch (const XlsError& e) {
        // The cause in Russian first, then the storage code as the platform's service gives it.
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Не удалось создать файл книги "))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("папки ") + dir.filePath(QStringLiteral("no/such/folder")) +
                                         QStringLiteral(" нет")))
            << e.what();
        EXPECT_TRUE(e.message().endsWith(QStringLiteral("\nStgCreateDocFile error -2147287037"))) << e.what();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("no/such/folder/book.xls"))));

    // An existing file is replaced whole.
    darni::testing::writeAll(path(), QByteArray(100000, 'x'));
    write(rowsOfText(2, QStringLiteral("y")));
    EXPECT_EQ(only(sheet, kLabelSst).size(), 2u);
}

TEST(XlsModel, RangesReplaceWhatTheyOverlapAndTrackTheUsedArea)
{
    XlsWorkbook book;
    EXPECT_EQ(book.title(), QStringLiteral("PReport"));
    XlsWorksheet& s = book.addSheet();
    EXPECT_EQ(s.name(), QStringLiteral("Sheet1"));
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(s.usedArea(), (XlsBounds{-1, -1, -1, -1}));
    s.cell(1, 1).setValue(1.0);
    s.cell(2, 3).setValue(2.0);
    EXPECT_EQ(s.cell(1, 1).value(), XlsValue(1.0)) << "the same range again";
    s.range(0, 0, 1, 2).setValue(QStringLiteral("merged"));
    EXPECT_EQ(s.rangeCountInRow(1), 0u) << "the overlapped cell is gone";
    EXPECT_EQ(s.rangeCountInRow(3), 1u);
    EXPECT_EQ(s.usedArea(), (XlsBounds{0, 0, 2, 3}));
    s.cell(1, 2).setValue(3.0);
    EXPECT_EQ(s.rangeCountInRow(0), 0u) << "a cell inside the merged range replaces it";
    EXPECT_THROW(s.cell(256, 0), std::out_of_range);
    EXPECT_THROW(s.cell(0, 65536), std::out_of_range);
    s.setName(QStringLiteral("  spaced  "));
    EXPECT_EQ(s.name(), QStringLiteral("spaced"));
}

} // namespace

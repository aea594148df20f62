// The .xlsx export of a table page.
#include "xlsxexport.h"

#include "mutedstandarderror.h"

#include "excelexport.h"

#include "files/atomicfile.h"
#include "files/fileerror.h"
#include "table/cp1251.h"
#include "table/recordview.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <optional>
#include <string_view>

namespace darni::output {

namespace {

const QByteArray kSheetName = QStringLiteral("ORNAK-ТР5").toUtf8();
constexpr std::size_t kColumnCount = 16;
// A column wider than this many characters of its contents only pushes the others out of view.
constexpr qsizetype kWidestColumn = 60;
// Room for a number's sign, separators and the filter button beside a header.
constexpr qsizetype kNumberMargin = 3;

struct WorkbookCloser
{
    void operator()(lxw_workbook* book) const { workbook_close(book); }
};
using WorkbookHandle = std::unique_ptr<lxw_workbook, WorkbookCloser>;

files::UserError writeFailure(const QString& path, lxw_error error, int systemError)
{
    const QString cause = systemError != 0 ? files::causeText(files::causeOfSystemError(systemError), systemError)
                                           : QString::fromUtf8(lxw_strerror(error));
    return files::UserError(QStringLiteral("Не удалось записать книгу %1: %2.").arg(path, cause));
}

// The digits of `text` from `at`, `count` of them, as a number; nothing when one is no digit.
std::optional<int> digitsAt(std::string_view text, std::size_t at, std::size_t count)
{
    constexpr int kRadix = 10;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * kRadix + (text[i] - '0');
    }
    return value;
}

// The stored "ДД.ММ.ГГГГ" or "ЧЧ:ММ:СС" as the date or time of day a spreadsheet sorts by; nothing for
// a text that is no calendar date or no time (a row edited by hand), which then goes out as text.
// Read by position: a general date parser would cost more than the library's writing of the cell.
std::optional<lxw_datetime> calendarValue(ExportCalendar calendar, const QByteArray& stored)
{
    // Where the parts of "dd.mm.yyyy" and "hh:mm:ss" lie.
    constexpr std::string_view kDateShape = "dd.mm.yyyy";
    constexpr std::string_view kTimeShape = "hh:mm:ss";
    constexpr std::size_t kPart = 2; // digits of a day, a month, an hour, a minute, a second
    constexpr std::size_t kYear = 4;
    constexpr std::size_t kFirstSeparator = kPart;
    constexpr std::size_t kSecondPart = kFirstSeparator + 1;
    constexpr std::size_t kSecondSeparator = kSecondPart + kPart;
    constexpr std::size_t kThirdPart = kSecondSeparator + 1;
    constexpr int kHoursPerDay = 24;
    constexpr int kMinutesPerHour = 60;
    constexpr int kSecondsPerMinute = 60;
    const QByteArray trimmed = stored.trimmed();
    const std::string_view text(trimmed.constData(), static_cast<std::size_t>(trimmed.size()));
    if (calendar == ExportCalendar::Date) {
        if (text.size() != kDateShape.size() || text[kFirstSeparator] != '.' || text[kSecondSeparator] != '.')
            return std::nullopt;
        const auto day = digitsAt(text, 0, kPart);
        const auto month = digitsAt(text, kSecondPart, kPart);
        const auto year = digitsAt(text, kThirdPart, kYear);
        if (!day || !month || !year || !QDate::isValid(*year, *month, *day))
            return std::nullopt;
        // A date alone: midnight of that day.
        return lxw_datetime{*year, *month, *day, 0, 0, 0};
    }
    if (text.size() != kTimeShape.size() || text[kFirstSeparator] != ':' || text[kSecondSeparator] != ':')
        return std::nullopt;
    const auto hour = digitsAt(text, 0, kPart);
    const auto minute = digitsAt(text, kSecondPart, kPart);
    const auto second = digitsAt(text, kThirdPart, kPart);
    if (!hour || !minute || !second || *hour >= kHoursPerDay || *minute >= kMinutesPerHour ||
        *second >= kSecondsPerMinute)
        return std::nullopt;
    // A time alone: libxlsxwriter writes the fraction of a day when the date is all zeros.
    return lxw_datetime{0, 0, 0, *hour, *minute, static_cast<double>(*second)};
}

// Each column as wide as the longest of its header and its texts (numbers take the room of their
// digits), gathered as the rows are written: the library takes the widths at any time before it closes.
class ColumnWidths
{
public:
    void takeText(std::size_t column, qsizetype characters)
    {
        m_widest[column] = std::max(m_widest[column], characters);
    }
    void takeNumber(std::size_t column, double value)
    {
        const double magnitude = std::abs(value);
        const auto digits = static_cast<qsizetype>(magnitude < 1 ? 1 : std::floor(std::log10(magnitude)) + 1);
        m_widest[column] = std::max(m_widest[column], digits + kNumberMargin);
    }
    double width(std::size_t column) const
    {
        const ExportColumn& c = exportColumns()[column];
        return static_cast<double>(std::min(kWidestColumn, std::max(headerColumnWidth(c), m_widest[column] + 1)));
    }

private:
    std::array<qsizetype, kColumnCount> m_widest{};
};

} // namespace

void exportToXlsx(const table::RecordView& page, const QString& path)
{
    const int rows = page.size();
    if (rows > kMaxXlsxRows) {
        throw files::UserError(QStringLiteral("На листе Excel 2007+ помещается не более %1 строк данных, а на "
                                              "странице их %2. Файл не записан.")
                                   .arg(kMaxXlsxRows)
                                   .arg(rows));
    }
    const auto columns = exportColumns();

    std::optional<files::AtomicFile> file;
    try {
        file.emplace(path);
    } catch (const files::FileError& e) {
        throw files::UserError(QStringLiteral("Не удалось записать книгу %1: %2.").arg(path, e.reason()));
    }
    const QByteArray temporary = QFile::encodeName(file->temporaryPath());
    const QByteArray folder = QFile::encodeName(QFileInfo(file->temporaryPath()).absolutePath());
    // Rows go to disk as they are written, beside the target rather than in a /tmp that may be memory.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(folder.constData());
    // The library's own English lines on a failure would reach the user before the Russian sentence.
    const MutedStandardError muted;
    WorkbookHandle book(workbook_new_opt(temporary.constData(), &options));
    if (!book)
        throw writeFailure(path, LXW_ERROR_MEMORY_MALLOC_FAILED, errno);
    lxw_worksheet* sheet = workbook_add_worksheet(book.get(), kSheetName.constData());
    std::array<lxw_format*, kColumnCount> formats{};
    for (std::size_t c = 0; c < kColumnCount; ++c) {
        if (columns[c].numberFormat) {
            formats[c] = workbook_add_format(book.get());
            format_set_num_format(formats[c], columns[c].numberFormat);
        }
    }
    lxw_format* header = workbook_add_format(book.get());
    format_set_bold(header);
    for (std::size_t c = 0; c < kColumnCount; ++c)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c),
                               QString::fromUtf16(columns[c].header).toUtf8().constData(), header);
    worksheet_freeze_panes(sheet, 1, 0);
    worksheet_autofilter(sheet, 0, 0, static_cast<lxw_row_t>(std::max(rows, 1)), kColumnCount - 1);

    ColumnWidths widths;
    QByteArray text;
    for (int row = 0; row < rows; ++row) {
        const auto at = static_cast<lxw_row_t>(row + 1);
        for (std::size_t c = 0; c < kColumnCount; ++c) {
            const ExportColumn& column = columns[c];
            const auto col = static_cast<lxw_col_t>(c);
            if (column.cell == ExportCell::Text) {
                const QByteArray stored = page.text(row, column.field);
                widths.takeText(c, stored.size());
                const auto when =
                    column.calendar != ExportCalendar::None ? calendarValue(column.calendar, stored) : std::nullopt;
                if (when) {
                    lxw_datetime value = *when;
                    worksheet_write_datetime(sheet, at, col, &value, formats[c]);
                } else if (!stored.isEmpty()) {
                    table::cp1251::toUtf8(stored, text);
                    worksheet_write_string(sheet, at, col, text.constData(), nullptr);
                }
            } else if (const auto number = page.number(row, column.field)) {
                // A measurement not taken stays an empty cell, out of every sum and mean.
                widths.takeNumber(c, *number);
                worksheet_write_number(sheet, at, col, *number, formats[c]);
            }
        }
    }
    for (std::size_t c = 0; c < kColumnCount; ++c)
        worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), widths.width(c), formats[c]);
    errno = 0;
    const lxw_error closed = workbook_close(book.release());
    if (closed != LXW_NO_ERROR)
        throw writeFailure(path, closed, errno);
    try {
        // The library wrote through its own handle; the data reach the disk through the file's.
        file->commit();
    } catch (const files::FileError& e) {
        throw files::UserError(QStringLiteral("Не удалось записать книгу %1: %2.").arg(path, e.reason()));
    }
}

} // namespace darni::output

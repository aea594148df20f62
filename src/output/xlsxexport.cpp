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
#include <QTime>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <optional>

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

// The stored "ДД.ММ.ГГГГ" or "ЧЧ:ММ:СС" as the date or time of day a spreadsheet sorts by; nothing for
// a text that is no calendar date or no time (a row edited by hand), which then goes out as text.
std::optional<lxw_datetime> calendarValue(ExportCalendar calendar, const QByteArray& stored)
{
    const QString text = QString::fromLatin1(stored.trimmed());
    if (calendar == ExportCalendar::Date) {
        const QDate date = QDate::fromString(text, QStringLiteral("dd.MM.yyyy"));
        if (!date.isValid())
            return std::nullopt;
        // A date alone: midnight of that day.
        return lxw_datetime{date.year(), date.month(), date.day(), 0, 0, 0};
    }
    const QTime time = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
    if (!time.isValid())
        return std::nullopt;
    // A time alone: libxlsxwriter writes the fraction of a day when the date is all zeros.
    return lxw_datetime{0, 0, 0, time.hour(), time.minute(), static_cast<double>(time.second())};
}

// Each column as wide as the longest of its header and its texts (numbers take the room of their digits).
std::array<double, kColumnCount> columnWidths(const table::RecordView& page)
{
    const auto columns = exportColumns();
    std::array<qsizetype, kColumnCount> widest{};
    for (int row = 0; row < page.size(); ++row) {
        for (std::size_t c = 0; c < kColumnCount; ++c) {
            const ExportColumn& column = columns[c];
            if (column.cell == ExportCell::Text) {
                widest[c] = std::max(widest[c], static_cast<qsizetype>(page.text(row, column.field).size()));
            } else if (!page.isNull(row, column.field)) {
                const double magnitude = std::abs(page.real(row, column.field));
                const auto digits = static_cast<qsizetype>(magnitude < 1 ? 1 : std::floor(std::log10(magnitude)) + 1);
                widest[c] = std::max(widest[c], digits + kNumberMargin);
            }
        }
    }
    std::array<double, kColumnCount> widths{};
    for (std::size_t c = 0; c < kColumnCount; ++c)
        widths[c] = static_cast<double>(std::min(kWidestColumn, std::max(headerColumnWidth(columns[c]), widest[c] + 1)));
    return widths;
}

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
    const std::array<double, kColumnCount> widths = columnWidths(page);

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
        worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), widths[c], formats[c]);
    }
    lxw_format* header = workbook_add_format(book.get());
    format_set_bold(header);
    for (std::size_t c = 0; c < kColumnCount; ++c)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), QString::fromUtf16(columns[c].header).toUtf8().constData(), header);
    worksheet_freeze_panes(sheet, 1, 0);
    worksheet_autofilter(sheet, 0, 0, static_cast<lxw_row_t>(std::max(rows, 1)), kColumnCount - 1);

    QByteArray text;
    for (int row = 0; row < rows; ++row) {
        const auto at = static_cast<lxw_row_t>(row + 1);
        for (std::size_t c = 0; c < kColumnCount; ++c) {
            const ExportColumn& column = columns[c];
            const auto col = static_cast<lxw_col_t>(c);
            if (column.calendar != ExportCalendar::None) {
                const QByteArray stored = page.text(row, column.field);
                if (const auto when = calendarValue(column.calendar, stored)) {
                    lxw_datetime value = *when;
                    worksheet_write_datetime(sheet, at, col, &value, formats[c]);
                } else if (!stored.isEmpty()) {
                    worksheet_write_string(sheet, at, col, table::cp1251::toUnicode(stored).toUtf8().constData(),
                                           nullptr);
                }
            } else if (column.cell == ExportCell::Text) {
                text = table::cp1251::toUnicode(page.text(row, column.field)).toUtf8();
                if (!text.isEmpty())
                    worksheet_write_string(sheet, at, col, text.constData(), nullptr);
            } else if (!page.isNull(row, column.field)) {
                // A measurement not taken stays an empty cell, out of every sum and mean.
                worksheet_write_number(sheet, at, col, page.real(row, column.field), formats[c]);
            }
        }
    }
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

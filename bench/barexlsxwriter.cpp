// The floor of an .xlsx export.
#include "barexlsxwriter.h"

#include "output/excelexport.h"
#include "table/cp1251.h"

#include <QDate>
#include <QTime>

#include <xlsxwriter.h>

#include <fcntl.h>
#include <unistd.h>

namespace darni::bench {

namespace {

constexpr double kSecondsPerDay = 86400.0;
const QDate kSpreadsheetEpoch(1899, 12, 30);

} // namespace

BareXlsxCells::BareXlsxCells(const table::RecordView& page)
{
    const auto columns = output::exportColumns();
    for (const output::ExportColumn& c : columns)
        m_cells.push_back({Cell::Kind::Text, 0, QString::fromUtf16(c.header).toStdString()});
    for (int row = 0; row < page.size(); ++row) {
        for (const output::ExportColumn& c : columns) {
            Cell cell;
            if (c.cell != output::ExportCell::Text) {
                if (const auto number = page.number(row, c.field))
                    cell = {Cell::Kind::Number, *number, {}};
            } else {
                const QByteArray stored = page.text(row, c.field);
                const QString text = QString::fromLatin1(stored.trimmed());
                const QDate date = QDate::fromString(text, QStringLiteral("dd.MM.yyyy"));
                const QTime time = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
                if (c.calendar == output::ExportCalendar::Date && date.isValid())
                    cell = {Cell::Kind::Date, static_cast<double>(kSpreadsheetEpoch.daysTo(date)), {}};
                else if (c.calendar == output::ExportCalendar::Time && time.isValid())
                    cell = {Cell::Kind::Time, time.msecsSinceStartOfDay() / 1000.0 / kSecondsPerDay, {}};
                else if (!stored.isEmpty())
                    cell = {Cell::Kind::Text, 0, table::cp1251::toUnicode(stored).toStdString()};
            }
            m_cells.push_back(std::move(cell));
        }
    }
}

bool BareXlsxCells::write(const std::string& path) const
{
    const auto columns = output::exportColumns();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    if (!book)
        return false;
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    std::vector<lxw_format*> formats;
    for (const output::ExportColumn& c : columns) {
        lxw_format* f = nullptr;
        if (c.numberFormat) {
            f = workbook_add_format(book);
            format_set_num_format(f, c.numberFormat);
        }
        formats.push_back(f);
    }
    const std::size_t width = columns.size();
    for (std::size_t i = 0; i < m_cells.size(); ++i) {
        const Cell& cell = m_cells[i];
        const auto row = static_cast<lxw_row_t>(i / width);
        const auto col = static_cast<lxw_col_t>(i % width);
        switch (cell.kind) {
        case Cell::Kind::Empty:
            break;
        case Cell::Kind::Number:
        case Cell::Kind::Date:
        case Cell::Kind::Time:
            // A date or time is the number of days a spreadsheet keeps, in its column's format.
            worksheet_write_number(sheet, row, col, cell.number, formats[col]);
            break;
        case Cell::Kind::Text:
            worksheet_write_string(sheet, row, col, cell.text.c_str(), nullptr);
            break;
        }
    }
    if (workbook_close(book) != LXW_NO_ERROR)
        return false;
    const int fd = ::open(path.c_str(), O_WRONLY);
    ::fsync(fd);
    ::close(fd);
    return true;
}

} // namespace darni::bench

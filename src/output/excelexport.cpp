// The Excel export of a table page.
#include "excelexport.h"

#include "table/cp1251.h"
#include "table/recordview.h"
#include "xls/xlserror.h"
#include "xls/xlswriter.h"

#include <QFileInfo>

#include <algorithm>

#include <array>

namespace darni::output {

namespace {

using table::Field;

// The grid's number formats: one decimal, or whole numbers.
constexpr const char* kOneDecimal = "0.0";
constexpr const char* kWhole = "0";

constexpr std::array<ExportColumn, 16> kColumns{{
    {u"N", Field::N, ExportCell::Real, nullptr},
    {u"Дата", Field::DATE, ExportCell::Text, "dd.mm.yyyy", ExportCalendar::Date},
    {u"Время", Field::TIME, ExportCell::Text, "hh:mm:ss", ExportCalendar::Time},
    {u"Вид зависимости", Field::P5, ExportCell::Text, nullptr},
    {u"Вид прозвучивания", Field::ZAV, ExportCell::Text, nullptr},
    {u"Тип изделия", Field::P3, ExportCell::Text, nullptr},
    {u"Материал", Field::D2, ExportCell::Text, nullptr},
    {u"Кс", Field::P4, ExportCell::Real, kOneDecimal},
    {u"Скорость УЗК, м./с.", Field::D9, ExportCell::Integer, kWhole},
    {u"Время прохождения УЗК, Т, мкс.", Field::P, ExportCell::Real, kOneDecimal},
    {u"База прозвучивания, L, мм.", Field::R, ExportCell::Real, nullptr},
    {u"Вне трещены, Т0, мкс.", Field::T, ExportCell::Real, kOneDecimal},
    {u"По трещине, Т1, мкс.", Field::P10, ExportCell::Real, kOneDecimal},
    {u"Глубина трещены, h, мм.", Field::P9, ExportCell::Real, kOneDecimal},
    {u"Прочность R, МПа", Field::P2, ExportCell::Real, kOneDecimal},
    {u"Примечание", Field::COMMENT, ExportCell::Text, nullptr},
}};

const QString kSheetName = QStringLiteral("ORNAK-ТР5");
// Column widths in characters: the sheet's default, and the room beside a header's text.
constexpr qsizetype kNarrowestColumn = 10;
constexpr qsizetype kColumnMargin = 2;

xls::XlsValue cellValue(const table::RecordView& rows, int row, const ExportColumn& c)
{
    // A measurement not taken is an empty cell: a 0 would count in every sum and mean over the column.
    if (c.cell != ExportCell::Text && rows.isNull(row, c.field))
        return QString();
    switch (c.cell) {
    case ExportCell::Real:
        return rows.real(row, c.field);
    case ExportCell::Integer:
        return rows.integer(row, c.field);
    case ExportCell::Text:
        break;
    }
    return table::cp1251::toUnicode(rows.text(row, c.field));
}

} // namespace

qsizetype headerColumnWidth(const ExportColumn& column)
{
    return std::max(kNarrowestColumn, QStringView(column.header).size() + kColumnMargin);
}

std::span<const ExportColumn> exportColumns()
{
    return kColumns;
}

QString exportCaption()
{
    return QStringLiteral("Экспорт в Excel");
}

QString exportSuccessMessage(const QString& path)
{
    return QStringLiteral("Экспорт в файл ") + QFileInfo(path).fileName() + QStringLiteral(" завершен успешно.");
}

xls::XlsWorkbook exportWorkbook(const table::RecordView& page)
{
    const int rows = page.size();
    if (rows > kMaxExportRows) {
        throw xls::XlsError(QStringLiteral("На листе Excel 97-2003 помещается не более %1 строк данных, а на "
                                           "странице их %2. Файл не записан. Страницу целиком записывает "
                                           "команда \"Сервис → Экспорт в Excel 2007+ (.xlsx)\".")
                                .arg(kMaxExportRows)
                                .arg(rows));
    }
    xls::XlsWorkbook book;
    xls::XlsWorksheet& sheet = book.addSheet();
    sheet.setName(kSheetName);
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        const QString header = QString::fromUtf16(kColumns[c].header);
        sheet.cell(static_cast<int>(c), 0).setValue(header);
        sheet.setColumnWidth(static_cast<int>(c), static_cast<double>(headerColumnWidth(kColumns[c])));
    }
    // Row 0 of the sheet holds the titles.
    for (int row = 0; row < rows; ++row) {
        for (std::size_t c = 0; c < kColumns.size(); ++c)
            sheet.cell(static_cast<int>(c), row + 1).setValue(cellValue(page, row, kColumns[c]));
    }
    return book;
}

void exportToExcel(const table::RecordView& page, const QString& path)
{
    const xls::XlsWorkbook book = exportWorkbook(page);
    xls::XlsWriter().saveAsXls(book, path);
}

} // namespace darni::output

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

constexpr std::array<ExportColumn, 16> kColumns{{
    {u"N", Field::N, ExportCell::Real},
    {u"Дата", Field::DATE, ExportCell::Text},
    {u"Время", Field::TIME, ExportCell::Text},
    {u"Вид зависимости", Field::P5, ExportCell::Text},
    {u"Вид прозвучивания", Field::ZAV, ExportCell::Text},
    {u"Тип изделия", Field::P3, ExportCell::Text},
    {u"Материал", Field::D2, ExportCell::Text},
    {u"Кс", Field::P4, ExportCell::Real},
    {u"Скорость УЗК, м./с.", Field::D9, ExportCell::Integer},
    {u"Время прохождения УЗК, Т, мкс.", Field::P, ExportCell::Real},
    {u"База прозвучивания, L, мм.", Field::R, ExportCell::Real},
    {u"Вне трещены, Т0, мкс.", Field::T, ExportCell::Real},
    {u"По трещине, Т1, мкс.", Field::P10, ExportCell::Real},
    {u"Глубина трещены, h, мм.", Field::P9, ExportCell::Real},
    {u"Прочность R, МПа", Field::P2, ExportCell::Real},
    {u"Примечание", Field::COMMENT, ExportCell::Text},
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
                                           "странице их %2. Файл не записан.")
                                .arg(kMaxExportRows)
                                .arg(rows));
    }
    xls::XlsWorkbook book;
    xls::XlsWorksheet& sheet = book.addSheet();
    sheet.setName(kSheetName);
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        const QString header = QString::fromUtf16(kColumns[c].header);
        sheet.cell(static_cast<int>(c), 0).setValue(header);
        // Wide enough for the header text, and never narrower than the sheet's own default.
        sheet.setColumnWidth(static_cast<int>(c), std::max(kNarrowestColumn, header.size() + kColumnMargin));
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

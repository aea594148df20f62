// The Excel export of a table page.
#include "excelexport.h"

#include "table/cp1251.h"
#include "table/fieldcodec.h"
#include "table/recordview.h"
#include "xls/xlserror.h"
#include "xls/xlswriter.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

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

const QString kWorkbookTitle = QStringLiteral("PReport");
constexpr int kTitleRow = 0;
constexpr int kLastColumn = static_cast<int>(kColumns.size()) - 1;

// A measurement not taken is an empty cell: a 0 would count in every sum and mean over the column.
// The number is put in place rather than returned: an optional double copied whole right after it was
// written stalls the processor, and there is one for nearly every cell.
void putCellNumber(const table::RecordView& rows, int row, const ExportColumn& c, std::optional<double>& cell)
{
    const auto number = rows.number(row, c.field);
    if (!number)
        return;
    // As the table reads an integer field, from the number already read.
    cell.emplace(c.cell == ExportCell::Integer ? table::fieldcodec::wholeNumber(*number) : *number);
}

// A text as a cell keeps it: line breaks as a spreadsheet writes them. Into `text`, whose memory
// serves cell after cell.
void cellText(const table::RecordView& rows, int row, const ExportColumn& c, QString& text)
{
    const std::string_view stored = rows.textView(row, c.field);
    table::cp1251::toUnicode(QByteArrayView(stored.data(), static_cast<qsizetype>(stored.size())), text);
    if (stored.find('\r') != std::string_view::npos)
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
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

ExportSheet::ExportSheet(table::RecordView page) : m_page(std::move(page))
{
    if (m_page.size() > kMaxExportRows) {
        throw xls::XlsError(QStringLiteral("На листе Excel 97-2003 помещается не более %1 строк данных, а на "
                                           "странице их %2. Файл не записан. Страницу целиком записывает "
                                           "команда \"Сервис → Экспорт в Excel 2007+ (.xlsx)\".")
                                .arg(kMaxExportRows)
                                .arg(m_page.size()));
    }
    for (std::size_t c = 0; c < kColumns.size(); ++c)
        m_widths[static_cast<int>(c)] = static_cast<double>(headerColumnWidth(kColumns[c]));
    m_cells.resize(kColumns.size());
    m_texts.resize(kColumns.size());
}

QString ExportSheet::name() const
{
    return kSheetName;
}

xls::XlsBounds ExportSheet::usedArea() const
{
    // The header row is always there; the page's rows follow it.
    return {0, kTitleRow, kLastColumn, kTitleRow + m_page.size()};
}

std::pair<int, int> ExportSheet::columnSpan(int) const
{
    return {0, kLastColumn + 1};
}

std::span<const xls::XlsSheetCell> ExportSheet::rowCells(int row, xls::XlsValueUse use) const
{
    // Rows are visited in order, and their fields lie all over each record: the records a few rows on
    // are asked for while this one is read.
    constexpr int kRowsAhead = 4;
    const bool readsValues = use != xls::XlsValueUse::StyleOnly;
    const bool wholeTexts = use == xls::XlsValueUse::Whole || use == xls::XlsValueUse::Texts;
    if (readsValues && row != kTitleRow)
        m_page.prefetchRow(row - 1 + kRowsAhead);
    for (int c = 0; c <= kLastColumn; ++c) {
        const ExportColumn& column = kColumns[static_cast<std::size_t>(c)];
        // Field by field: a whole cell copied through a temporary stalls on its optional number.
        xls::XlsSheetCell& cell = m_cells[static_cast<std::size_t>(c)];
        cell.bounds = {c, row, c, row};
        cell.text = nullptr;
        cell.number.reset();
        cell.style = &m_style;
        cell.hasText = false;
        QString& text = m_texts[static_cast<std::size_t>(c)];
        if (!text.isEmpty())
            text.resize(0);
        if (!readsValues) {
            // Every cell has the same style: the page need not be read.
        } else if (row == kTitleRow) {
            text = QString::fromUtf16(column.header);
        } else if (column.cell != ExportCell::Text) {
            if (use != xls::XlsValueUse::Texts)
                putCellNumber(m_page, row - 1, column, cell.number);
        } else if (wholeTexts) {
            cellText(m_page, row - 1, column, text);
        }
        if (!cell.number && (wholeTexts || !text.isEmpty())) {
            cell.text = &text;
            cell.hasText = !text.isEmpty();
        }
    }
    return m_cells;
}

QString exportWorkbookTitle()
{
    return kWorkbookTitle;
}

void exportToExcel(const table::RecordView& page, const QString& path)
{
    const ExportSheet sheet(page);
    const xls::XlsSheetSource* const sheets[] = {&sheet};
    xls::XlsWriter().saveAsXls(kWorkbookTitle, sheets, path);
}

} // namespace darni::output

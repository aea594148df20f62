// A workbook: its title and its worksheets.
#include "xlsworkbook.h"

namespace darni::output::xls {

void XlsWorkbook::setTitle(const QString& title)
{
    m_title = title.left(kMaxTitleLength).trimmed();
}

XlsWorksheet& XlsWorkbook::addSheet()
{
    m_sheets.push_back(std::make_unique<XlsWorksheet>(QStringLiteral("Sheet%1").arg(m_sheets.size() + 1)));
    return *m_sheets.back();
}

} // namespace darni::output::xls

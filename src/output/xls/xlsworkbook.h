// A workbook: its title and its worksheets, in order.
#pragma once

#include "xlsworksheet.h"

#include <memory>
#include <vector>

namespace darni::output::xls {

class XlsWorkbook
{
public:
    static constexpr int kMaxTitleLength = 66;

    QString title() const { return m_title; }
    // Cut to 66 characters, then trimmed.
    void setTitle(const QString& title);

    // Appends a sheet named "Sheet" and its number.
    XlsWorksheet& addSheet();
    int sheetCount() const { return static_cast<int>(m_sheets.size()); }
    XlsWorksheet& sheet(int i) { return *m_sheets.at(static_cast<std::size_t>(i)); }
    const XlsWorksheet& sheet(int i) const { return *m_sheets.at(static_cast<std::size_t>(i)); }

private:
    QString m_title = QStringLiteral("PReport");
    std::vector<std::unique_ptr<XlsWorksheet>> m_sheets;
};

} // namespace darni::output::xls

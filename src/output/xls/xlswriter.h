// Writes a workbook model as an Excel 97-2003 file: the BIFF8 "Workbook" stream (workbook globals,
// then one sheet substream per worksheet) inside a compound file. One writer serves one save.
#pragma once

#include "xlsworkbook.h"

#include <span>

#include <QString>

namespace darni::output::xls {

class XlsWriter
{
public:
    // Writes the file whole or not at all; an existing file of that name is replaced. Throws XlsError:
    // "StgCreateDocFile error %d" or "CreateStream error %d" (%d a signed 32-bit platform code) when the
    // file or its stream cannot be made, or a text naming the file when writing fails.
    void saveAsXls(const XlsWorkbook& workbook, const QString& path);
    // The same for sheets read as they are written, under the workbook title `title` (cut to 66
    // characters and trimmed, as XlsWorkbook keeps it).
    void saveAsXls(const QString& title, std::span<const XlsSheetSource* const> sheets, const QString& path);
};

} // namespace darni::output::xls

// The page as a CSV file for a Russian spreadsheet program: the sixteen columns and headers of the
// Excel export, ";" between values, numbers with a decimal comma, dates as the grid shows them, blanks
// empty, UTF-8 with a byte order mark, so that a double click opens it in columns with numbers as
// numbers (Russian Excel and LibreOffice both take ";" and "," so).
#pragma once

#include <QByteArray>
#include <QString>

namespace darni::table {
class RecordView;
}

namespace darni::output {

// The whole file's bytes, byte order mark first.
QByteArray pageCsv(const table::RecordView& page);
// pageCsv() written to the file, which is replaced whole or not at all. Throws files::FileError.
void exportToCsv(const table::RecordView& page, const QString& path);

} // namespace darni::output

// The rows of a table's page as UTF-8 CSV: the 37 field names, then one line per row in the table's
// order; text as the user reads it, numbers in the table's own text with ".", blanks empty.
#pragma once

#include <QTextStream>

namespace darni::table {
class RecordView;
}

namespace darni::cli {

void writePageCsv(const table::RecordView& rows, QTextStream& out);

} // namespace darni::cli

// The names of the files that belong to a table: its sort index file and the temporary table of a pack.
#pragma once

#include <QString>

namespace darni::table {

// The table's path with its extension replaced by ".mdx".
QString indexFilePath(const QString& tablePath);

// The table's name without extension, "_", the first k of 1, 2, 3 … for which no file exists, and the
// table's extension.
QString temporaryTablePath(const QString& tablePath);

} // namespace darni::table

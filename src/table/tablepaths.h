// The names of the files that belong to a table: its sort index file.
#pragma once

#include <QString>

namespace darni::table {

// The table's path with its extension replaced by ".mdx".
QString indexFilePath(const QString& tablePath);

} // namespace darni::table

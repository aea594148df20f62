// The names of the files that belong to a table.
#include "tablepaths.h"

#include <QDir>
#include <QFileInfo>

namespace darni::table {

namespace {
const QString kIndexSuffix = QStringLiteral(".mdx");
} // namespace

QString indexFilePath(const QString& tablePath)
{
    const QFileInfo info(tablePath);
    return info.dir().filePath(info.completeBaseName() + kIndexSuffix);
}

} // namespace darni::table

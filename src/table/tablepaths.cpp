// The names of the files that belong to a table.
#include "tablepaths.h"

#include <QDir>
#include <QFileInfo>

namespace darni::table {

namespace {
const QString kIndexSuffix = QStringLiteral(".mdx");
constexpr QChar kTemporarySeparator = u'_';
constexpr QChar kSuffixSeparator = u'.';
} // namespace

QString indexFilePath(const QString& tablePath)
{
    const QFileInfo info(tablePath);
    return info.dir().filePath(info.completeBaseName() + kIndexSuffix);
}

QString temporaryTablePath(const QString& tablePath)
{
    const QFileInfo info(tablePath);
    const QString suffix = info.suffix().isEmpty() ? QString() : kSuffixSeparator + info.suffix();
    for (int k = 1;; ++k) {
        const QString candidate =
            info.dir().filePath(info.completeBaseName() + kTemporarySeparator + QString::number(k) + suffix);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

} // namespace darni::table

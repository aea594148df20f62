// The table as it was before the last command that changed it.
#include "undocopy.h"

#include "files/atomicfile.h"
#include "files/fileerror.h"
#include "table/tablepaths.h"

#include <QFile>

#include <filesystem>
#include <vector>

namespace darni::workspace::undo {

namespace {
const QString kCopySuffix = QStringLiteral(".undo");
constexpr qint64 kCopyChunk = 1 << 20;

files::UserError notTaken(const files::UserError& cause)
{
    return files::UserError(QStringLiteral("Копия таблицы для отмены не сделана, команда не выполнена: ") +
                            cause.message());
}
} // namespace

QString copyPathFor(const QString& tablePath)
{
    return tablePath + kCopySuffix;
}

bool hasCopy(const QString& tablePath)
{
    return QFile::exists(copyPathFor(tablePath));
}

namespace {
// A second name for the table's file, put in the copy's place; false where the file system has no
// hard links (FAT and exFAT media) or refuses one. Windows keeps to the copy: a file there cannot be
// renamed over while another name of it is open.
bool linkInPlaceOfCopy(const QString& tablePath, const QString& copyPath)
{
#ifdef Q_OS_WIN
    Q_UNUSED(tablePath);
    Q_UNUSED(copyPath);
    return false;
#else
    QString name;
    {
        // A fresh name of the temporaries' pattern, so that a crash before the rename leaves nothing a
        // later opening would not clear.
        files::Temporary fresh = files::createTemporaryBeside(copyPath);
        name = fresh.path;
        fresh.file->close();
        QFile::remove(name);
    }
    std::error_code error;
    std::filesystem::create_hard_link(std::filesystem::path(tablePath.toStdU16String()),
                                      std::filesystem::path(name.toStdU16String()), error);
    if (error)
        return false;
    try {
        files::replaceFile(name, copyPath);
    } catch (...) {
        QFile::remove(name);
        throw;
    }
    return true;
#endif
}
} // namespace

void takeCopy(const QString& tablePath, Change change)
{
    const QString copyPath = copyPathFor(tablePath);
    try {
        files::removeAbandonedTemporaries(copyPath);
        if (change == Change::Replacement && linkInPlaceOfCopy(tablePath, copyPath))
            return;
        QFile source(tablePath);
        if (!source.open(QIODevice::ReadOnly))
            throw files::FileError::fromSystem(QStringLiteral("Не удалось прочитать таблицу"), tablePath, errno);
        files::AtomicFile copy(copyPath);
        std::vector<char> chunk(static_cast<std::size_t>(kCopyChunk));
        for (;;) {
            const qint64 n = source.read(chunk.data(), kCopyChunk);
            if (n < 0)
                throw files::FileError::fromSystem(QStringLiteral("Не удалось прочитать таблицу"), tablePath, errno);
            if (n == 0)
                break;
            copy.write(chunk.data(), n);
        }
        copy.commit();
    } catch (const files::UserError& e) {
        throw notTaken(e);
    }
}

void restoreCopy(const QString& tablePath)
{
    const QString copyPath = copyPathFor(tablePath);
    if (!QFile::exists(copyPath))
        throw files::UserError(nothingToUndoMessage());
    files::replaceFile(copyPath, tablePath);
    QFile::remove(table::indexFilePath(tablePath));
}

void discardCopy(const QString& tablePath)
{
    QFile::remove(copyPathFor(tablePath));
}

QString nothingToUndoMessage()
{
    return QStringLiteral("Нечего отменять: копии таблицы до последней команды нет.");
}

} // namespace darni::workspace::undo

// A file moved out of the way, put back unless dropped.
#include "setasidefile.h"

#include "atomicfile.h"
#include "fileerror.h"
#include "fileslog.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>
#include <utility>

namespace darni::files {

namespace {
bool renamed(const QString& from, const QString& to)
{
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()), std::filesystem::path(to.toStdU16String()),
                            error);
    if (error)
        errno = error.value();
    return !error;
}
} // namespace

SetAsideFile::~SetAsideFile()
{
    m_held.reset();
    if (m_aside.isEmpty())
        return;
    if (!renamed(m_aside, m_path))
        qCWarning(lcFiles) << "could not put back" << m_path << "from" << m_aside;
}

void SetAsideFile::setAside(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    QString aside;
    {
        // A fresh name of the temporaries' pattern, freed again for the rename.
        Temporary fresh = createTemporaryBeside(path);
        aside = fresh.path;
        fresh.file->close();
    }
    // The lock goes with the file under its new name: no clearing of abandoned temporaries takes it.
    auto held = holdTemporary(path);
    if (!renamed(path, aside)) {
        const int systemError = errno;
        QFile::remove(aside);
        throw FileError::fromSystem(QStringLiteral("Не удалось убрать файл"), path, systemError);
    }
    m_path = path;
    m_aside = aside;
    m_held = std::move(held);
}

void SetAsideFile::drop()
{
    m_held.reset();
    if (m_aside.isEmpty())
        return;
    QFile::remove(m_aside);
    m_aside.clear();
}

} // namespace darni::files

// All-or-nothing file replacement, temporary files and the writer's lock.
#include "atomicfile.h"

#include "fileerror.h"
#include "fileslog.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStorageInfo>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace darni::files {

namespace {

const QString kTemporaryInfix = QStringLiteral(".darni-");
const QString kTemporarySuffix = QStringLiteral(".tmp");
constexpr int kTemporaryRandomLength = 6;
constexpr int kCreateAttempts = 32;
// A name whose file was replaced between our opening and our lock is opened again this many times.
constexpr int kLockAttempts = 8;
const char kRandomAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// The cause of a failure that left no error number: a full disk is the common one.
int errorOr(int systemError, const QString& path)
{
    if (systemError != 0)
        return systemError;
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    return storage.isValid() && storage.bytesAvailable() == 0 ? ENOSPC : EIO;
}

#ifndef Q_OS_WIN
// True when `fd` still is the file that `path` names: the lock was taken on the file the name shows.
bool stillNamed(int fd, const QString& path)
{
    struct stat opened
    {
    };
    struct stat named
    {
    };
    if (::fstat(fd, &opened) != 0 || ::stat(QFile::encodeName(path).constData(), &named) != 0)
        return false;
    return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool tryLock(int fd)
{
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}
#endif

// The permission bits, not only the system's answer: a read-only table stays read-only for an
// administrator too, whom the system would let write.
bool hasWritePermission(const QString& path)
{
    constexpr auto kAnyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return (QFile::permissions(path) & kAnyWrite) != 0;
}

std::unique_ptr<CheckedFile> openWritable(const QString& path)
{
    if (!hasWritePermission(path))
        throw FileError::fromSystem(QStringLiteral("Файл не открывается для записи:"), path, EROFS);
    auto file = std::make_unique<CheckedFile>(path);
    errno = 0;
    if (!file->open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        throw FileError::fromSystem(QStringLiteral("Файл не открывается для записи:"), path, errorOr(errno, path));
    return file;
}

QString randomPart()
{
    QString part;
    for (int i = 0; i < kTemporaryRandomLength; ++i)
        part += QLatin1Char(
            kRandomAlphabet[QRandomGenerator::global()->bounded(static_cast<int>(sizeof(kRandomAlphabet) - 1))]);
    return part;
}

void syncFolderOf(const QString& path)
{
#ifndef Q_OS_WIN
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return; // some file systems do not let a folder be opened; the rename stands all the same
    ::fsync(fd);
    ::close(fd);
#else
    Q_UNUSED(path);
#endif
}

// Why a new file cannot be made in the folder of `target`, told apart by the system itself: a folder
// that is not there, a file system mounted read-only, a folder the user may not write into.
std::optional<FileError> folderRefusal(const QString& target)
{
    const QString folder = QFileInfo(target).absolutePath();
    const auto refusal = [&target](FileCause cause, const QString& reason) {
        return FileError(cause, QStringLiteral("Нельзя записать файл %1: %2.").arg(target, reason), reason);
    };
    if (!QFileInfo(folder).isDir())
        return refusal(FileCause::NotFound, QStringLiteral("папки %1 нет").arg(folder));
#ifndef Q_OS_WIN
    errno = 0;
    if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return std::nullopt;
    if (errno == EROFS) {
        return refusal(FileCause::ReadOnly,
                       QStringLiteral("папка %1 на диске, подключенном только для чтения").arg(folder));
    }
    if (errno == EACCES || errno == EPERM)
        return refusal(FileCause::NoPermission, QStringLiteral("нет прав на запись в папку %1").arg(folder));
#endif
    return std::nullopt;
}

} // namespace

QString resolvedPath(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    // A link to a file not yet there: the new file goes where the link points.
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

qint64 CheckedFile::writeData(const char* data, qint64 length)
{
    errno = 0;
    const qint64 written = QFile::writeData(data, length);
    if (written != length && m_writeError == 0)
        m_writeError = errno != 0 ? errno : EIO;
    return written;
}

std::unique_ptr<CheckedFile> openLocked(const QString& path)
{
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        const QFileInfo info(path);
        if (!info.exists())
            throw FileError::fromSystem(QStringLiteral("Файл не открывается:"), path, ENOENT);
        if (!info.isFile())
            throw FileError::notAFile(path);
#ifdef Q_OS_WIN
        // Windows keeps other writers out through the share mode of the opening itself.
        const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            const int code = error == ERROR_SHARING_VIOLATION ? EBUSY : error == ERROR_ACCESS_DENIED ? EACCES : EIO;
            throw FileError::fromSystem(QStringLiteral("Файл не открывается для записи:"), path, code);
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), 0);
        auto file = std::make_unique<CheckedFile>();
        if (fd < 0 || !file->open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
            throw FileError::fromSystem(QStringLiteral("Файл не открывается для записи:"), path, EIO);
        return file;
#else
        auto file = openWritable(path);
        if (!tryLock(file->handle()))
            throw FileError::fromSystem(QStringLiteral("Файл не открывается для записи:"), path, EWOULDBLOCK);
        if (stillNamed(file->handle(), path))
            return file;
        qCInfo(lcFiles) << "file replaced while being locked, opening again" << path;
#endif
    }
    throw FileError::fromSystem(QStringLiteral("Файл не открывается для записи:"), path, EBUSY);
}

void checkReplaceable(const QString& path)
{
    const QFileInfo info(resolvedPath(path));
    if (!info.exists()) {
        if (auto refusal = folderRefusal(info.filePath()))
            throw *refusal;
    } else {
        // Opening with the lock tells a read-only file, a missing permission and another writer apart.
        (void)openLocked(path);
    }
    // The new file is written beside the old one: what the folder refuses is better known now than
    // after a long transfer. The probe goes at once.
    Temporary probe = createTemporaryBeside(path);
    probe.file->close();
    QFile::remove(probe.path);
}

Temporary createTemporaryBeside(const QString& target)
{
    const QFileInfo info(resolvedPath(target));
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const QString path =
            info.absoluteDir().filePath(info.fileName() + kTemporaryInfix + randomPart() + kTemporarySuffix);
        auto file = std::make_unique<CheckedFile>(path);
        errno = 0;
        if (file->open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered)) {
#ifndef Q_OS_WIN
            tryLock(file->handle()); // a fresh name of ours: nobody else can hold it
#endif
            return {std::move(file), path};
        }
        if (file->error() != QFileDevice::OpenError || QFileInfo::exists(path) == false) {
            const int systemError = errno;
            if (auto refusal = folderRefusal(info.filePath()))
                throw *refusal;
            throw FileError::fromSystem(QStringLiteral("Не удалось создать файл рядом с"), target,
                                        errorOr(systemError, target));
        }
    }
    throw FileError::fromSystem(QStringLiteral("Не удалось создать файл рядом с"), target, EEXIST);
}

std::unique_ptr<QFile> holdTemporary(const QString& path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return nullptr;
#ifndef Q_OS_WIN
    tryLock(file->handle());
#endif
    return file;
}

bool isTemporaryOf(const QString& target, const QString& candidate)
{
    const QString name = QFileInfo(candidate).fileName();
    const QString prefix = QFileInfo(resolvedPath(target)).fileName() + kTemporaryInfix;
    return name.size() == prefix.size() + kTemporaryRandomLength + kTemporarySuffix.size() && name.startsWith(prefix) &&
           name.endsWith(kTemporarySuffix);
}

void removeAbandonedTemporaries(const QString& target)
{
    const QFileInfo info(resolvedPath(target));
    const QDir folder = info.absoluteDir();
    const QStringList names =
        folder.entryList({info.fileName() + kTemporaryInfix + QLatin1Char('*') + kTemporarySuffix},
                         QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QString path = folder.filePath(name);
        if (!isTemporaryOf(target, path))
            continue;
#ifndef Q_OS_WIN
        // A temporary file whose writer still runs is locked by it.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || !tryLock(file.handle()))
            continue;
#endif
        if (QFile::remove(path))
            qCInfo(lcFiles) << "removed an abandoned temporary file" << path;
    }
}

namespace {

// Every byte written reached the file, as far as the system has taken it.
void flushWhole(CheckedFile& file, const QString& what)
{
    errno = 0;
    const bool flushed = file.flush();
    const int flushError = file.firstWriteError() != 0 ? file.firstWriteError() : errno;
    if (!flushed || file.error() != QFileDevice::NoError || file.firstWriteError() != 0)
        throw FileError::fromSystem(QStringLiteral("Ошибка записи файла"), what, errorOr(flushError, what));
}

// Renames in one step, so every reader sees the old file or the new one whole; returns the path
// replaced (a link's target).
QString renameOver(const QString& temporary, const QString& target)
{
    const QString replaced = resolvedPath(target);
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(temporary.toStdU16String()),
                            std::filesystem::path(replaced.toStdU16String()), error);
    if (error)
        throw FileError::fromSystem(QStringLiteral("Не удалось заменить файл"), target, error.value());
    return replaced;
}

} // namespace

void syncToDisk(CheckedFile& file, const QString& what)
{
    flushWhole(file, what);
#ifdef Q_OS_WIN
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()))))
        throw FileError::fromSystem(QStringLiteral("Ошибка записи файла"), what, EIO);
#else
    if (::fsync(file.handle()) != 0)
        throw FileError::fromSystem(QStringLiteral("Ошибка записи файла"), what, errorOr(errno, what));
#endif
}

void replaceFile(const QString& temporary, const QString& target)
{
    syncFolderOf(renameOver(temporary, target));
}

AtomicFile::AtomicFile(const QString& target, Durability durability) : m_target(target), m_durability(durability)
{
    removeAbandonedTemporaries(target);
    if (QFileInfo(target).isDir())
        throw FileError::notAFile(target);
    m_temporary = createTemporaryBeside(target);
    // Whole-file writers write in pieces of their own; a buffered device gathers the small ones. Only
    // for writing: a buffered device open for reading too pays a seek for every write.
    const QString path = m_temporary.path;
    m_temporary.file->close();
    errno = 0;
    if (!m_temporary.file->open(QIODevice::WriteOnly)) {
        QFile::remove(path);
        throw FileError::fromSystem(QStringLiteral("Не удалось создать файл"), target, errorOr(errno, target));
    }
#ifndef Q_OS_WIN
    tryLock(m_temporary.file->handle());
#endif
}

AtomicFile::~AtomicFile()
{
    discard();
}

void AtomicFile::write(const char* data, qint64 length)
{
    if (m_temporary.file->write(data, length) != length)
        fail();
}

void AtomicFile::fail()
{
    const int code = errorOr(m_temporary.file->firstWriteError(), m_temporary.path);
    discard();
    throw FileError::fromSystem(QStringLiteral("Ошибка записи файла"), m_target, code);
}

void AtomicFile::commit()
{
    try {
        if (m_durability == Durability::OnDisk) {
            syncToDisk(*m_temporary.file, m_target);
            replaceFile(m_temporary.path, m_target);
        } else {
            flushWhole(*m_temporary.file, m_target);
            renameOver(m_temporary.path, m_target);
        }
    } catch (...) {
        discard();
        throw;
    }
    m_temporary.file->close();
    m_done = true;
}

void AtomicFile::discard()
{
    if (m_done)
        return;
    m_done = true;
    if (m_temporary.file)
        m_temporary.file->close();
    if (!m_temporary.path.isEmpty())
        QFile::remove(m_temporary.path);
}

} // namespace darni::files

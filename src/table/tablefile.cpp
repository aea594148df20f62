// An open table file held for writing.
#include "tablefile.h"

#include "tableerror.h"
#include "tablelog.h"

#include <QFileInfo>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace darni::table {

namespace {

bool hasWritePermission(const QString& path)
{
    constexpr auto kAnyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return (QFile::permissions(path) & kAnyWrite) != 0;
}

#ifdef Q_OS_WIN
// Windows enforces the sharing rule itself: we ask for read and write and let others only read.
std::unique_ptr<QFile> openDenyingWriters(const QString& path)
{
    const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        throw TableError(error == ERROR_SHARING_VIOLATION ? TableError::Cause::Locked : TableError::Cause::Io,
                         QStringLiteral("Файл %1 не открывается для записи (код %2).").arg(path).arg(error));
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
    auto file = std::make_unique<QFile>();
    if (fd < 0 || !file->open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        if (fd < 0)
            CloseHandle(h);
        else
            _close(fd);
        throw TableError(TableError::Cause::Io, QStringLiteral("Файл %1 не открывается для записи.").arg(path));
    }
    return file;
}
#else
// Other writers are kept out by an exclusive advisory lock that every opening of ours takes; readers
// take none and so are never stopped. flock() locks belong to the open file, so a second opening in
// this process is refused as well.
std::unique_ptr<QFile> openDenyingWriters(const QString& path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        throw TableError(TableError::Cause::Io,
                         QStringLiteral("Файл %1 не открывается для записи: %2").arg(path, file->errorString()));
    }
    if (::flock(file->handle(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        throw TableError(error == EWOULDBLOCK ? TableError::Cause::Locked : TableError::Cause::Io,
                         QStringLiteral("Файл %1 занят другой программой: %2")
                             .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    return file;
}
#endif

} // namespace

TableFile::TableFile(std::unique_ptr<QFile> file, const QString& path) : m_file(std::move(file)), m_path(path) {}

TableFile TableFile::openForWriting(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        qCWarning(lcTable) << "no table file" << path;
        throw TableError(TableError::Cause::NotFound, QStringLiteral("Файл %1 не найден.").arg(path));
    }
    if (!hasWritePermission(path)) {
        qCWarning(lcTable) << "table file is read-only" << path;
        throw TableError(TableError::Cause::ReadOnly, QStringLiteral("Файл %1 только для чтения.").arg(path));
    }
    return TableFile(openDenyingWriters(path), path);
}

qint64 TableFile::size() const
{
    return m_file ? m_file->size() : 0;
}

void TableFile::readAt(qint64 offset, char* data, qint64 length)
{
    if (!m_file || !m_file->seek(offset) || m_file->read(data, length) != length)
        fail(QStringLiteral("чтения"));
}

void TableFile::writeAt(qint64 offset, const char* data, qint64 length)
{
    if (!m_file || !m_file->seek(offset) || m_file->write(data, length) != length)
        fail(QStringLiteral("записи"));
}

void TableFile::sync()
{
    if (!m_file || !syncToDisk(*m_file))
        fail(QStringLiteral("записи"));
}

const char* TableFile::map(qint64 offset, qint64 size)
{
    unmap();
    if (!m_file || size <= 0)
        return nullptr;
    m_mapped = m_file->map(offset, size);
    return reinterpret_cast<const char*>(m_mapped);
}

void TableFile::unmap()
{
    if (m_file && m_mapped)
        m_file->unmap(m_mapped);
    m_mapped = nullptr;
}

void TableFile::close()
{
    unmap();
    m_file.reset(); // closing the file releases its lock
}

void TableFile::fail(const QString& what) const
{
    const QString reason = m_file ? m_file->errorString() : QStringLiteral("файл закрыт");
    qCWarning(lcTable) << "table file" << what << "failed" << m_path << reason;
    throw TableError(TableError::Cause::Io, QStringLiteral("Ошибка %1 файла %2: %3").arg(what, m_path, reason));
}

bool TableFile::copyTo(QFile& out, qint64 offset, qint64 length)
{
#ifdef Q_OS_LINUX
    if (!m_file || !out.flush())
        return false;
    loff_t from = offset;
    loff_t to = out.pos();
    qint64 left = length;
    while (left > 0) {
        const ssize_t copied =
            ::copy_file_range(m_file->handle(), &from, out.handle(), &to, static_cast<std::size_t>(left), 0);
        if (copied <= 0) {
            if (left == length && copied < 0 && (errno == ENOSYS || errno == EXDEV || errno == EINVAL ||
                                                 errno == EOPNOTSUPP))
                return false;
            fail(QStringLiteral("копирования"));
        }
        left -= copied;
    }
    if (!out.seek(to))
        fail(QStringLiteral("копирования"));
    return true;
#else
    Q_UNUSED(out);
    Q_UNUSED(offset);
    Q_UNUSED(length);
    return false;
#endif
}

bool syncToDisk(QFile& file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()))) != 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

} // namespace darni::table

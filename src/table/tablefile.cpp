// An open table file.
#include "tablefile.h"

#include "files/fileerror.h"
#include "tableerror.h"
#include "tablelog.h"

#include <QFileInfo>

#include <cerrno>

namespace darni::table {

namespace {

void requireRegularFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw TableError::from(files::FileError::fromSystem(QStringLiteral("Файл не найден:"), path, ENOENT));
    if (!info.isFile())
        throw TableError::from(files::FileError::notAFile(path));
}

} // namespace

TableFile& TableFile::operator=(TableFile&& other) noexcept
{
    if (this != &other) {
        close();
        m_file = std::move(other.m_file);
        m_heldTarget = std::move(other.m_heldTarget);
        m_path = std::move(other.m_path);
        m_target = std::move(other.m_target);
        m_access = other.m_access;
        m_mapped = std::exchange(other.m_mapped, nullptr);
    }
    return *this;
}

TableFile::~TableFile()
{
    close();
}

TableFile TableFile::open(const QString& path, Access access)
{
    TableFile table;
    table.m_path = path;
    table.m_access = access;
    if (access == Access::ReadWrite) {
        try {
            table.m_file = files::openLocked(path);
        } catch (const files::FileError& e) {
            qCWarning(lcTable) << "cannot open table for writing" << path << e.message();
            throw TableError::from(e);
        }
        return table;
    }
    requireRegularFile(path);
    table.m_file = std::make_unique<files::CheckedFile>(path);
    errno = 0;
    if (!table.m_file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        const int code = errno != 0 ? errno : EACCES;
        table.m_file.reset();
        throw TableError::from(
            files::FileError::fromSystem(QStringLiteral("Файл не открывается для чтения:"), path, code));
    }
    return table;
}

void TableFile::checkReplaceable(const QString& path)
{
    try {
        files::checkReplaceable(path);
    } catch (const files::FileError& e) {
        throw TableError::from(e);
    }
}

TableFile TableFile::createReplacement(const QString& target, const TableFile* held)
{
    TableFile table;
    try {
        files::removeAbandonedTemporaries(target);
        // Where the caller holds the target open for writing, its lock keeps other writers out.
        const bool heldByCaller = held && held->isOpen() && held->isWritable();
        if (!heldByCaller && QFileInfo::exists(target))
            table.m_heldTarget = files::openLocked(target);
        else if (!heldByCaller)
            files::checkReplaceable(target);
        files::Temporary temporary = files::createTemporaryBeside(target);
        table.m_file = std::move(temporary.file);
        table.m_path = temporary.path;
    } catch (const files::FileError& e) {
        qCWarning(lcTable) << "cannot make a new table" << target << e.message();
        throw TableError::from(e);
    }
    table.m_target = target;
    table.m_access = Access::ReadWrite;
    return table;
}

qint64 TableFile::size() const
{
    return m_file ? m_file->size() : 0;
}

void TableFile::readAt(qint64 offset, char* data, qint64 length)
{
    errno = 0;
    if (!m_file || !m_file->seek(offset) || m_file->read(data, length) != length)
        fail(QStringLiteral("Ошибка чтения файла"), errno);
}

bool TableFile::tryReadAt(qint64 offset, char* data, qint64 length) const noexcept
{
    return m_file && m_file->seek(offset) && m_file->read(data, length) == length;
}

void TableFile::writeAt(qint64 offset, const char* data, qint64 length)
{
    if (m_access != Access::ReadWrite)
        throw TableError(TableError::Cause::ReadOnly,
                         QStringLiteral("Таблица %1 открыта только для чтения.").arg(path()));
    if (!m_file || !m_file->seek(offset) || m_file->write(data, length) != length)
        fail(QStringLiteral("Ошибка записи файла"), m_file ? m_file->firstWriteError() : 0);
}

void TableFile::truncate(qint64 length)
{
    errno = 0;
    if (!m_file || !m_file->resize(length))
        fail(QStringLiteral("Ошибка записи файла"), errno);
}

void TableFile::sync()
{
    if (!m_file)
        fail(QStringLiteral("Ошибка записи файла"), 0);
    try {
        files::syncToDisk(*m_file, path());
    } catch (const files::FileError& e) {
        throw TableError::from(e);
    }
}

void TableFile::commitReplacement()
{
    if (!isReplacement())
        return;
    try {
        files::syncToDisk(*m_file, m_target);
        files::replaceFile(m_path, m_target);
    } catch (const files::FileError& e) {
        qCWarning(lcTable) << "cannot put the new table in place" << m_target << e.message();
        throw TableError::from(e);
    }
    m_path = m_target;
    m_target.clear();
    m_heldTarget.reset(); // the replaced file is gone from its name; its lock may go
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
    const bool abandoned = m_file && isReplacement();
    m_file.reset(); // closing the file releases its lock
    if (abandoned)
        QFile::remove(m_path);
    m_heldTarget.reset();
    m_target.clear();
}

void TableFile::fail(const QString& what, int systemError) const
{
    const files::FileError error = files::FileError::fromSystem(what, path(), systemError != 0 ? systemError : EIO);
    qCWarning(lcTable) << "table file failure" << m_path << error.message();
    throw TableError::from(error);
}

} // namespace darni::table

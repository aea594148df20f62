// File failures named by their cause.
#include "fileerror.h"

#include <cerrno>
#include <cstring>

namespace darni::files {

FileCause causeOfSystemError(int systemError)
{
    switch (systemError) {
    case ENOENT:
    case ENOTDIR:
        return FileCause::NotFound;
    case EISDIR:
        return FileCause::NotAFile;
    case EACCES:
    case EPERM:
        return FileCause::NoPermission;
    case EROFS:
        return FileCause::ReadOnly;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK:
        return FileCause::Locked;
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return FileCause::DiskFull;
    default:
        return FileCause::Other;
    }
}

QString causeText(FileCause cause, int systemError)
{
    switch (cause) {
    case FileCause::NotFound:
        return QStringLiteral("файл или папка не найдены");
    case FileCause::NotAFile:
        return QStringLiteral("это папка или устройство, а не файл");
    case FileCause::NoPermission:
        return QStringLiteral("нет прав доступа");
    case FileCause::ReadOnly:
        return QStringLiteral("файл или диск только для чтения");
    case FileCause::Locked:
        return QStringLiteral("файл занят другой программой");
    case FileCause::DiskFull:
        return QStringLiteral("диск заполнен");
    case FileCause::TooLarge:
        return QStringLiteral("файл слишком велик");
    case FileCause::Other:
        break;
    }
    if (systemError == 0)
        return QStringLiteral("ошибка ввода-вывода");
    return QStringLiteral("ошибка ввода-вывода (код %1)").arg(systemError);
}

FileError::FileError(FileCause cause, const QString& message, const QString& reason)
    : UserError(message), m_cause(cause), m_reason(reason.isEmpty() ? causeText(cause) : reason)
{
}

FileError FileError::fromSystem(const QString& what, const QString& path, int systemError)
{
    const FileCause cause = causeOfSystemError(systemError);
    const QString reason = causeText(cause, systemError);
    return FileError(cause, QStringLiteral("%1 %2: %3.").arg(what, path, reason), reason);
}

FileError FileError::notAFile(const QString& path)
{
    return FileError(FileCause::NotAFile, QStringLiteral("%1: %2.").arg(path, causeText(FileCause::NotAFile)));
}

} // namespace darni::files

// A file operation that failed: the cause that code can test and a Russian sentence that names it for
// the user. System error texts never reach the user untranslated.
#pragma once

#include "usererror.h"

#include <QString>

namespace darni::files {

enum class FileCause {
    NotFound,     // no such file or folder
    NotAFile,     // a folder or a device where a file was expected
    NoPermission, // the user may not read or write it
    ReadOnly,     // a read-only file or read-only media
    Locked,       // another program holds it for writing
    DiskFull,     // no space left (or a file size limit reached)
    TooLarge,     // larger than anything this program reads
    Other,        // anything else the system reports
};

// The cause behind a system error number (errno).
FileCause causeOfSystemError(int systemError);
// A short Russian phrase for the cause, e.g. "диск заполнен"; for Other, the system's own text.
QString causeText(FileCause cause, int systemError = 0);

class FileError : public UserError
{
public:
    // `reason` is the cause as a phrase for a sentence of the caller's own ("нет прав доступа");
    // by default the cause's usual phrase.
    FileError(FileCause cause, const QString& message, const QString& reason = {});
    // "<what> <path>: <cause>." from the system error number that the failed call left.
    static FileError fromSystem(const QString& what, const QString& path, int systemError);
    // "<path>: это папка или устройство, а не файл."
    static FileError notAFile(const QString& path);

    FileCause cause() const { return m_cause; }
    const QString& reason() const { return m_reason; }

private:
    FileCause m_cause;
    QString m_reason;
};

} // namespace darni::files

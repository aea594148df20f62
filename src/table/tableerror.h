// The table layer's failures: a cause that code can test and a Russian text that the user can read.
#pragma once

#include "files/usererror.h"

#include <QString>

namespace darni::files {
class FileError;
}

namespace darni::table {

class TableError : public files::UserError
{
public:
    enum class Cause {
        NotFound,          // no such file
        NotAFile,          // a folder or a device, not a file
        NoPermission,      // the user may not read or write the file
        Locked,            // another writer holds the file
        ReadOnly,          // the file may not be written (read-only file or media)
        DiskFull,          // no space left for what had to be written
        TooLarge,          // larger than anything the table layer reads
        NotATable,         // the bytes are not a dBase table we can read
        MissingField,      // a field of the measurement record is absent
        IncompatibleField, // a field of the measurement record has a type we cannot read as it
        ValueTooWide,      // a value's text does not fit its field
        KeyTooLong,        // a sort tag on a text field wider than an index key may be
        NoSuchTag,         // a sort tag of that name does not exist
        TagExists,         // a sort tag of that name exists already
        Io,                // reading or writing the file failed
    };

    TableError(Cause cause, const QString& message);
    // The same failure in the table layer's terms.
    static TableError from(const files::FileError& error);

    Cause cause() const { return m_cause; }

private:
    Cause m_cause;
};

} // namespace darni::table

// The table layer's failures.
#include "tableerror.h"

#include "files/fileerror.h"

namespace darni::table {

TableError::TableError(Cause cause, const QString& message) : UserError(message), m_cause(cause) {}

TableError TableError::from(const files::FileError& error)
{
    using files::FileCause;
    const auto cause = [&] {
        switch (error.cause()) {
        case FileCause::NotFound:
            return Cause::NotFound;
        case FileCause::NotAFile:
            return Cause::NotAFile;
        case FileCause::NoPermission:
            return Cause::NoPermission;
        case FileCause::ReadOnly:
            return Cause::ReadOnly;
        case FileCause::Locked:
            return Cause::Locked;
        case FileCause::DiskFull:
            return Cause::DiskFull;
        case FileCause::TooLarge:
            return Cause::TooLarge;
        case FileCause::Other:
            break;
        }
        return Cause::Io;
    }();
    return TableError(cause, error.message());
}

} // namespace darni::table

// The table layer's failures.
#include "tableerror.h"

namespace darni::table {

TableError::TableError(Cause cause, const QString& message)
    : std::runtime_error(message.toStdString()), m_cause(cause), m_message(message)
{
}

} // namespace darni::table

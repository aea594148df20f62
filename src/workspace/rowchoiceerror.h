// Why rows asked for by their place on the page or by their number N are not to be had, with a cause a
// front end can add its own remedy to (darni-cli names its options).
#pragma once

#include "files/usererror.h"

namespace darni::workspace {

class RowChoiceError : public files::UserError
{
public:
    enum class Cause {
        NoSuchPosition,      // a place beyond the page's rows, or not a whole one
        NoSuchNumber,        // no row of the page has that N
        NumberOnSeveralRows, // several rows have it (N starts again in each memory block)
    };

    RowChoiceError(Cause cause, const QString& message) : files::UserError(message), m_cause(cause) {}
    Cause cause() const { return m_cause; }

private:
    Cause m_cause;
};

} // namespace darni::workspace

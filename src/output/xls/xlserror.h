// A workbook that could not be written, with the text the user is shown.
#pragma once

#include "files/usererror.h"

#include <QString>

namespace darni::output::xls {

class XlsError : public files::UserError
{
public:
    explicit XlsError(const QString& message) : UserError(message) {}
};

} // namespace darni::output::xls

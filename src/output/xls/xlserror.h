// A workbook that could not be written, with the text the user is shown.
#pragma once

#include <QString>

#include <stdexcept>

namespace darni::output::xls {

class XlsError : public std::runtime_error
{
public:
    explicit XlsError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

} // namespace darni::output::xls

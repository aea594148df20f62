// A failure that reaches the user: what went wrong, in Russian, ready to be shown as it stands.
// Every layer's own failure (a file, a table, a workbook, a saved transfer) is one of these, with a
// cause its own code can test, so that a front end shows or prints every failure in one place.
// It lives in the lowest layer because every layer above reports through it.
#pragma once

#include <QString>

#include <stdexcept>

namespace darni::files {

class UserError : public std::runtime_error
{
public:
    explicit UserError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}

    const QString& message() const { return m_message; }

private:
    QString m_message;
};

} // namespace darni::files

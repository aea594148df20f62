// Lets googletest print Qt values readably in failure messages.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

inline void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << '"' << b.toStdString() << '"';
}

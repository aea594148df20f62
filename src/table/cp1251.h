// Windows code page 1251 (Cyrillic), converted to and from Unicode at the edges of the table layer.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace darni::table::cp1251 {

// Every byte maps to exactly one character; the one byte the code page leaves unassigned (0x98)
// maps to U+0098 so that any stored text survives a round trip.
QString toUnicode(QByteArrayView bytes);
// The same into `out` (replacing what it held), reusing its memory: for readers that convert text
// after text.
void toUnicode(QByteArrayView bytes, QString& out);
// The same text as UTF-8 in `out` (replacing what it held), without a QString between: for writers
// that take UTF-8 row after row.
void toUtf8(QByteArrayView bytes, QByteArray& out);

// Characters outside the code page become kReplacement.
inline constexpr char kReplacement = '?';
QByteArray fromUnicode(QStringView text);

} // namespace darni::table::cp1251

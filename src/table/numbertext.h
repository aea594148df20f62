// The text of a number as the program shows it: the shortest form with at most 15 significant
// digits, no trailing zeros, the locale's decimal separator, and an exponent only below 0.00001 or
// from 10^15 on ("1,5E-6", "1E15").
#pragma once

#include <QChar>
#include <QString>

namespace darni::table {

QString numberText(double value, QChar decimalSeparator);
// With the separator of the user's locale.
QString numberText(double value);

} // namespace darni::table

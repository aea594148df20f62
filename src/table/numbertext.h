// The text of a number as the program shows it: the shortest form with at most 15 significant
// digits, no trailing zeros, a decimal comma, and an exponent only below 0.00001 or from 10^15 on
// ("1,5E-6", "1E15"). Whatever the system's locale, a person reads numbers the Russian way here: the
// table files keep their points, but a page never shows "21.6" beside "25,70".
#pragma once

#include <QChar>
#include <QLocale>
#include <QString>

namespace darni::table {

inline constexpr int kShownSignificantDigits = 15;
// The smallest magnitude written with an exponent.
inline constexpr double kFirstExponentValue = 1e15;
// The longest text numberText() gives: "-1,23456789012345E-308".
inline constexpr int kLongestNumberText = 22;

QString numberText(double value, QChar decimalSeparator);
// With the decimal comma.
QString numberText(double value);
// The locale of every number a person reads (grid, footers, editors, reports, charts): Russian, its
// decimal comma and a non-breaking space between thousands where thousands are separated.
QLocale displayLocale();

} // namespace darni::table

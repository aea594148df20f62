// The text of a number as the program shows it.
#include "numbertext.h"

#include <QLocale>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace darni::table {

namespace {
constexpr int kLowestFixedExponent = -5;  // 0.00001 is written out
constexpr int kHighestFixedExponent = 14; // 10^15 takes an exponent
constexpr std::size_t kBufferSize = 40;
} // namespace

QString numberText(double value, QChar separator)
{
    if (value == 0 || !std::isfinite(value))
        return std::isfinite(value) ? QStringLiteral("0") : QString::number(value);
    // Fifteen significant digits in scientific form, then trailing zeros dropped.
    char buffer[kBufferSize];
    std::snprintf(buffer, sizeof buffer, "%.*e", kShownSignificantDigits - 1, std::fabs(value));
    const std::string text(buffer);
    const std::size_t e = text.find('e');
    std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int exponent = std::atoi(text.c_str() + e + 1);

    QString out = value < 0 ? QStringLiteral("-") : QString();
    if (exponent < kLowestFixedExponent || exponent > kHighestFixedExponent) {
        out += QLatin1Char(digits[0]);
        if (digits.size() > 1)
            out += separator + QString::fromLatin1(digits.substr(1));
        return out + QStringLiteral("E") + QString::number(exponent);
    }
    if (exponent < 0)
        return out + QLatin1Char('0') + separator + QString(-exponent - 1, QLatin1Char('0')) +
               QString::fromLatin1(digits);
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole)
        return out + QString::fromLatin1(digits) +
               QString(static_cast<qsizetype>(whole - digits.size()), QLatin1Char('0'));
    return out + QString::fromLatin1(digits.substr(0, whole)) + separator + QString::fromLatin1(digits.substr(whole));
}

QString numberText(double value)
{
    return numberText(value, displayLocale().decimalPoint().at(0));
}

QLocale displayLocale()
{
    return QLocale(QLocale::Russian, QLocale::Russia);
}

} // namespace darni::table

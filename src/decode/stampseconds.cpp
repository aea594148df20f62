// Orders measurements in time.
#include "stampseconds.h"

#include <QDate>

#include <array>

namespace darni::decode {

namespace {
constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::int64_t kSecondsPerHour = 3'600;
constexpr std::int64_t kSecondsPerMinute = 60;
constexpr int kHighestDayText = 31;
constexpr int kMonths = 12;
constexpr int kHours = 24;
constexpr int kMinutes = 60;

// Fixed positions of 'DD.MM.YYYY' and 'HH:MM:SS'.
constexpr int kDateLength = 10;
constexpr int kTimeLength = 8;

std::optional<int> number(const QString& text, int from, int length)
{
    bool ok = false;
    const QStringView part = QStringView(text).mid(from, length);
    for (const QChar c : part) {
        if (!c.isDigit())
            return std::nullopt;
    }
    const int value = part.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

bool separatorsAt(const QString& text, QChar separator, std::initializer_list<int> positions)
{
    for (const int p : positions) {
        if (text.at(p) != separator)
            return false;
    }
    return true;
}
} // namespace

std::optional<std::int64_t> stampSeconds(const QString& date, const QString& time)
{
    if (date.size() != kDateLength || time.size() != kTimeLength || !separatorsAt(date, u'.', {2, 5}) ||
        !separatorsAt(time, u':', {2, 5}))
        return std::nullopt;
    const auto day = number(date, 0, 2);
    const auto month = number(date, 3, 2);
    const auto year = number(date, 6, 4);
    const auto hours = number(time, 0, 2);
    const auto minutes = number(time, 3, 2);
    const auto seconds = number(time, 6, 2);
    if (!day || !month || !year || !hours || !minutes || !seconds)
        return std::nullopt;
    if (*day < 1 || *day > kHighestDayText || *month < 1 || *month > kMonths || *year < 1 || *hours >= kHours ||
        *minutes >= kMinutes || *seconds >= kMinutes)
        return std::nullopt;

    // Day 1 of the month through the calendar, then the day text counted on from there.
    const QDate monthStart(*year, *month, 1);
    const std::int64_t dayNumber = monthStart.toJulianDay() - QDate(1, 1, 1).toJulianDay() + *day;
    return dayNumber * kSecondsPerDay + *hours * kSecondsPerHour + *minutes * kSecondsPerMinute + *seconds;
}

} // namespace darni::decode

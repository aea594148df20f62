// Orders measurements in time: a 'DD.MM.YYYY' date text and an 'HH:MM:SS' time text as seconds.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace darni::decode {

// (day number, 1 January of year 1 being day 1) × 86 400 + hours × 3 600 + minutes × 60 + seconds.
//
// The instrument can store a day the month does not have ('31.02.2005'). Such a day counts on from
// the month's start as if the month were long enough, so 31.02.2005 orders as 03.03.2005: every day
// text of a month orders after that month's real days and before the next month's second day, and the
// same text always gives the same number. Texts that are not of the two forms give nothing.
std::optional<std::int64_t> stampSeconds(const QString& date, const QString& time);

} // namespace darni::decode

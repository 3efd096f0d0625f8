#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "reading/report.h"

namespace velk {

// Days in a month of the proleptic Gregorian calendar (month 1 to 12).
int daysInMonth(std::int32_t year, std::int32_t month);

// A date as a user types it on a command line: "d.m.yyyy" (day and month of one or two
// digits: 2.5.2019, 02.05.2019) or ISO 8601 "yyyy-mm-dd" (2019-05-02). Nothing when the
// text is neither or names no day of the calendar (31.4.2019).
std::optional<CalendarDate> readCalendarDate(std::string_view text);

}  // namespace velk

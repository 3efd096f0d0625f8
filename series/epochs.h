#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velk::series {

// Epochs of a series: decimal years of GPS time, 365.25 days each, counted so that
// 2000-01-01 0h is 2000.0. Modified Julian dates (days since 1858-11-17 0h) convert both ways
// exactly up to the rounding of one division.
double decimalYear(double modified_julian_date);
double modifiedJulianDateOfYear(double decimal_year);

// "yyyy-mm-ddThh:mm:ss" of a modified Julian date, rounded to the second; "-" for one more
// than 3,000,000 days from its origin (past the year 10,000) or not a number.
std::string isoDateTime(double modified_julian_date);

// A date as a user types it, "d.m.yyyy" or "yyyy-mm-dd", optionally followed by "Thh:mm"
// (else 0h): its modified Julian date, or nothing when the text is not such a date (a day
// that the month does not have, an hour past 23, anything after the minutes).
std::optional<double> parseDate(std::string_view text);

}  // namespace velk::series

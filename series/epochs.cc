#include "series/epochs.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace velk::series {
namespace {

// Days from 1970-01-01 (std::chrono's epoch) to 1858-11-17, the origin of the modified
// Julian date.
constexpr int kMjdOfUnixEpoch = 40587;
constexpr double kMjdOf2000 = 51544;
constexpr double kDaysPerYear = 365.25;
// Dates beyond this many days from 1858 (about the year 10,000) are not shown.
constexpr double kLargestMjdShown = 3e6;

std::optional<int> number(std::string_view text) {
  int value = 0;
  if (text.empty() || text.size() > 4) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> mjdOfDay(std::optional<int> year, std::optional<int> month,
                               std::optional<int> day) {
  if (!year || !month || !day) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year{*year},
                                         std::chrono::month{static_cast<unsigned>(*month)},
                                         std::chrono::day{static_cast<unsigned>(*day)}};
  if (*month < 1 || *day < 1 || !date.ok()) return std::nullopt;
  return std::chrono::sys_days{date}.time_since_epoch().count() + kMjdOfUnixEpoch;
}

// "d.m.yyyy" or "yyyy-mm-dd".
std::optional<double> mjdOfDate(std::string_view text) {
  const std::size_t dot1 = text.find('.');
  if (dot1 != std::string_view::npos) {
    const std::size_t dot2 = text.find('.', dot1 + 1);
    if (dot2 == std::string_view::npos || text.size() - dot2 - 1 != 4) return std::nullopt;
    return mjdOfDay(number(text.substr(dot2 + 1)), number(text.substr(dot1 + 1, dot2 - dot1 - 1)),
                    number(text.substr(0, dot1)));
  }
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  return mjdOfDay(number(text.substr(0, 4)), number(text.substr(5, 2)), number(text.substr(8, 2)));
}

}  // namespace

double decimalYear(double modified_julian_date) {
  return 2000.0 + (modified_julian_date - kMjdOf2000) / kDaysPerYear;
}

double modifiedJulianDateOfYear(double decimal_year) {
  return kMjdOf2000 + (decimal_year - 2000.0) * kDaysPerYear;
}

std::string isoDateTime(double modified_julian_date) {
  if (!(std::fabs(modified_julian_date) < kLargestMjdShown)) return "-";
  const long long seconds = std::llround(modified_julian_date * 86400.0);
  const long long days = seconds / 86400 - (seconds % 86400 < 0 ? 1 : 0);
  const long long of_day = seconds - days * 86400;
  const std::chrono::year_month_day date{
      std::chrono::sys_days{std::chrono::days{days - kMjdOfUnixEpoch}}};
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), of_day / 3600, of_day / 60 % 60, of_day % 60);
  return text;
}

std::optional<double> parseDate(std::string_view text) {
  const std::size_t t = text.find('T');
  const std::optional<double> day = mjdOfDate(text.substr(0, t));
  if (!day || t == std::string_view::npos) return day;
  const std::string_view time = text.substr(t + 1);
  if (time.size() != 5 || time[2] != ':') return std::nullopt;
  const std::optional<int> hours = number(time.substr(0, 2)), minutes = number(time.substr(3, 2));
  if (!hours || !minutes || *hours > 23 || *minutes > 59 || *hours < 0 || *minutes < 0)
    return std::nullopt;
  return *day + (*hours * 60 + *minutes) / 1440.0;
}

}  // namespace velk::series

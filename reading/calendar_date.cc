#include "reading/calendar_date.h"

#include <array>
#include <charconv>

namespace velk {
namespace {

// The three parts of a text between two separators, each of digits only, of at least
// `fewest` and at most `most` digits; nothing otherwise.
std::optional<std::array<std::int32_t, 3>> threeNumbers(std::string_view text, char separator,
                                                        std::array<std::size_t, 3> fewest,
                                                        std::array<std::size_t, 3> most) {
  std::array<std::int32_t, 3> values{};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t end = i < 2 ? text.find(separator) : text.size();
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view digits = text.substr(0, end);
    if (digits.size() < fewest[i] || digits.size() > most[i]) return std::nullopt;
    for (const char c : digits)
      if (c < '0' || c > '9') return std::nullopt;
    std::from_chars(digits.data(), digits.data() + digits.size(), values[i]);
    text.remove_prefix(i < 2 ? end + 1 : end);
  }
  return values;
}

}  // namespace

int daysInMonth(std::int32_t year, std::int32_t month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

std::optional<CalendarDate> readCalendarDate(std::string_view text) {
  std::optional<CalendarDate> date;
  if (const auto iso = threeNumbers(text, '-', {4, 2, 2}, {4, 2, 2})) {
    date = CalendarDate{(*iso)[0], (*iso)[1], (*iso)[2]};
  } else if (const auto dotted = threeNumbers(text, '.', {1, 1, 4}, {2, 2, 4})) {
    date = CalendarDate{(*dotted)[2], (*dotted)[1], (*dotted)[0]};
  }
  if (!date || date->year < 1 || date->month < 1 || date->month > 12 || date->day < 1 ||
      date->day > daysInMonth(date->year, date->month))
    return std::nullopt;
  return date;
}

}  // namespace velk

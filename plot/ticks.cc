#include "plot/ticks.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace velk::plot {

double roundStep(double span, int max_intervals) {
  const double rough = span / max_intervals;
  double power = std::pow(10.0, std::floor(std::log10(rough)));
  // Correct a power that the logarithm's rounding put one decade off.
  if (power * 10 <= rough) power *= 10;
  if (power > rough) power /= 10;
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    const double step = factor * power;
    if (span / step <= max_intervals * (1 + 1e-9)) return step;
  }
  return 10 * power;
}

namespace {

// The round step after `step` (1, 2, 5, 10, 20, ...).
double nextRoundStep(double step) {
  const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  const double factor = std::round(step / power);
  return factor == 1 ? 2 * power : factor == 2 ? 5 * power : 10 * power;
}

}  // namespace

ValueAxis valueAxis(double min, double max, int max_intervals) {
  if (min == max) {
    const double half = min == 0 ? 0.5 : 1;
    min -= min == 0 ? 0 : half;
    max += min == 0 && max == 0 ? 2 * half : half;
  }
  ValueAxis axis;
  // The ends are rounded outwards, which may need one interval more than the data: then
  // the next round step.
  axis.step = roundStep(max - min, max_intervals);
  for (;;) {
    axis.low = std::floor(min / axis.step) * axis.step;
    axis.high = std::ceil(max / axis.step) * axis.step;
    if (std::lround((axis.high - axis.low) / axis.step) <= max_intervals) break;
    axis.step = nextRoundStep(axis.step);
  }
  const long count = std::lround((axis.high - axis.low) / axis.step);
  for (long i = 0; i <= count; ++i) axis.ticks.push_back(axis.low + static_cast<double>(i) * axis.step);
  axis.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(axis.step) + 1e-9)));
  return axis;
}

std::string tickText(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  double rounded = std::round(value * scale) / scale;
  if (rounded == 0) rounded = 0;  // no "-0"
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

namespace {

constexpr double kHour = 1.0 / 24;

void fillTicks(TimeAxis& axis) {
  const long count = std::lround((axis.high - axis.low) / axis.step);
  for (long i = 0; i <= count; ++i) axis.ticks.push_back(axis.low + static_cast<double>(i) * axis.step);
}

// The whole multiples of `step` around [first, last]; `step` in days.
void spanWithStep(TimeAxis& axis, double first, double last, double step) {
  axis.step = step;
  axis.low = std::floor(first / step + 1e-9) * step;
  axis.high = std::ceil(last / step - 1e-9) * step;
  if (axis.high <= axis.low) axis.high = axis.low + step;
}

}  // namespace

TimeAxis timeAxis(double first, double last, int max_intervals) {
  TimeAxis axis;
  max_intervals = std::max(1, max_intervals);
  if (last - first < 3) {
    for (const int hours : {1, 2, 3, 6, 12}) {
      spanWithStep(axis, first, last, hours * kHour);
      if ((axis.high - axis.low) / axis.step <= max_intervals + 1e-9) {
        axis.hours = true;
        fillTicks(axis);
        return axis;
      }
    }
  }
  // Whole days: 1, 2, 5, 10, ... days, counted from day 0 so that ticks fall on round days.
  for (double power = 1;; power *= 10) {
    for (const double factor : {1.0, 2.0, 5.0}) {
      spanWithStep(axis, first, last, factor * power);
      if ((axis.high - axis.low) / axis.step <= max_intervals + 1e-9) {
        fillTicks(axis);
        return axis;
      }
    }
  }
}

// Civil from days (the proleptic Gregorian calendar), after H. Hinnant's algorithm,
// shifted from 1970-01-01 (MJD 40587).
Date dateOfModifiedJulianDay(long mjd) {
  const long z = mjd - 40587 + 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long day_of_era = z - era * 146097;
  const long year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const long day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const long month_index = (5 * day_of_year + 2) / 153;
  Date date;
  date.day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
  date.month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
  date.year = static_cast<int>(year_of_era + era * 400 + (date.month <= 2 ? 1 : 0));
  return date;
}

}  // namespace velk::plot

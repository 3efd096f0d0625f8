#pragma once

#include <string>
#include <vector>

namespace velk::plot {

// The smallest step of 1, 2 or 5 times a power of ten that cuts `span` into at most
// `max_intervals` intervals (span > 0, max_intervals >= 1).
double roundStep(double span, int max_intervals);

// A value axis: from `low` to `high`, both multiples of `step`, covering the data.
struct ValueAxis {
  double low = 0, high = 0, step = 0;
  std::vector<double> ticks;  // low, low + step, ..., high
  int decimals = 0;           // digits after the point that tell the ticks apart
};

// The axis covering [min, max] with at most `max_intervals` round intervals. An empty
// range (min == max) is widened to ±1 around its value (or to 0..1 at zero).
ValueAxis valueAxis(double min, double max, int max_intervals);

// A tick's text with the axis' decimals ("-5", "0.25"); never "-0".
std::string tickText(double value, int decimals);

// A time axis in days: ticks at whole days, or at whole hours when the data span less
// than three days.
struct TimeAxis {
  double low = 0, high = 0;  // days, both on ticks
  bool hours = false;        // the ticks are hours of the day
  double step = 1;           // days between ticks (1/24 for each hour)
  std::vector<double> ticks;
};

// At most `max_intervals` intervals over [first, last] (days). Day steps are 1, 2 or 5
// times a power of ten; hour steps 1, 2, 3, 6 or 12 hours, so that each day starts on a
// tick.
TimeAxis timeAxis(double first, double last, int max_intervals);

// A calendar date from a modified Julian day number (days since 1858-11-17).
struct Date {
  int year = 0, month = 0, day = 0;
};
Date dateOfModifiedJulianDay(long mjd);

}  // namespace velk::plot

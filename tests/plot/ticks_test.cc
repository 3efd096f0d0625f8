// Round ticks of the value and time axes, and calendar dates of the time axis.

#include "plot/ticks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "reading/report.h"

namespace velk::plot {
namespace {

// Whether `step` is 1, 2 or 5 times a power of ten.
bool isRound(double step) {
  const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  const double factor = step / power;
  return std::abs(factor - 1) < 1e-9 || std::abs(factor - 2) < 1e-9 || std::abs(factor - 5) < 1e-9;
}

TEST(ValueAxis, CoversTheDataWithRoundStepsAndFewIntervals) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> exponent(-4, 6), unit(-1, 1);
  for (int trial = 0; trial < 2000; ++trial) {
    const double scale = std::pow(10.0, exponent(random));
    double a = unit(random) * scale, b = unit(random) * scale;
    if (a > b) std::swap(a, b);
    const ValueAxis axis = valueAxis(a, b, 6);
    SCOPED_TRACE(std::to_string(a) + " .. " + std::to_string(b));
    EXPECT_TRUE(isRound(axis.step));
    EXPECT_LE(axis.low, a);
    EXPECT_GE(axis.high, b);
    EXPECT_LE(axis.ticks.size(), 7u);
    EXPECT_GE(axis.ticks.size(), 2u);
    // Not needlessly coarse: the round step below (at most 2.5 times finer) needed more
    // than 6 intervals, at most 2 of them from rounding the ends outwards.
    EXPECT_GT((b - a) / axis.step, 4 / 2.5 - 1e-9);
  }
}

TEST(ValueAxis, WritesTicksWithTheDecimalsOfItsStep) {
  const ValueAxis axis = valueAxis(-0.3, 0.45, 6);
  EXPECT_DOUBLE_EQ(axis.step, 0.2);
  EXPECT_EQ(axis.decimals, 1);
  EXPECT_EQ(tickText(axis.ticks.front(), axis.decimals), "-0.4");
  EXPECT_EQ(tickText(-0.0001, 1), "0.0");
  const ValueAxis flat = valueAxis(0, 0, 6);
  EXPECT_LT(flat.low, flat.high);
}

TEST(TimeAxis, UsesWholeHoursUnderThreeDaysAndWholeDaysAbove) {
  const double start = 57835.3;  // 2017-03-23 07:12
  for (const double span : {0.05, 0.4, 1.0, 2.9}) {
    const TimeAxis axis = timeAxis(start, start + span, 10);
    EXPECT_TRUE(axis.hours) << span;
    const double hours = std::round(axis.step * 24);
    EXPECT_NEAR(axis.step * 24, hours, 1e-9);
    EXPECT_EQ(24 % static_cast<int>(hours), 0) << "a day starts on a tick";
    EXPECT_LE(axis.low, start);
    EXPECT_GE(axis.high, start + span);
    EXPECT_LE(axis.ticks.size(), 11u);
  }
  for (const double span : {3.0, 40.0, 1500.0}) {
    const TimeAxis axis = timeAxis(start, start + span, 10);
    EXPECT_FALSE(axis.hours) << span;
    EXPECT_TRUE(isRound(axis.step));
    for (const double tick : axis.ticks) EXPECT_EQ(tick, std::round(tick));
    EXPECT_LE(axis.low, start);
    EXPECT_GE(axis.high, start + span);
    EXPECT_LE(axis.ticks.size(), 11u);
  }
}

TEST(TimeAxis, NamesDaysByTheCalendarThatTheReportsUse) {
  for (int year : {1899, 1900, 1999, 2000, 2016, 2017, 2024}) {
    for (const auto& [month, day] : {std::pair{1, 1}, {2, 28}, {3, 1}, {12, 31}}) {
      const long mjd = std::lround(modifiedJulianDate({year, month, day}, 0));
      const Date date = dateOfModifiedJulianDay(mjd);
      EXPECT_EQ(date.year, year);
      EXPECT_EQ(date.month, month);
      EXPECT_EQ(date.day, day);
    }
  }
  EXPECT_EQ(dateOfModifiedJulianDay(std::lround(modifiedJulianDate({2016, 2, 28}, 0)) + 1).day, 29);
}

}  // namespace
}  // namespace velk::plot

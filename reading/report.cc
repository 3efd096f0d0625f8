#include "reading/report.h"

#include <array>

#include "geodesy/covariance.h"

namespace velk {

std::string_view reportItemName(ReportItem item) {
  static constexpr std::array<std::string_view, kReportItemCount> kNames{
      "names", "vector", "sigmas", "mark 1", "mark 2", "local components", "ratio", "date"};
  return kNames[static_cast<std::size_t>(item)];
}

// The count of days from 1970-01-01 of a proleptic Gregorian date, then shifted to the
// modified Julian date (1970-01-01 is MJD 40587).
double modifiedJulianDate(const CalendarDate& date, double seconds_of_day) {
  const std::int64_t y = date.year - (date.month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t year_of_era = y - era * 400;
  const std::int64_t month = date.month;
  const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  const std::int64_t days_from_1970 = era * 146097 + day_of_era - 719468;
  return static_cast<double>(days_from_1970 + 40587) + seconds_of_day / 86400.0;
}

namespace {

std::string joinedMissingItems(std::uint32_t missing) {
  std::string text;
  for (int i = 0; i < kReportItemCount; ++i) {
    if ((missing & (std::uint32_t{1} << i)) == 0) continue;
    const auto item = static_cast<ReportItem>(i);
    if (!text.empty()) text += ", ";
    text += "no ";
    text += reportItemName(item);
  }
  return text;
}

}  // namespace

std::string Report::missingText() const { return joinedMissingItems(missing); }

std::string Report::missingNeededText() const { return joinedMissingItems(missing & kNeeded); }

Matrix3 Report::covariance() const {
  return baselineCovariance(sigma_x, sigma_y, sigma_z, r_xy, r_xz, r_yz);
}

}  // namespace velk

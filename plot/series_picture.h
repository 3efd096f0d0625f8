#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>



namespace velk::plot {

// How the days of the time axis are counted and named.
enum class DayCount {
  kModifiedJulian,  // days are modified Julian dates: ticks named by calendar dates
  kYearUnknown,     // days of the year of years not given: day = 366 k + day of year - 1
};

// One observation of the series: four components relative to the mean, in mm.
struct SeriesSample {
  double time = 0;  // days, as the drawing's DayCount says
  std::array<double, 4> value{};
  std::array<double, 4> sigma{};  // one standard deviation, mm
  bool fixed = true;              // fixed or float solution
};

struct SeriesDrawing {
  std::string name;       // UTF-8: "CAST → SAUL", or the LOG file's name
  std::string unit = "report";  // what a sample is, for the title's count
  std::string frame;      // UTF-8: what the components are, shown under the title
  std::string time_axis;  // UTF-8: what the time axis shows
  std::array<std::string, 4> components;  // "dE", "dN", "dU", "d(length)"
  DayCount days = DayCount::kModifiedJulian;
  std::vector<SeriesSample> samples;
  std::array<double, 4> weighted_rms{};  // mm, per component
};

// The picture; each panel is a group "panel-1" to "panel-4" whose first rectangle is its
// data area.
struct SeriesPicture {
  std::string svg;
  double width = 0, height = 0;
};

SeriesPicture drawSeries(const SeriesDrawing& drawing);

// sqrt(Σ wᵢ vᵢ² / Σ wᵢ) with wᵢ = 1 / sigmaᵢ² (sigmas > 0).
double weightedRms(std::span<const double> values, std::span<const double> sigmas);

// The name of a day of the axis: "2017-03-23", or "day 82" ("day 3 (+1 y)" in a later
// year) when the year is not known.
std::string dayName(long day, DayCount days);

}  // namespace velk::plot

#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velk::plot {

// How the days of the time axis are counted and named.
enum class DayCount {
  kModifiedJulian,  // days are modified Julian dates: ticks named by calendar dates
  kYearUnknown,     // days of the year of years not given: day = 366 k + day of year - 1
};

// One observation of the series: four components relative to the weighted mean, in mm.
struct SeriesSample {
  double time = 0;  // days, as the drawing's DayCount says
  std::array<double, 4> value{};
  std::array<double, 4> sigma{};  // one standard deviation, mm
  bool fixed = true;              // fixed or float solution
  std::string source;             // UTF-8: the O-file's name, or the LOG file and line
  std::string flags;              // the report's flags ("low_ratio, imprecise"); empty: none
};

// The model that `baselines series` fits to a pair (trend and one offset per segment), in
// the samples' terms (the same components, relative to the same value), to be drawn over
// them.
struct SeriesModel {
  // Per sample: the model there, mm; nothing for a sample the analysis did not take (a
  // float report when floats are not analysed).
  std::vector<std::optional<std::array<double, 4>>> values;
  std::vector<bool> outlier;                // per sample: flagged as an outlier by the fit
  std::array<double, 4> band{};             // mm: half the width of the band around the model
  struct StepLine {
    double time = 0;    // days, as the samples' times
    std::string label;  // "15.0 mm"
  };
  std::vector<StepLine> steps;
  struct Threshold {
    double value = 0;   // mm, in the samples' terms
    bool alarm = false; // an alarm level (else a warning level)
  };
  std::array<std::vector<Threshold>, 4> thresholds;  // per panel
  std::string velocity;  // "velocity E +1.2 ± 0.1, N ... mm/yr (MIDAS)", for the title
  std::string status;    // "status: warning (2d 12.3 mm over 10)", shown in a box
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
  std::optional<SeriesModel> model;      // drawn over the samples when there is one
};

// The picture; each panel is a group "panel-1" to "panel-4" whose first rectangle is its
// data area.
struct SeriesPicture {
  std::string svg;
  double width = 0, height = 0;
};

// Four panels, one per component: every sample a marker (a circle when fixed, a square when
// float, a diamond when flagged) with a <title> naming its source, time and values, its
// ±1 sigma error bar (ending in an arrow where the panel cuts it), the weighted mean and a
// band of ±3 robust sigmas. With a model: the model's line and its band instead of the mean
// and its band, each step a vertical line labelled with its size, outliers crossed out,
// the thresholds as dashed lines, the velocity in the title and the status in a box.
SeriesPicture drawSeries(const SeriesDrawing& drawing);

// A robust sigma of deviations from the weighted mean: 1.4826 × their median absolute value
// (the median absolute deviation, scaled to a normal distribution's sigma: Rousseeuw and
// Croux 1993), but never below the median of the formal sigmas, so that a series of equal
// values keeps a band and one blunder cannot widen it. Medians of an even count are the
// mean of the two middle values; 0 for no values.
double robustSigma(std::span<const double> deviations, std::span<const double> sigmas);

// A sample's time as a reader names it: "2017-03-23 08:08" or "day 82 08:08".
std::string timeName(double time, DayCount days);

// sqrt(Σ wᵢ vᵢ² / Σ wᵢ) with wᵢ = 1 / sigmaᵢ² (sigmas > 0).
double weightedRms(std::span<const double> values, std::span<const double> sigmas);

// The name of a day of the axis: "2017-03-23", or "day 82" ("day 3 (+1 y)" in a later
// year) when the year is not known.
std::string dayName(long day, DayCount days);

}  // namespace velk::plot

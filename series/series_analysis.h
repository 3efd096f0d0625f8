#pragma once

// The analysis of one series, computed once into plain results that the text report, the
// JSON, the CSV and .mom files and the pictures show: the robust variance factor, steps
// and outliers found together, the velocity (MIDAS where the series spans a year, else
// least squares), the displacement since a reference epoch with its sigmas, and the
// warning and alarm levels it reaches.

#include <Eigen/Dense>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "series/midas.h"
#include "series/series.h"
#include "series/step_search.h"

namespace velk::series {

// What a displacement threshold applies to.
enum class Measure { kEast, kNorth, kUp, kHorizontal, k3d, kLength };
inline constexpr int kMeasureCount = 6;
// "east", "north", "up", "2d", "3d", "length": the keys of --warn and --alarm.
const char* measureKey(Measure measure);
std::optional<Measure> measureOfKey(const std::string& key);

// Thresholds in mm, one per measure or none.
using Thresholds = std::array<std::optional<double>, kMeasureCount>;

struct AnalysisOptions {
  // Steps: alpha, min_segment, step_mm and the known steps' epochs (excluded is not read).
  StepOptions steps;
  double alpha_outlier = 0.01;
  MidasRules midas;
  std::optional<double> reference_epoch;  // decimal year; nothing: the first point's
  Thresholds warn, alarm;
  int float_alarm = 3;               // this many last reports all float: warning
  std::optional<double> stale_days;  // a last report older than this before `now`: warning
  double now = 0;                    // decimal year
};

enum class Status { kOk, kWarning, kAlarm, kInsufficient, kUnstable };
const char* statusName(Status status);  // "ok", "warning", "alarm", "insufficient", "unstable"

enum class VelocityMethod { kMidas, kLeastSquares };

struct Velocity {
  VelocityMethod method = VelocityMethod::kLeastSquares;
  Eigen::Vector3d rate = Eigen::Vector3d::Zero();   // mm per year
  Eigen::Vector3d sigma = Eigen::Vector3d::Zero();  // mm per year
  std::array<int, 3> slopes_kept{};                 // MIDAS only
};

struct Outlier {
  std::size_t point = 0;
  double t = 0;  // rᵀ (f C)⁻¹ r when it was flagged
};

// The model at the last point minus the model at the reference epoch.
struct Displacement {
  Eigen::Vector3d enu = Eigen::Vector3d::Zero();    // mm (dX dY dZ for geocentric series)
  Eigen::Vector3d sigma = Eigen::Vector3d::Zero();  // mm
  // The norms and the change of the baseline's length, with sigmas propagated through
  // them to first order (the gradient of the norm, so that a displacement of zero, whose
  // norm has no gradient, takes the largest sigma of its components).
  double horizontal = 0, horizontal_sigma = 0;
  double d3 = 0, d3_sigma = 0;
  double length = 0, length_sigma = 0;

  // The value of a measure and its sigma.
  double value(Measure measure) const;
  double sigmaOf(Measure measure) const;
};

// Per point: its model value (mm, relative to the reference like `SeriesResult::values`),
// residual, segment and whether it is an outlier.
struct PointFit {
  Eigen::Vector3d model = Eigen::Vector3d::Zero();
  Eigen::Vector3d residual = Eigen::Vector3d::Zero();
  int segment = 0;
  bool outlier = false;
};

struct SeriesResult {
  Status status = Status::kInsufficient;
  std::size_t reports = 0;
  double span_years = 0;
  double variance_factor = 1;
  std::optional<Velocity> velocity;      // nothing: fewer than 3 reports or under 2 days
  std::optional<Velocity> lsq_velocity;  // the least-squares one, always when there is a trend
  std::vector<Step> steps;
  std::vector<Outlier> outliers;
  std::optional<Displacement> displacement;
  // The model at the reference epoch (mm, relative to the series' base): every value
  // shown is the point's minus this.
  Eigen::Vector3d reference = Eigen::Vector3d::Zero();
  std::vector<PointFit> points;  // empty when insufficient
  // The measures whose warning or alarm threshold is reached, and why a warning is raised
  // besides them ("the last 3 reports are float", "the last report is 12 days old").
  std::vector<Measure> warnings_reached, alarms_reached;
  std::vector<std::string> notes;
};

SeriesResult analyseSeries(const Series& series, const AnalysisOptions& options);

// The span under which the velocity is the least-squares one, not MIDAS's.
inline constexpr double kMidasLeastSpanYears = 1.05;

}  // namespace velk::series

#pragma once

// Steps of a series at unknown epochs, by binary segmentation (the offset search of
// Hector's findoffset works alike): in a segment of n points, every split that leaves at
// least `min_segment` points on each side is tried, its statistic T being the decrease of
// the weighted sum of squared residuals when the model (one trend for the series, one
// offset per segment) gains an offset there. T has 3 degrees of freedom; the largest is a
// step when it exceeds the chi-square value at alpha / (n − 1) (Bonferroni's bound over
// the n − 1 splits) and the step is larger than `step_mm`; then both halves are searched
// the same way. Each split costs a few 3×3 products on prefix sums of the points' moments,
// not a refit: a series of 10,000 points is searched in milliseconds.

#include <Eigen/Dense>
#include <cstddef>
#include <optional>
#include <vector>

#include "series/series.h"
#include "series/trend_model.h"

namespace velk::series {

struct StepOptions {
  double alpha = 0.01;
  int min_segment = 3;  // points (not excluded) on each side of a step, at least 1
  double step_mm = 0;   // a step must be larger than this in 3D (mm)
  // Epochs (decimal years) of steps known beforehand, such as an antenna change: the
  // segments they separate are searched, they are not. One outside the series, or with no
  // point between it and the previous, is passed over.
  std::vector<double> known_epochs;
  // Points left out (outliers), or empty: none.
  std::vector<bool> excluded;
  // The variance factor f that scales every covariance; nothing: varianceFactor(series).
  std::optional<double> variance_factor;
};

// One step of a series: at `epoch`, before the point `point` (the first after it).
struct Step {
  std::size_t point = 0;  // index into the series' points
  double epoch = 0;       // decimal year: the first point's for a step found, else the date given
  bool known = false;
  Eigen::Vector3d size = Eigen::Vector3d::Zero();        // mm: the offset after − before
  Eigen::Matrix3d covariance = Eigen::Matrix3d::Zero();  // mm², of `size`
  double t = 0;  // sizeᵀ covariance⁻¹ size: the decrease of the sum of squares it brings
};

// The epochs at which the segments of a series start (sorted), each known or found.
struct StepEpochs {
  std::vector<double> epochs;
  std::vector<bool> known;
};

// The known steps that stand and the steps found; `variance_factor` and `with_trend` as
// the caller settled them (options.variance_factor is not read).
StepEpochs searchSteps(const Series& series, const StepOptions& options, double variance_factor,
                       bool with_trend);

// Each step's size, covariance and T from a model fitted with those steps.
std::vector<Step> describeSteps(const Series& series, const StepEpochs& steps, const ModelFit& fit);

// The whole search: the steps of a series, each with its size from the final fit; the
// trend is in the model when carriesTrend(series). A series of fewer than 2 × min_segment
// points has no step found (the known ones still stand).
std::vector<Step> findSteps(const Series& series, const StepOptions& options);

// The chi-square value of 3 degrees of freedom that is exceeded with probability
// `probability` (0 < probability < 1).
double chiSquare3Critical(double probability);

}  // namespace velk::series

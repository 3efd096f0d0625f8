#pragma once

// Series made in memory for the tests: daily reports over a span, each with a covariance
// of its own and noise drawn from it, and a truth (velocity, steps, outliers) that the
// analysis is checked against.

#include <Eigen/Dense>
#include <cstdint>
#include <random>
#include <vector>

#include "series/series.h"

namespace velk::series::testing {

struct MadeStep {
  std::size_t point = 0;  // the first point after it
  Eigen::Vector3d size = Eigen::Vector3d::Zero();
};

struct SeriesTruth {
  int days = 3 * 365 + 1;                                      // one report a day
  double start = 2020.0;                                       // decimal year of the first
  Eigen::Vector3d velocity = Eigen::Vector3d(2.0, -1.0, 0.5);  // mm per year
  // The sigmas of every report (mm) before each report's own scaling by 0.8 to 1.25 and
  // its own correlations.
  Eigen::Vector3d sigma = Eigen::Vector3d(1.0, 1.2, 3.0);
  std::vector<MadeStep> steps;
  std::vector<MadeStep> outliers;  // moved by `size`
};

// The series of a truth, noise from `seed`.
Series madeSeries(const SeriesTruth& truth, std::uint64_t seed);

// The number of seeds of the rate tests: 200; 10 in the Debug build of the sanitizers,
// where a series costs thirty times as much (the rates are held there to every seed).
int seedCount();

}  // namespace velk::series::testing

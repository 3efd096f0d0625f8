#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "checks/pair_network.h"
#include "geodesy/geodesy.h"
#include "geodesy/local_frame.h"
#include "reading/report.h"

namespace velk {

// A step in the series of a repeated pair: the reports after it sit apart from those before
// it, found by the step search of the series (binary segmentation with a chi-square test of
// 3 degrees of freedom at alpha over the number of splits; see series/step_search.h).
struct RepeatStep {
  std::size_t first_after = 0;  // index into the reports: the first report after the step
  double epoch_mjd = 0;         // the middle of that report's observation period
  LocalENU enu;                 // metres: the offset after − before, at the pair's first station
  LocalENU sigma;               // metres: its standard deviations
  double length = 0;            // metres: |enu|
  double t = 0;                 // its test statistic
};

// Pairs of this many reports or more are searched for steps.
inline constexpr std::size_t kLeastReportsForStepSearch = 6;

// The steps of a pair's mean reports in time order (none below kLeastReportsForStepSearch),
// each covariance scaled by `variance_factor`, at `alpha`, at least 3 reports on each side.
std::vector<RepeatStep> findRepeatSteps(std::span<const Report> reports, const PairMean& pair,
                                        const LocalFrame& frame, double variance_factor,
                                        double alpha);

}  // namespace velk

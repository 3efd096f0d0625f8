#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "checks/finding_test.h"
#include "checks/pair_network.h"
#include "checks/station_spread.h"
#include "reading/report.h"

namespace velk {

// A float report of a pair that has fixed reports, against the mean of those.
struct FloatComparison {
  std::size_t report = 0;  // index into the reports checked
  std::size_t pair = 0;    // index into the pair network
  Cartesian xyz;           // metres: the report's vector (in the pair's direction) − x̄
  LocalENU enu;            // the same in the local frame of the pair's first station
  // T = dᵀ (C_f + C_x̄)⁻¹ d, the two independent, 3 degrees of freedom; length: |d|;
  // reference: the length of x̄. Flagged, the report is `float_disagrees`.
  TestOutcome test;
};

// One comparison per set-aside float report, in the order of the pairs and then of the
// reports.
std::vector<FloatComparison> compareFloatReports(std::span<const Report> reports,
                                                 std::span<const PairMean> pairs,
                                                 std::span<const StationCheck> stations,
                                                 double variance_factor, FindingTest& finding_test);

}  // namespace velk

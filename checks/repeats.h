#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "checks/finding_test.h"
#include "checks/pair_network.h"
#include "checks/station_spread.h"
#include "reading/report.h"

namespace velk {

// One report of a repeated pair against the pair's weighted mean.
struct RepeatDifference {
  std::size_t report = 0;  // index into the reports checked
  Cartesian xyz;           // metres: the report's vector (in the pair's direction) − x̄
  LocalENU enu;            // the same in the local frame of the pair's first station
  // dᵀ (Cᵢ − C_x̄)⁻¹ d, 3 degrees of freedom: which of several reports stands out; NaN when
  // Cᵢ − C_x̄ is not positive definite.
  double t = 0;
};

// A pair measured by two or more reports.
struct RepeatCheck {
  std::size_t pair = 0;  // index into the pair network
  std::vector<RepeatDifference> differences;
  // T = Σ dᵢᵀ Cᵢ⁻¹ dᵢ with 3(n − 1) degrees of freedom; length: the largest |dᵢ|; reference:
  // the length of x̄.
  TestOutcome test;
};

std::vector<RepeatCheck> checkRepeats(std::span<const Report> reports,
                                      std::span<const PairMean> pairs,
                                      std::span<const StationCheck> stations,
                                      double variance_factor, FindingTest& finding_test);

}  // namespace velk

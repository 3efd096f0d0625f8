#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "checks/finding_test.h"
#include "checks/pair_network.h"
#include "checks/repeat_steps.h"
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

// The split in time of a pair's reports, ordered by the middle of their observation
// periods, across which the weighted means of the reports before and after it differ most.
// Only splits with at least kSideOfSplit reports on each side, between two different
// moments, count: a mark that moved shows as such a step, which the differences from the
// one mean of all reports halve.
struct SplitInTime {
  std::size_t before = 0, after = 0;  // reports on each side
  // The last report before the split and the first after it: indices into the reports.
  std::size_t last_before = 0, first_after = 0;
  Cartesian xyz;  // metres: the mean after the split − the mean before it
  LocalENU enu;   // the same in the local frame of the pair's first station
  double length = 0;
};
inline constexpr std::size_t kSideOfSplit = 3;

// A pair whose mean is taken from two or more reports.
struct RepeatCheck {
  std::size_t pair = 0;  // index into the pair network
  std::vector<RepeatDifference> differences;
  double largest = 0;                // metres: the largest |dᵢ|
  std::optional<SplitInTime> split;  // none below 2 × kSideOfSplit reports over time
  // T = Σ dᵢᵀ Cᵢ⁻¹ dᵢ with 3(n − 1) degrees of freedom; reference: the length of x̄; length:
  // how far the pair moved, the larger of `largest` and the split's length.
  TestOutcome test;
  // The steps that the search of the pair's series finds (pairs of
  // kLeastReportsForStepSearch reports or more), in time order. One larger than the
  // test's limit flags the repeat `step`, whatever T says: the search has its own test.
  std::vector<RepeatStep> steps;
  // The largest step beyond the limit, if any.
  const RepeatStep* flaggedStep() const {
    const RepeatStep* largest = nullptr;
    for (const RepeatStep& step : steps)
      if (step.length > test.limit && (largest == nullptr || step.length > largest->length))
        largest = &step;
    return largest;
  }
  // Flagged by its test, or by a step.
  bool flagged() const { return test.flagged || flaggedStep() != nullptr; }
  // When flagged: the report whose leaving out makes the test pass, if one does. Only the
  // report of the largest t is tried (the one the differences single out), and only
  // among three or more reports: of two, nothing tells which one is wrong.
  std::optional<std::size_t> outlier;
};

std::vector<RepeatCheck> checkRepeats(std::span<const Report> reports,
                                      std::span<const PairMean> pairs,
                                      std::span<const StationCheck> stations,
                                      double variance_factor, FindingTest& finding_test);

}  // namespace velk

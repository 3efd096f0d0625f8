#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "checks/finding_test.h"
#include "checks/pair_network.h"
#include "checks/station_spread.h"
#include "reading/report.h"

namespace velk {

// One loop of the minimum cycle basis of the pair network.
struct LoopCheck {
  // Indices into the stations, from the alphabetically first, round once (not closed).
  std::vector<int> stations;
  // The legs: legs[i] is the pair from stations[i] to stations[i + 1] (the last leg back to
  // stations[0]); forward[i] when that is the pair's own direction.
  std::vector<std::size_t> legs;
  std::vector<bool> forward;
  Cartesian misclosure;  // metres: the sum of the legs' mean vectors round the loop
  LocalENU enu;          // the same in the local frame of the first station
  double perimeter = 0;  // metres: the sum of the legs' lengths
  double ppm = 0;        // |misclosure| / perimeter × 10⁶
  // Every report of every leg was observed in one common period: such a loop closes by
  // construction and proves little.
  bool same_session = false;
  // A leg is a pair measured by float reports only: the loop is only as good as those.
  bool float_leg = false;
  // T = mᵀ C⁻¹ m, C the sum of the legs' covariances, 3 degrees of freedom; length: |m|;
  // reference: the perimeter.
  TestOutcome test;
};

std::vector<LoopCheck> checkLoops(std::span<const Report> reports, std::span<const PairMean> pairs,
                                  std::span<const StationCheck> stations,
                                  FindingTest& finding_test);

}  // namespace velk

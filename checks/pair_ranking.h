#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "checks/loops.h"
#include "checks/pair_network.h"
#include "checks/station_spread.h"

namespace velk {

// A pair on at least one flagged loop.
struct Suspect {
  std::size_t pair = 0;   // index into the pair network
  int loops = 0;          // loops of the basis it is on
  int flagged_loops = 0;  // of which flagged
  double t_sum = 0;       // T summed over its flagged loops
  // On a single loop: nothing tells it apart from the loop's other pairs.
  bool alone = false;
};

// Ranked by the share of its loops that are flagged, then the number flagged, then the sum
// of T over them (all three the higher the earlier), then by the stations' names.
std::vector<Suspect> rankSuspects(std::span<const PairMean> pairs,
                                  std::span<const LoopCheck> loops,
                                  std::span<const StationCheck> stations);

}  // namespace velk

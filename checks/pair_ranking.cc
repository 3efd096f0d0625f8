#include "checks/pair_ranking.h"

#include <algorithm>
#include <tuple>

namespace velk {

std::vector<Suspect> rankSuspects(std::span<const PairMean> pairs,
                                  std::span<const LoopCheck> loops,
                                  std::span<const StationCheck> stations) {
  std::vector<Suspect> tally(pairs.size());
  for (const LoopCheck& loop : loops) {
    for (const std::size_t leg : loop.legs) {
      Suspect& suspect = tally[leg];
      ++suspect.loops;
      if (!loop.test.flagged) continue;
      ++suspect.flagged_loops;
      suspect.t_sum += loop.test.t;
    }
  }
  std::vector<Suspect> suspects;
  for (std::size_t p = 0; p < tally.size(); ++p) {
    if (tally[p].flagged_loops == 0) continue;
    tally[p].pair = p;
    tally[p].alone = tally[p].loops == 1;
    suspects.push_back(tally[p]);
  }
  const auto name = [&](int station) -> const std::string& {
    return stations[static_cast<std::size_t>(station)].name;
  };
  std::sort(suspects.begin(), suspects.end(), [&](const Suspect& a, const Suspect& b) {
    // Shares compared as fractions, so that 2/2 and 1/1 are equal exactly.
    const long share_a = static_cast<long>(a.flagged_loops) * b.loops;
    const long share_b = static_cast<long>(b.flagged_loops) * a.loops;
    if (share_a != share_b) return share_a > share_b;
    if (a.flagged_loops != b.flagged_loops) return a.flagged_loops > b.flagged_loops;
    if (a.t_sum != b.t_sum) return a.t_sum > b.t_sum;
    const PairMean& pa = pairs[a.pair];
    const PairMean& pb = pairs[b.pair];
    return std::tie(name(pa.from), name(pa.to)) < std::tie(name(pb.from), name(pb.to));
  });
  return suspects;
}

}  // namespace velk

#include "checks/loops.h"

#include <algorithm>
#include <limits>

#include "checks/cycle_basis.h"
#include "geodesy/local_frame.h"
#include "checks/vector_math.h"

namespace velk {
namespace {

namespace vm = vector_math;

// Whether the reports of all legs share a moment of observation.
bool fromOneSession(std::span<const Report> reports, std::span<const PairMean> pairs,
                    const LoopCheck& loop) {
  double latest_start = -std::numeric_limits<double>::infinity();
  double earliest_end = std::numeric_limits<double>::infinity();
  for (const std::size_t leg : loop.legs) {
    for (const std::size_t r : pairs[leg].reports) {
      latest_start = std::max(latest_start, reports[r].start_mjd);
      earliest_end = std::min(earliest_end, reports[r].end_mjd);
    }
  }
  return latest_start < earliest_end;
}

LoopCheck closeLoop(const BasisCycle& cycle, std::span<const PairMean> pairs) {
  LoopCheck loop;
  loop.stations = cycle.vertices;
  Matrix3 covariance;
  for (std::size_t i = 0; i < cycle.edges.size(); ++i) {
    const auto leg = static_cast<std::size_t>(cycle.edges[i]);
    const PairMean& pair = pairs[leg];
    const bool forward = pair.from == cycle.vertices[i];
    loop.legs.push_back(leg);
    loop.forward.push_back(forward);
    loop.misclosure = vm::plus(loop.misclosure, forward ? pair.mean : vm::scaled(pair.mean, -1.0));
    covariance = vm::plus(covariance, pair.covariance);
    loop.float_leg = loop.float_leg || pair.float_only;
    loop.perimeter += pair.length;
  }
  loop.test.t = vm::quadraticForm(vm::factorOfPositiveDefinite(covariance), loop.misclosure);
  loop.test.length = vm::norm(loop.misclosure);
  loop.ppm = loop.perimeter > 0 ? loop.test.length / loop.perimeter * 1e6 : 0.0;
  return loop;
}

}  // namespace

std::vector<LoopCheck> checkLoops(std::span<const Report> reports, std::span<const PairMean> pairs,
                                  std::span<const StationCheck> stations,
                                  FindingTest& finding_test) {
  std::vector<WeightedEdge> edges;
  edges.reserve(pairs.size());
  for (const PairMean& pair : pairs) edges.push_back({pair.from, pair.to, pair.length});
  // Stations are numbered in the order of their names, so ties go by names and each loop
  // starts at its alphabetically first station.
  const std::vector<BasisCycle> cycles =
      minimumCycleBasis(static_cast<int>(stations.size()), edges);

  std::vector<LoopCheck> loops;
  loops.reserve(cycles.size());
  for (const BasisCycle& cycle : cycles) {
    LoopCheck loop = closeLoop(cycle, pairs);
    const LocalFrame frame(stations[static_cast<std::size_t>(loop.stations[0])].position);
    loop.enu = frame.components(loop.misclosure);
    loop.same_session = fromOneSession(reports, pairs, loop);
    loop.test = finding_test.assess(loop.test.t, 3, loop.test.length, loop.perimeter);
    loops.push_back(std::move(loop));
  }
  return loops;
}

}  // namespace velk

#include "checks/pair_network.h"

#include <algorithm>
#include <string>
#include <utility>

#include "checks/vector_math.h"
#include "geodesy/covariance.h"
#include "network/station_graph.h"

namespace velk {
namespace {

namespace vm = vector_math;

int stationIndex(std::span<const StationCheck> stations, const std::string& name) {
  const auto found = std::lower_bound(
      stations.begin(), stations.end(), name,
      [](const StationCheck& station, const std::string& key) { return station.name < key; });
  return static_cast<int>(found - stations.begin());
}

// x̄ = (Σ Cᵢ⁻¹)⁻¹ Σ Cᵢ⁻¹ xᵢ and C_x̄ = (Σ Cᵢ⁻¹)⁻¹. Every Cᵢ passed the positive-definite test
// when its report was flagged; their inverses and the sum of those are positive definite.
void takeWeightedMean(std::span<const Report> reports, double variance_factor, PairMean& pair) {
  Matrix3 weight;
  Cartesian weighted;
  for (std::size_t k = 0; k < pair.reports.size(); ++k) {
    const Report& report = reports[pair.reports[k]];
    const Matrix3 inverse =
        choleskyInverse(vm::factorOfPositiveDefinite(vm::scaled(report.covariance(), variance_factor)));
    weight = vm::plus(weight, inverse);
    weighted = vm::plus(weighted, vm::times(inverse, pairVector(report, pair.reversed[k])));
  }
  const Matrix3 lower = vm::factorOfPositiveDefinite(weight);
  pair.covariance = choleskyInverse(lower);
  pair.mean = choleskySolve(lower, weighted);
}

}  // namespace

void takePairMean(std::span<const Report> reports, double variance_factor, PairMean& pair) {
  if (pair.reports.size() == 1) {
    pair.mean = pairVector(reports[pair.reports[0]], pair.reversed[0]);
    pair.covariance = vm::scaled(reports[pair.reports[0]].covariance(), variance_factor);
  } else {
    takeWeightedMean(reports, variance_factor, pair);
  }
  pair.length = vm::norm(pair.mean);
}

Cartesian pairVector(const Report& report, bool reversed) {
  return reversed ? vm::scaled(report.vector, -1.0) : report.vector;
}

std::vector<PairMean> buildPairNetwork(std::span<const Report> reports,
                                       std::span<const BaselineCheck> baselines,
                                       std::span<const StationCheck> stations,
                                       double variance_factor) {
  std::vector<Report> usable;
  std::vector<std::size_t> index_of;  // usable report -> index into `reports`
  for (const BaselineCheck& baseline : baselines) {
    if (!baseline.usable) continue;
    usable.push_back(reports[baseline.report]);
    index_of.push_back(baseline.report);
  }
  const StationGraph graph(usable);

  std::vector<PairMean> pairs;
  pairs.reserve(graph.pairs().size());
  for (const StationPair& station_pair : graph.pairs()) {
    PairMean pair;
    pair.from = stationIndex(stations, graph.stationName(station_pair.from));
    pair.to = stationIndex(stations, graph.stationName(station_pair.to));
    pair.float_only = std::none_of(station_pair.reports.begin(), station_pair.reports.end(),
                                   [&](std::size_t k) { return usable[k].fixed; });
    for (const std::size_t k : station_pair.reports) {
      const bool in_mean = pair.float_only || usable[k].fixed;
      (in_mean ? pair.reports : pair.set_aside).push_back(index_of[k]);
      (in_mean ? pair.reversed : pair.set_aside_reversed)
          .push_back(graph.isReversed(station_pair, usable[k]));
    }
    takePairMean(reports, variance_factor, pair);
    pairs.push_back(std::move(pair));
  }
  return pairs;
}

}  // namespace velk

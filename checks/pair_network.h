#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "checks/baseline_flags.h"
#include "checks/station_spread.h"
#include "geodesy/geodesy.h"
#include "reading/report.h"

namespace velk {

// A station pair of the usable reports, measured once or more, taken as the weighted mean
// of its reports (weights: the inverse covariances). `from` and `to` follow the pair's
// first report; a report measured the other way round is negated, its covariance kept.
struct PairMean {
  int from = 0, to = 0;              // indices into the stations (in the order of names)
  std::vector<std::size_t> reports;  // indices into the reports checked, in their order
  std::vector<bool> reversed;        // per report: measured from `to` to `from`
  Cartesian mean;                    // metres
  Matrix3 covariance;                // m², the variance factor applied
  double length = 0;                 // metres
};

// The pairs in the order of their first reports. `stations` is checkStations' list of the
// same reports; a report from a station to itself makes no pair.
std::vector<PairMean> buildPairNetwork(std::span<const Report> reports,
                                       std::span<const BaselineCheck> baselines,
                                       std::span<const StationCheck> stations,
                                       double variance_factor);

// A report's vector in its pair's direction.
Cartesian pairVector(const Report& report, bool reversed);

}  // namespace velk

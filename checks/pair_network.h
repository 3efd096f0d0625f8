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
// of its reports (weights: the inverse covariances). Where the pair has fixed reports, the
// mean is theirs alone: a float solution, centimetres off with sigmas to match, would
// otherwise pull the mean and spoil every loop and repeat through the pair. Its float
// reports are set aside, to be compared with the fixed mean. `from` and `to` follow the
// pair's first report; a report measured the other way round is negated, its covariance
// kept.
struct PairMean {
  int from = 0, to = 0;  // indices into the stations (in the order of names)
  // The reports of the mean, indices into the reports checked, in their order: the fixed
  // ones, or all of them when the pair has no fixed report.
  std::vector<std::size_t> reports;
  std::vector<bool> reversed;  // per report of the mean: measured from `to` to `from`
  // The float reports of a pair that has fixed ones, in their order, and their directions.
  std::vector<std::size_t> set_aside;
  std::vector<bool> set_aside_reversed;
  bool float_only = false;  // measured by float reports only
  Cartesian mean;           // metres
  Matrix3 covariance;       // m², the variance factor applied
  double length = 0;        // metres
};

// The pairs in the order of their first reports. `stations` is checkStations' list of the
// same reports; a report from a station to itself makes no pair.
std::vector<PairMean> buildPairNetwork(std::span<const Report> reports,
                                       std::span<const BaselineCheck> baselines,
                                       std::span<const StationCheck> stations,
                                       double variance_factor);

// A report's vector in its pair's direction.
Cartesian pairVector(const Report& report, bool reversed);

// Sets the pair's mean and covariance from its `reports` (one or more) and `reversed`, each
// report's covariance multiplied by `variance_factor`.
void takePairMean(std::span<const Report> reports, double variance_factor, PairMean& pair);

}  // namespace velk

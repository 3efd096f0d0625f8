#include "checks/repeats.h"

#include <algorithm>
#include <limits>

#include "geodesy/local_frame.h"
#include "checks/vector_math.h"

namespace velk {
namespace {

namespace vm = vector_math;

RepeatCheck checkRepeat(std::span<const Report> reports, const PairMean& pair,
                        const LocalFrame& frame, double variance_factor) {
  RepeatCheck repeat;
  double t = 0;
  double largest = 0;
  for (std::size_t k = 0; k < pair.reports.size(); ++k) {
    const Report& report = reports[pair.reports[k]];
    const Matrix3 covariance = vm::scaled(report.covariance(), variance_factor);
    RepeatDifference difference;
    difference.report = pair.reports[k];
    difference.xyz = vm::minus(pairVector(report, pair.reversed[k]), pair.mean);
    difference.enu = frame.components(difference.xyz);
    difference.t = vm::quadraticForm(difference.xyz, vm::minus(covariance, pair.covariance))
                       .value_or(std::numeric_limits<double>::quiet_NaN());
    t += vm::quadraticForm(vm::factorOfPositiveDefinite(covariance), difference.xyz);
    largest = std::max(largest, vm::norm(difference.xyz));
    repeat.differences.push_back(difference);
  }
  repeat.test.t = t;
  repeat.test.length = largest;
  return repeat;
}

}  // namespace

std::vector<RepeatCheck> checkRepeats(std::span<const Report> reports,
                                      std::span<const PairMean> pairs,
                                      std::span<const StationCheck> stations,
                                      double variance_factor, FindingTest& finding_test) {
  std::vector<RepeatCheck> repeats;
  for (std::size_t p = 0; p < pairs.size(); ++p) {
    const PairMean& pair = pairs[p];
    if (pair.reports.size() < 2) continue;
    const LocalFrame frame(stations[static_cast<std::size_t>(pair.from)].position);
    RepeatCheck repeat = checkRepeat(reports, pair, frame, variance_factor);
    repeat.pair = p;
    const int dof = 3 * (static_cast<int>(pair.reports.size()) - 1);
    repeat.test = finding_test.assess(repeat.test.t, dof, repeat.test.length, pair.length);
    repeats.push_back(std::move(repeat));
  }
  return repeats;
}

}  // namespace velk

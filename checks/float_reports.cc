#include "checks/float_reports.h"

#include "checks/vector_math.h"
#include "geodesy/local_frame.h"

namespace velk {

namespace vm = vector_math;

std::vector<FloatComparison> compareFloatReports(std::span<const Report> reports,
                                                 std::span<const PairMean> pairs,
                                                 std::span<const StationCheck> stations,
                                                 double variance_factor,
                                                 FindingTest& finding_test) {
  std::vector<FloatComparison> comparisons;
  for (std::size_t p = 0; p < pairs.size(); ++p) {
    const PairMean& pair = pairs[p];
    if (pair.set_aside.empty()) continue;
    const LocalFrame frame(stations[static_cast<std::size_t>(pair.from)].position);
    for (std::size_t k = 0; k < pair.set_aside.size(); ++k) {
      const Report& report = reports[pair.set_aside[k]];
      FloatComparison comparison;
      comparison.report = pair.set_aside[k];
      comparison.pair = p;
      comparison.xyz = vm::minus(pairVector(report, pair.set_aside_reversed[k]), pair.mean);
      comparison.enu = frame.components(comparison.xyz);
      const Matrix3 covariance =
          vm::plus(vm::scaled(report.covariance(), variance_factor), pair.covariance);
      const double t = vm::quadraticForm(vm::factorOfPositiveDefinite(covariance), comparison.xyz);
      comparison.test = finding_test.assess(t, 3, vm::norm(comparison.xyz), pair.length);
      comparisons.push_back(comparison);
    }
  }
  return comparisons;
}

}  // namespace velk

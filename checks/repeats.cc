#include "checks/repeats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "checks/vector_math.h"
#include "geodesy/local_frame.h"

namespace velk {
namespace {

namespace vm = vector_math;

double middleOf(const Report& report) {
  return (report.start_mjd + report.end_mjd) / 2;
}

// Σ Cᵢ⁻¹ and Σ Cᵢ⁻¹ xᵢ of some reports: enough for their weighted mean.
struct WeightSum {
  Matrix3 weight;
  Cartesian weighted;
};
WeightSum plus(const WeightSum& a, const WeightSum& b) {
  return {vm::plus(a.weight, b.weight), vm::plus(a.weighted, b.weighted)};
}
Cartesian meanOf(const WeightSum& sum) {
  return choleskySolve(vm::factorOfPositiveDefinite(sum.weight), sum.weighted);
}

// The split of the pair's reports in time with the largest step between the weighted means
// on its two sides. Sums from both ends make each side's mean exact, without subtracting.
std::optional<SplitInTime> largestSplit(std::span<const Report> reports, const PairMean& pair,
                                        const LocalFrame& frame, double variance_factor) {
  const std::size_t n = pair.reports.size();
  if (n < 2 * kSideOfSplit) return std::nullopt;
  std::vector<std::size_t> order(n);  // positions in the pair, by time
  std::iota(order.begin(), order.end(), std::size_t{0});
  const auto middle = [&](std::size_t k) { return middleOf(reports[pair.reports[k]]); };
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return middle(a) < middle(b); });
  std::vector<WeightSum> before(n + 1), after(n + 1);  // of the first k, of k and later
  std::vector<WeightSum> terms(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t at = order[k];
    const Report& report = reports[pair.reports[at]];
    const Matrix3 inverse = choleskyInverse(
        vm::factorOfPositiveDefinite(vm::scaled(report.covariance(), variance_factor)));
    terms[k] = {inverse, vm::times(inverse, pairVector(report, pair.reversed[at]))};
    before[k + 1] = plus(before[k], terms[k]);
  }
  for (std::size_t k = n; k-- > 0;) after[k] = plus(after[k + 1], terms[k]);

  std::optional<SplitInTime> best;
  for (std::size_t k = kSideOfSplit; k + kSideOfSplit <= n; ++k) {
    if (!(middle(order[k - 1]) < middle(order[k]))) continue;  // not a moment in between
    const Cartesian step = vm::minus(meanOf(after[k]), meanOf(before[k]));
    const double length = vm::norm(step);
    if (best && !(length > best->length)) continue;
    best =
        SplitInTime{k, n - k, pair.reports[order[k - 1]], pair.reports[order[k]], step, {}, length};
  }
  if (best) best->enu = frame.components(best->xyz);
  return best;
}

// How far the pair moved by the evidence at hand: its largest difference from the mean, and
// the step across its split in time. A step found by a search of the pair's series would be
// one more length here.
double movedLength(const RepeatCheck& repeat) {
  return std::max(repeat.largest, repeat.split ? repeat.split->length : 0.0);
}

// The differences, the split and the test of the pair's reports against their mean.
RepeatCheck measureRepeat(std::span<const Report> reports, const PairMean& pair,
                          const LocalFrame& frame, double variance_factor,
                          FindingTest& finding_test) {
  RepeatCheck repeat;
  double t = 0;
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
    repeat.largest = std::max(repeat.largest, vm::norm(difference.xyz));
    repeat.differences.push_back(difference);
  }
  repeat.split = largestSplit(reports, pair, frame, variance_factor);
  const int dof = 3 * (static_cast<int>(pair.reports.size()) - 1);
  repeat.test = finding_test.assess(t, dof, movedLength(repeat), pair.length);
  return repeat;
}

// The report of the largest t, when the pair's other reports pass the test without it.
std::optional<std::size_t> loneOutlier(std::span<const Report> reports, const PairMean& pair,
                                       const RepeatCheck& repeat, const LocalFrame& frame,
                                       double variance_factor, FindingTest& finding_test) {
  if (pair.reports.size() < 3) return std::nullopt;
  // NaN (no t) compares as the smallest.
  const auto largest = std::max_element(repeat.differences.begin(), repeat.differences.end(),
                                        [](const RepeatDifference& a, const RepeatDifference& b) {
                                          return std::isnan(a.t) ? !std::isnan(b.t) : a.t < b.t;
                                        });
  if (std::isnan(largest->t)) return std::nullopt;
  const auto k = static_cast<std::ptrdiff_t>(largest - repeat.differences.begin());
  PairMean others = pair;
  others.reports.erase(others.reports.begin() + k);
  others.reversed.erase(others.reversed.begin() + k);
  takePairMean(reports, variance_factor, others);
  const RepeatCheck without = measureRepeat(reports, others, frame, variance_factor, finding_test);
  if (without.test.flagged) return std::nullopt;
  return largest->report;
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
    RepeatCheck repeat = measureRepeat(reports, pair, frame, variance_factor, finding_test);
    repeat.pair = p;
    repeat.steps = findRepeatSteps(reports, pair, frame, variance_factor, finding_test.alpha());
    if (repeat.test.flagged)
      repeat.outlier = loneOutlier(reports, pair, repeat, frame, variance_factor, finding_test);
    repeats.push_back(std::move(repeat));
  }
  return repeats;
}

}  // namespace velk

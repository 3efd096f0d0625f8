#include "checks/repeat_steps.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "checks/vector_math.h"
#include "series/epochs.h"
#include "series/step_search.h"

namespace velk {
namespace {

namespace vm = vector_math;

double middleOf(const Report& report) { return (report.start_mjd + report.end_mjd) / 2; }

// The pair's reports as a series: east, north and up of each vector (in the pair's
// direction) in mm at the pair's first station, minus the first report's; covariances
// turned into that frame.
series::Series repeatSeries(std::span<const Report> reports, const PairMean& pair,
                            const LocalFrame& frame, double variance_factor,
                            std::vector<std::size_t>& report_of_point) {
  report_of_point = pair.reports;
  std::vector<std::size_t> order(pair.reports.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return middleOf(reports[pair.reports[a]]) < middleOf(reports[pair.reports[b]]);
  });
  series::Series series;
  const Matrix3& rotation = frame.rotation();
  for (const std::size_t k : order) {
    const Report& report = reports[pair.reports[k]];
    const Cartesian vector = pair.reversed[k] ? vm::scaled(report.vector, -1) : report.vector;
    const LocalENU enu = frame.components(vector);
    const Matrix3 local = ABAT(rotation, vm::scaled(report.covariance(), variance_factor));
    series::SeriesPoint point;
    point.epoch = series::decimalYear(middleOf(report));
    point.value = Eigen::Vector3d(enu.e, enu.n, enu.u) * 1000;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) point.covariance(i, j) = local(i + 1, j + 1) * 1e6;
    point.file = report.file;
    series.points.push_back(std::move(point));
  }
  const Eigen::Vector3d first = series.points.front().value;
  for (series::SeriesPoint& point : series.points) point.value -= first;
  series.base = first;
  for (std::size_t i = 0; i < order.size(); ++i) report_of_point[i] = pair.reports[order[i]];
  return series;
}

}  // namespace

std::vector<RepeatStep> findRepeatSteps(std::span<const Report> reports, const PairMean& pair,
                                        const LocalFrame& frame, double variance_factor,
                                        double alpha) {
  if (pair.reports.size() < kLeastReportsForStepSearch) return {};
  std::vector<std::size_t> report_of_point;
  const series::Series series =
      repeatSeries(reports, pair, frame, variance_factor, report_of_point);
  series::StepOptions options;
  options.alpha = alpha;
  std::vector<RepeatStep> steps;
  for (const series::Step& found : series::findSteps(series, options)) {
    RepeatStep step;
    step.first_after = report_of_point[found.point];
    step.epoch_mjd = middleOf(reports[step.first_after]);
    step.enu = {found.size(0) / 1000, found.size(1) / 1000, found.size(2) / 1000};
    step.sigma = {std::sqrt(found.covariance(0, 0)) / 1000, std::sqrt(found.covariance(1, 1)) / 1000,
                  std::sqrt(found.covariance(2, 2)) / 1000};
    step.length = found.size.norm() / 1000;
    step.t = found.t;
    steps.push_back(step);
  }
  return steps;
}

}  // namespace velk

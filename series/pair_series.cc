#include "series/pair_series.h"

#include <algorithm>
#include <numeric>

#include "geodesy/covariance.h"
#include "geodesy/local_frame.h"
#include "network/station_graph.h"
#include "series/epochs.h"

namespace velk::series {
namespace {

constexpr double kMillimetresPerMetre = 1000.0;

Eigen::Matrix3d toEigen(const Matrix3& m) {
  Eigen::Matrix3d e;
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) e(i - 1, j - 1) = m(i, j);
  return e;
}

double middleEpoch(const Report& report) {
  return decimalYear((report.start_mjd + report.end_mjd) / 2);
}

Series seriesOf(std::span<const Report> reports, const StationGraph& graph, const StationPair& pair,
                bool with_float) {
  Series series;
  series.from = graph.stationName(pair.from);
  series.to = graph.stationName(pair.to);
  const LocalFrame frame(reports[pair.reports.front()].mark1);
  const Eigen::Matrix3d rotation = toEigen(frame.rotation());
  std::vector<std::size_t> order = pair.reports;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return middleEpoch(reports[a]) < middleEpoch(reports[b]);
  });
  bool first = true;
  for (const std::size_t index : order) {
    const Report& report = reports[index];
    series.trailing_float_reports = report.fixed ? 0 : series.trailing_float_reports + 1;
    series.last_report_epoch = middleEpoch(report);
    if (!report.fixed && !with_float) continue;
    const double sign = graph.isReversed(pair, report) ? -1.0 : 1.0;
    const LocalENU enu = frame.components(report.vector);
    const Eigen::Vector3d absolute =
        sign * kMillimetresPerMetre * Eigen::Vector3d(enu.e, enu.n, enu.u);
    if (first) series.base = absolute;
    first = false;
    SeriesPoint point;
    point.epoch = middleEpoch(report);
    point.value = absolute - series.base;
    point.covariance = kMillimetresPerMetre * kMillimetresPerMetre * rotation *
                       toEigen(report.covariance()) * rotation.transpose();
    point.file = report.file;
    point.is_float = !report.fixed;
    series.points.push_back(point);
  }
  return series;
}

}  // namespace

std::string unusableForSeries(const Report& report) {
  for (const ReportItem item : {ReportItem::kNames, ReportItem::kVector, ReportItem::kSigmas,
                                ReportItem::kMark1, ReportItem::kDate})
    if (report.lacks(item)) return "no " + std::string(reportItemName(item));
  if (report.fixed_station == report.unknown_station) return "a baseline from a station to itself";
  if (!isPositiveDefinite(report.covariance())) return "covariance not positive definite";
  return {};
}

std::vector<Series> pairSeries(std::span<const Report> reports, bool with_float) {
  const StationGraph graph(reports);
  std::vector<Series> all;
  for (const StationPair& pair : graph.pairs())
    all.push_back(seriesOf(reports, graph, pair, with_float));
  return all;
}

}  // namespace velk::series

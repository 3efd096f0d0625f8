// Series made from O-files of the network generator, read each on its own.

#include "series/pair_series.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "reading/read_reports.h"
#include "series/series_analysis.h"
#include "tools/synthetic_network.h"

namespace velk::series {
namespace {

namespace gen = campaign;

std::vector<Report> readNetwork(const gen::NetworkOptions& options) {
  std::vector<Report> reports;
  for (const gen::NetworkReport& report : gen::generateNetwork(options).reports) {
    std::istringstream in(report.text);
    read_reports(in, report.name, reports, [](std::string_view) {});
  }
  return reports;
}

// One pair measured 60 times, its mark moved 15 mm north from the 31st report on.
TEST(PairSeries, SixtyReportsWithAJumpGiveOneStepOfItsSizeAtItsReport) {
  gen::NetworkOptions options;
  options.stations = 2;
  options.measurements = gen::measureEach({{0, 1}}, 60);
  options.error = gen::errorAlong(options, 30, gen::Axis::kNorth, 0.015);
  options.error_persists = true;
  const std::vector<Report> reports = readNetwork(options);
  ASSERT_EQ(reports.size(), 60u);
  for (const Report& report : reports) EXPECT_EQ(unusableForSeries(report), "");
  const std::vector<Series> all = pairSeries(reports, false);
  ASSERT_EQ(all.size(), 1u);
  const SeriesResult result = analyseSeries(all[0], {});
  ASSERT_EQ(result.steps.size(), 1u);
  EXPECT_EQ(all[0].points[result.steps[0].point].file, reports[30].file);
  EXPECT_NEAR(result.steps[0].size(1), 15.0, 1.5);
  EXPECT_NEAR(result.steps[0].size(0), 0.0, 1.5);
  EXPECT_NEAR(result.steps[0].size(2), 0.0, 3 * std::sqrt(result.steps[0].covariance(2, 2)));
  EXPECT_TRUE(result.outliers.empty());
}

// Reversed reports are negated into the pair's direction, float ones count but are left
// out, and the components are those of the local frame of the first report's mark 1.
TEST(PairSeries, ReversedReportsAreNegatedAndFloatOnesCounted) {
  gen::NetworkOptions options;
  options.stations = 2;
  options.measurements = gen::measureEach({{0, 1}}, 3);
  options.measurements.push_back({{1, 0}, gen::kOwnSession});
  std::vector<Report> reports = readNetwork(options);
  ASSERT_EQ(reports.size(), 4u);
  reports[2].fixed = false;
  const Series series = pairSeries(reports, false).at(0);
  EXPECT_EQ(series.from, "S001");
  ASSERT_EQ(series.points.size(), 3u);
  EXPECT_EQ(series.trailing_float_reports, 0);
  const Eigen::Vector3d reversed = series.points[2].value;
  EXPECT_LT(reversed.norm(), 20.0);  // mm: noise of a few mm, not twice the baseline
  const LocalENU enu = TRLOC(reports[0].mark2, reports[0].mark1);
  EXPECT_NEAR(series.base(0), 1000 * enu.e, 1e-3);
  EXPECT_NEAR(series.base(2), 1000 * enu.u, 1e-3);
  reports[3].fixed = false;
  const Series with_float = pairSeries(reports, true).at(0);
  EXPECT_EQ(with_float.points.size(), 4u);
  EXPECT_EQ(with_float.trailing_float_reports, 2);
  EXPECT_TRUE(with_float.points[2].is_float);
}


// Three years of daily reports of one pair through O-files: S002 moving 3 mm a year north,
// a 10 mm jump east from the 600th report on, three outliers of 5 cm. Each is found, and
// nothing else.
TEST(PairSeries, ThreeYearsOfDailyReportsGiveTheirVelocityStepAndOutliers) {
  gen::NetworkOptions options;
  options.stations = 2;
  options.measurements = gen::measureEach({{0, 1}}, 3 * 365 + 1);
  options.every_days = 1;
  options.velocities.push_back({1, gen::Axis::kNorth, 0.003});
  options.error = gen::errorAlong(options, 599, gen::Axis::kEast, 0.010);
  options.error_persists = true;
  options.outliers = {3, 0.05};
  const gen::Network network = gen::generateNetwork(options);
  std::vector<Report> reports;
  std::vector<std::string> outlier_files;
  for (const gen::NetworkReport& report : network.reports) {
    std::istringstream in(report.text);
    read_reports(in, report.name, reports, [](std::string_view) {});
    if (report.outlier) outlier_files.push_back(report.name);
  }
  const Series series = pairSeries(reports, false).at(0);
  const SeriesResult result = analyseSeries(series, {});
  ASSERT_TRUE(result.velocity);
  EXPECT_EQ(result.velocity->method, VelocityMethod::kMidas);
  EXPECT_NEAR(result.velocity->rate(1), 3.0, 3 * result.velocity->sigma(1));
  EXPECT_NEAR(result.velocity->rate(0), 0.0, 3 * result.velocity->sigma(0));
  ASSERT_EQ(result.steps.size(), 1u);
  EXPECT_LE(std::abs(static_cast<long>(result.steps[0].point) - 599), 1);
  EXPECT_NEAR(result.steps[0].size(0), 10.0, 3 * std::sqrt(result.steps[0].covariance(0, 0)));
  std::vector<std::string> flagged;
  for (const Outlier& outlier : result.outliers) flagged.push_back(series.points[outlier.point].file);
  std::sort(flagged.begin(), flagged.end());
  std::sort(outlier_files.begin(), outlier_files.end());
  EXPECT_EQ(flagged, outlier_files);
}

}  // namespace
}  // namespace velk::series

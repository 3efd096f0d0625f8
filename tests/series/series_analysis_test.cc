#include "series/series_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "series/epochs.h"
#include "series/midas.h"
#include "series/robust.h"
#include "series/step_search.h"
#include "series/trend_model.h"
#include "tests/series/made_series.h"

namespace velk::series {
namespace {

using testing::madeSeries;
using testing::SeriesTruth;

TEST(VarianceFactor, IsTheSquareOfHowMuchTheNoiseExceedsItsSigmas) {
  SeriesTruth truth;
  Series series = madeSeries(truth, 5);
  EXPECT_EQ(varianceFactor(series), 1.0);  // floored: the covariances tell the truth
  for (SeriesPoint& point : series.points) point.covariance /= 4;  // sigmas half the noise
  EXPECT_NEAR(varianceFactor(series), 4.0, 0.4);
  // A step and the trend move the differences little.
  truth.steps.push_back({500, Eigen::Vector3d(30, -30, 50)});
  truth.velocity *= 10;
  Series moved = madeSeries(truth, 5);
  for (SeriesPoint& point : moved.points) point.covariance /= 4;
  EXPECT_NEAR(varianceFactor(moved), 4.0, 0.4);
}

TEST(Median, OfAnEvenCountIsTheMeanOfTheTwoMiddleValues) {
  std::vector<double> values{4, 1, 3, 2};
  EXPECT_EQ(median(values), 2.5);
  std::vector<double> odd{5, 1, 3};
  EXPECT_EQ(median(odd), 3);
}

TEST(Epochs, ConvertDatesBothWays) {
  const std::optional<double> day = parseDate("2.5.2019");
  ASSERT_TRUE(day);
  EXPECT_EQ(*parseDate("2019-05-02"), *day);
  EXPECT_EQ(isoDateTime(*parseDate("2019-05-02T11:30")), "2019-05-02T11:30:00");
  EXPECT_EQ(decimalYear(*parseDate("2000-01-01")), 2000.0);
  // 2000 is a leap year: 2001-01-01 is 366 days after 2000-01-01.
  EXPECT_NEAR(decimalYear(*parseDate("2001-01-01T06:00")), 2000 + 366.25 / 365.25, 1e-12);
  for (const char* wrong :
       {"31.2.2019", "2019-13-01", "2019-05-02T24:00", "2.5.19", "2019-05-02x", ""})
    EXPECT_FALSE(parseDate(wrong)) << wrong;
}

// A small series whose MIDAS pairs can be told by hand: points at 0, 0.5, 1, 1.001, 1.5,
// 2.2 years; the east component is a different slope for every pair.
Series pairingSeries() {
  Series series;
  const std::vector<double> epochs{0, 0.5, 1.0, 1.0005, 1.5, 2.2};
  const std::vector<double> east{0, 7, 1, 40, 9, 20};
  for (std::size_t i = 0; i < epochs.size(); ++i) {
    SeriesPoint point;
    point.epoch = 2010 + epochs[i];
    point.value = Eigen::Vector3d(east[i], 0, 0);
    point.covariance = Eigen::Matrix3d::Identity();
    series.points.push_back(point);
  }
  return series;
}

TEST(Midas, PairsByItsRulesAndEachRuleCounts) {
  const Series series = pairingSeries();
  // Forward: 0→1.0 (slope 1), 0.5→1.5 (2), 1.0→2.2 (19/1.2); 1.0005 finds 2.2 taken.
  // Backward: 2.2→1.0005 (-20/1.1995), 1.5→0.5 (2), 1.0005→0 (40/1.0005); 1.0 finds 0 taken.
  // Median 2, σ = 1.4826 × 7.417; 40/1.0005 lies beyond 2σ; the five kept have median 2
  // and absolute deviations 0, 0, 1, 13.83, 18.67.
  const std::optional<MidasVelocity> both = midasVelocity(series, {}, {});
  ASSERT_TRUE(both);
  EXPECT_EQ(both->pairs, 6);
  EXPECT_EQ(both->slopes_kept[0], 5);
  EXPECT_DOUBLE_EQ(both->velocity(0), 2.0);
  EXPECT_DOUBLE_EQ(both->sigma(0),
                   3 * std::sqrt(std::numbers::pi / 2) * 1.4826 * 1.0 / std::sqrt(5.0 / 4));
  EXPECT_EQ(both->velocity(1), 0.0);
  // Each rule changes the result: the tolerance, the backward pass, the steps, the outliers.
  MidasRules wide;
  wide.tolerance_years = 0.6;
  EXPECT_NE(midasVelocity(series, {}, {}, wide)->velocity(0), both->velocity(0));
  MidasRules forward_only;
  forward_only.backward_pass = false;
  EXPECT_EQ(midasVelocity(series, {}, {}, forward_only)->pairs, 3);
  // A step between 1.0 and 1.0005: 0→1.0, 1.0005→2.2 forward; 2.2→1.0005, 1.0→0 backward,
  // the partners of the pairs dropped staying free.
  const std::optional<MidasVelocity> stepped = midasVelocity(series, {}, {0, 0, 0, 1, 1, 1});
  EXPECT_EQ(stepped->pairs, 4);
  std::vector<bool> excluded(6, false);
  excluded[3] = true;
  EXPECT_NE(midasVelocity(series, excluded, {})->velocity(0), both->velocity(0));
}

// The fit of trend and offsets against a dense least-squares solution of the same model,
// and a step's T against the decrease of the sum of squares between two fits.
TEST(TrendModel, AgreesWithADenseSolutionAndTIsTheDecreaseOfTheSumOfSquares) {
  SeriesTruth truth;
  truth.days = 40;
  truth.steps.push_back({25, Eigen::Vector3d(4, -3, 9)});
  const Series series = madeSeries(truth, 9);
  const double f = 1.7;
  const std::vector<double> steps{series.points[25].epoch};
  const ModelFit fit = fitModel(series, {}, steps, f, true);
  // Dense: parameters v, a0, a1; rows y_i = τ_i v + a_seg; weights (f C)⁻¹ whitened.
  const int n = static_cast<int>(series.points.size());
  Eigen::MatrixXd design = Eigen::MatrixXd::Zero(3 * n, 9);
  Eigen::VectorXd observed(3 * n);
  for (int i = 0; i < n; ++i) {
    const SeriesPoint& p = series.points[static_cast<std::size_t>(i)];
    const Eigen::Matrix3d whiten =
        (f * p.covariance).llt().matrixL().solve(Eigen::Matrix3d::Identity());
    design.block<3, 3>(3 * i, 0) = whiten * (p.epoch - fit.origin);
    design.block<3, 3>(3 * i, i < 25 ? 3 : 6) = whiten;
    observed.segment<3>(3 * i) = whiten * p.value;
  }
  const Eigen::VectorXd x = design.colPivHouseholderQr().solve(observed);
  EXPECT_LT((x.segment<3>(0) - fit.velocity).norm(), 1e-9);
  EXPECT_LT((x.segment<3>(6) - fit.offsets[1]).norm(), 1e-9);
  EXPECT_NEAR((observed - design * x).squaredNorm(), fit.ssr, 1e-8);
  // The step the search finds is the one made, with T the decrease of the sum of squares.
  StepOptions options;
  options.variance_factor = f;
  const std::vector<Step> found = findSteps(series, options);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].point, 25u);
  EXPECT_NEAR(found[0].t, fitModel(series, {}, {}, f, true).ssr - fit.ssr, 1e-6);
  // A known step at the same epoch stands as known, found by nobody.
  options.known_epochs = steps;
  const std::vector<Step> known = findSteps(series, options);
  ASSERT_EQ(known.size(), 1u);
  EXPECT_TRUE(known[0].known);
}

TEST(SeriesAnalysis, AnOutlierNearTheEndIsNoStep) {
  SeriesTruth truth;
  truth.days = 200;
  truth.outliers.push_back({198, Eigen::Vector3d(0, 20, 0)});  // about 17 sigmas north
  const SeriesResult result = analyseSeries(madeSeries(truth, 3), {});
  EXPECT_TRUE(result.steps.empty());
  ASSERT_EQ(result.outliers.size(), 1u);
  EXPECT_EQ(result.outliers[0].point, 198u);
}

TEST(SeriesAnalysis, StatusFollowsThresholdsFloatsAgeAndOutliers) {
  SeriesTruth truth;
  truth.days = 100;
  truth.velocity = Eigen::Vector3d(0, 20, 0);  // 5.4 mm north over the series
  Series series = madeSeries(truth, 4);
  AnalysisOptions options;
  options.now = series.points.back().epoch + 1.0 / 365.25;
  EXPECT_EQ(analyseSeries(series, options).status, Status::kOk);
  options.warn[static_cast<std::size_t>(Measure::kNorth)] = 3;
  options.alarm[static_cast<std::size_t>(Measure::kHorizontal)] = 8;
  const SeriesResult warned = analyseSeries(series, options);
  EXPECT_EQ(warned.status, Status::kWarning);
  EXPECT_NEAR(warned.displacement->enu(1), 20 * warned.span_years,
              4 * warned.displacement->sigma(1));
  options.alarm[static_cast<std::size_t>(Measure::kHorizontal)] = 4;
  EXPECT_EQ(analyseSeries(series, options).status, Status::kAlarm);
  // A threshold under twice the displacement's sigma is not reached.
  options = {};
  options.now = series.points.back().epoch;
  options.alarm[static_cast<std::size_t>(Measure::kUp)] = 0.001;
  EXPECT_EQ(analyseSeries(series, options).status, Status::kOk);
  options.stale_days = 3;
  options.now += 4 / 365.25;
  EXPECT_EQ(analyseSeries(series, options).status, Status::kWarning);
  options.stale_days.reset();
  series.trailing_float_reports = 3;
  EXPECT_EQ(analyseSeries(series, options).status, Status::kWarning);
  // Every other point 30 sigmas off: too many outliers.
  for (std::size_t i = 0; i < series.points.size(); i += 2) series.points[i].value(2) += 100;
  EXPECT_EQ(analyseSeries(series, options).status, Status::kUnstable);
  series.points.resize(2);
  const SeriesResult two = analyseSeries(series, options);
  EXPECT_EQ(two.status, Status::kInsufficient);
  EXPECT_FALSE(two.velocity);
  // A pair of float reports only: no point, but its last report is old.
  series.points.clear();
  series.last_report_epoch = options.now - 10 / 365.25;
  options.stale_days = 3;
  const SeriesResult none = analyseSeries(series, options);
  EXPECT_EQ(none.status, Status::kInsufficient);
  EXPECT_EQ(none.notes.size(), 2u);  // float and stale
}

}  // namespace
}  // namespace velk::series

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "series/epochs.h"
#include "series/midas.h"
#include "series/robust.h"
#include "series/series_analysis.h"
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
  for (const char* wrong : {"31.2.2019", "2019-13-01", "2019-05-02T24:00", "2.5.19", "2019-05-02x", ""})
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

}  // namespace
}  // namespace velk::series

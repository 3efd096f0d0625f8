// Rates over many series of known truth: daily reports over three years, noise drawn from
// each report's own covariance.

#include <gtest/gtest.h>

#include <cmath>

#include "series/series_analysis.h"
#include "tests/series/made_series.h"

namespace velk::series {
namespace {

using testing::madeSeries;
using testing::seedCount;
using testing::SeriesTruth;

TEST(SeriesRates, MidasIsUnbiasedAndItsSigmaCoversItsSpread) {
  const SeriesTruth truth;
  const int seeds = seedCount();
  Eigen::Vector3d sum = Eigen::Vector3d::Zero(), squares = Eigen::Vector3d::Zero(),
                  sigmas = Eigen::Vector3d::Zero();
  for (int seed = 1; seed <= seeds; ++seed) {
    const SeriesResult result = analyseSeries(madeSeries(truth, seed), {});
    ASSERT_TRUE(result.velocity);
    ASSERT_EQ(result.velocity->method, VelocityMethod::kMidas);
    const Eigen::Vector3d error = result.velocity->rate - truth.velocity;
    sum += error;
    squares += error.cwiseProduct(error);
    sigmas += result.velocity->sigma;
  }
  for (int c = 0; c < 3; ++c) {
    const double mean = sum(c) / seeds;
    const double spread = std::sqrt((squares(c) - seeds * mean * mean) / (seeds - 1));
    EXPECT_LT(std::fabs(mean), 3 * spread / std::sqrt(seeds)) << "component " << c;
    EXPECT_LE(spread, sigmas(c) / seeds) << "component " << c;
  }
}

// A step of 8 times the north sigma at a place of its own for each seed.
TEST(SeriesRates, StepOfEightSigmasIsFoundInItsPlaceWithItsSize) {
  const int seeds = seedCount();
  int found = 0;
  for (int seed = 1; seed <= seeds; ++seed) {
    SeriesTruth truth;
    const std::size_t place = 100 + static_cast<std::size_t>(seed * 37) % 900;
    truth.steps.push_back({place, Eigen::Vector3d(0, 8 * truth.sigma(1), 0)});
    const SeriesResult result = analyseSeries(madeSeries(truth, seed), {});
    for (const Step& step : result.steps) {
      const bool in_place = step.point + 1 >= place && step.point <= place + 1;
      const Eigen::Vector3d off = step.size - truth.steps[0].size;
      const Eigen::Vector3d sigma = step.covariance.diagonal().cwiseSqrt();
      if (in_place && (off.cwiseAbs().array() <= 3 * sigma.array()).all()) {
        ++found;
        break;
      }
    }
  }
  EXPECT_GE(found, 0.95 * seeds);
}

TEST(SeriesRates, SeriesWithoutStepShowStepsRarely) {
  const int seeds = seedCount();
  int with_step = 0;
  for (int seed = 1; seed <= seeds; ++seed)
    if (!analyseSeries(madeSeries(SeriesTruth{}, 1000 + seed), {}).steps.empty()) ++with_step;
  EXPECT_LE(with_step, 0.05 * seeds);
}

// Five outliers of 15 sigmas each (rᵀC⁻¹r = 225) in a random direction.
TEST(SeriesRates, OutliersOfFifteenSigmasAreFlaggedAndNothingElse) {
  const int seeds = seedCount();
  int exact = 0;
  for (int seed = 1; seed <= seeds; ++seed) {
    SeriesTruth truth;
    Series series = madeSeries(truth, 2000 + seed);
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal;
    std::vector<std::size_t> places;
    for (int k = 0; k < 5; ++k) {
      const std::size_t place = static_cast<std::size_t>(random() % series.points.size());
      if (std::find(places.begin(), places.end(), place) != places.end()) continue;
      places.push_back(place);
      const Eigen::Vector3d direction =
          Eigen::Vector3d(normal(random), normal(random), normal(random)).normalized();
      SeriesPoint& point = series.points[place];
      point.value += point.covariance.llt().matrixL() * (15.0 * direction);
    }
    std::sort(places.begin(), places.end());
    const SeriesResult result = analyseSeries(series, {});
    std::vector<std::size_t> flagged;
    for (const Outlier& outlier : result.outliers) flagged.push_back(outlier.point);
    if (flagged == places && result.steps.empty()) ++exact;
  }
  EXPECT_GE(exact, 0.95 * seeds);
}

}  // namespace
}  // namespace velk::series

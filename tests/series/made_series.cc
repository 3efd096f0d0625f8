#include "tests/series/made_series.h"

namespace velk::series::testing {

Series madeSeries(const SeriesTruth& truth, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> normal;
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  Series series;
  series.from = "S001";
  series.to = "S002";
  series.base = Eigen::Vector3d(3000000.0, 4000000.0, 20000.0);
  for (int day = 0; day < truth.days; ++day) {
    SeriesPoint point;
    point.epoch = truth.start + day / 365.25;
    const double scale = std::exp(0.22 * uniform(random));
    const Eigen::Vector3d sigma = scale * truth.sigma;
    Eigen::Matrix3d correlation = Eigen::Matrix3d::Identity();
    correlation(0, 1) = correlation(1, 0) = 0.3 * uniform(random);
    correlation(0, 2) = correlation(2, 0) = 0.3 * uniform(random);
    correlation(1, 2) = correlation(2, 1) = 0.3 * uniform(random);
    point.covariance = sigma.asDiagonal() * correlation * sigma.asDiagonal();
    const Eigen::Vector3d z(normal(random), normal(random), normal(random));
    point.value =
        truth.velocity * (point.epoch - truth.start) + point.covariance.llt().matrixL() * z;
    for (const MadeStep& step : truth.steps)
      if (static_cast<std::size_t>(day) >= step.point) point.value += step.size;
    for (const MadeStep& outlier : truth.outliers)
      if (static_cast<std::size_t>(day) == outlier.point) point.value += outlier.size;
    point.file = "D" + std::to_string(day);
    series.points.push_back(point);
  }
  return series;
}

int seedCount() {
#ifdef NDEBUG
  return 200;
#else
  return 10;
#endif
}

}  // namespace velk::series::testing

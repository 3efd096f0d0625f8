#include "series/robust.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velk::series {

// The normal distribution's standard deviation per median absolute deviation.
constexpr double kMadToSigma = 1.4826;

double median(std::span<double> values) {
  if (values.empty()) return std::numeric_limits<double>::quiet_NaN();
  const std::size_t half = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half),
                   values.end());
  const double upper = values[half];
  if (values.size() % 2 == 1) return upper;
  const double lower =
      *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half));
  return (lower + upper) / 2;
}

double robustSigma(std::span<double> values, double centre) {
  std::vector<double> deviations;
  deviations.reserve(values.size());
  for (const double value : values) deviations.push_back(std::fabs(value - centre));
  return kMadToSigma * median(deviations);
}

double varianceFactor(const Series& series) {
  std::vector<double> z;
  z.reserve(3 * series.points.size());
  for (std::size_t i = 1; i < series.points.size(); ++i) {
    const SeriesPoint& a = series.points[i - 1];
    const SeriesPoint& b = series.points[i];
    const Eigen::LLT<Eigen::Matrix3d> factor(a.covariance + b.covariance);
    if (factor.info() != Eigen::Success) continue;
    const Eigen::Vector3d standard = factor.matrixL().solve(b.value - a.value);
    for (int k = 0; k < 3; ++k) z.push_back(std::fabs(standard(k)));
  }
  if (z.empty()) return 1.0;
  const double scale = kMadToSigma * median(z);
  return std::max(1.0, scale * scale);
}

}  // namespace velk::series

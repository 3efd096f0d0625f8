#pragma once

#include <span>
#include <vector>

#include "series/series.h"

namespace velk::series {

// The median; of an even count, the mean of the two middle values. The values are
// reordered. Empty: NaN.
double median(std::span<double> values);

// 1.4826 times the median absolute deviation from `centre`: the standard deviation of
// normally distributed values, estimated so that a few wild ones barely move it. The
// values are reordered.
double robustSigma(std::span<double> values, double centre);

// The robust variance factor f of a series: (1.4826 × the median of |z|)², z the three
// components of L⁻¹Δ for every difference Δ of successive points (L the Cholesky factor of
// the sum of the two points' covariances, so that z is standard normal when the
// covariances tell the truth), never below 1. A trend or a few steps change few of the
// differences, and the median ignores them. Fewer than two points: 1.
double varianceFactor(const Series& series);

}  // namespace velk::series

#pragma once

// The linear model of a series: one trend (a velocity) for the whole series and one offset
// per segment, the segments separated by steps; weights the inverse covariances scaled by
// the variance factor f. Fitted by weighted least squares through the moments of each
// segment (sums over its points), so that a segment's contribution is a handful of 3×3
// products and a split's is the difference of two prefix sums.

#include <Eigen/Dense>
#include <cstddef>
#include <vector>

#include "series/series.h"

namespace velk::series {

// Whether a series is long enough to carry a trend: at least 3 points spanning at least
// 2 days. Without one, the model is the offsets alone.
bool carriesTrend(const Series& series);

// The weighted sums of one set of points: with W = (f C)⁻¹ and τ = epoch − origin,
// A = Σ W, B = Σ τ W, D = Σ τ² W, b = Σ W y, c = Σ τ W y, e = Σ yᵀ W y.
struct Moments {
  Eigen::Matrix3d a = Eigen::Matrix3d::Zero(), b = Eigen::Matrix3d::Zero(),
                  d = Eigen::Matrix3d::Zero();
  Eigen::Vector3d wy = Eigen::Vector3d::Zero(), twy = Eigen::Vector3d::Zero();
  double e = 0;
  int count = 0;

  void add(double tau, const Eigen::Matrix3d& weight, const Eigen::Vector3d& y);
  Moments& operator+=(const Moments& other);
  friend Moments operator-(Moments left, const Moments& right);
};

// A segment's part of the trend's reduced normal equations (its offset eliminated):
// q = bᵀA⁻¹b enters the sum of squares, n = D − B A⁻¹ B and r = c − B A⁻¹ b the trend's
// normal matrix and right-hand side. With a trend, SSR = e − Σ q − (Σ r)ᵀ (Σ n)⁻¹ (Σ r);
// without, SSR = e − Σ q.
struct SegmentTerms {
  double q = 0;
  Eigen::Matrix3d n = Eigen::Matrix3d::Zero();
  Eigen::Vector3d r = Eigen::Vector3d::Zero();
  SegmentTerms& operator+=(const SegmentTerms& other);
};
SegmentTerms segmentTerms(const Moments& moments, bool with_trend);

// The decrease of the sum of squares that the trend brings, rᵀ n⁻¹ r (0 when n is
// singular), and the trend itself, n⁻¹ r.
double trendReduction(const SegmentTerms& total);
Eigen::Vector3d trendOf(const SegmentTerms& total);
// A segment's offset for a given trend: A⁻¹ (b − B v).
Eigen::Vector3d offsetOf(const Moments& moments, const Eigen::Vector3d& trend);

// The segment of an epoch: how many step epochs are at or before it.
int segmentAt(const std::vector<double>& step_epochs, double epoch);

// A fitted model.
struct ModelFit {
  bool with_trend = false;
  double origin = 0;                                   // the epoch the trend is counted from
  Eigen::Vector3d velocity = Eigen::Vector3d::Zero();  // mm per year; 0 without a trend
  std::vector<Eigen::Vector3d> offsets;                // mm, one per segment
  // The covariance of the parameters, the trend's three first (when there is one) and then
  // each segment's offset: the inverse of the normal matrix (its weights already scaled by
  // f).
  Eigen::MatrixXd covariance;
  double ssr = 0;  // Σ rᵀ (f C)⁻¹ r over the points fitted

  // The model at an epoch in a segment, and the index of a parameter block.
  Eigen::Vector3d valueAt(double epoch, int segment) const;
  int offsetIndex(int segment) const { return (with_trend ? 3 : 0) + 3 * segment; }
};

// The model fitted to the points not `excluded`, with segments separated at
// `step_epochs` (sorted; every segment must hold a point that is fitted) and weights
// (f C)⁻¹. `excluded` is empty or one flag per point.
ModelFit fitModel(const Series& series, const std::vector<bool>& excluded,
                  const std::vector<double>& step_epochs, double variance_factor, bool with_trend);

}  // namespace velk::series

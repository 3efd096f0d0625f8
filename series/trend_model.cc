#include "series/trend_model.h"

#include <algorithm>
#include <stdexcept>

namespace velk::series {
namespace {

constexpr double kTwoDaysInYears = 2.0 / 365.25;

// The origin of the trend: the mean epoch of the points fitted, so that the sums of τ stay
// small and the prefix sums keep their digits.
double meanEpoch(const Series& series, const std::vector<bool>& excluded) {
  double sum = 0;
  int count = 0;
  for (std::size_t i = 0; i < series.points.size(); ++i) {
    if (!excluded.empty() && excluded[i]) continue;
    sum += series.points[i].epoch;
    ++count;
  }
  return count == 0 ? 0 : sum / count;
}

}  // namespace

bool carriesTrend(const Series& series) {
  const std::size_t n = series.points.size();
  return n >= 3 && series.points.back().epoch - series.points.front().epoch >= kTwoDaysInYears;
}

void Moments::add(double tau, const Eigen::Matrix3d& weight, const Eigen::Vector3d& y) {
  const Eigen::Vector3d wy_i = weight * y;
  a += weight;
  b += tau * weight;
  d += (tau * tau) * weight;
  wy += wy_i;
  twy += tau * wy_i;
  e += y.dot(wy_i);
  ++count;
}

Moments& Moments::operator+=(const Moments& other) {
  a += other.a;
  b += other.b;
  d += other.d;
  wy += other.wy;
  twy += other.twy;
  e += other.e;
  count += other.count;
  return *this;
}

Moments operator-(Moments left, const Moments& right) {
  left.a -= right.a;
  left.b -= right.b;
  left.d -= right.d;
  left.wy -= right.wy;
  left.twy -= right.twy;
  left.e -= right.e;
  left.count -= right.count;
  return left;
}

SegmentTerms& SegmentTerms::operator+=(const SegmentTerms& other) {
  q += other.q;
  n += other.n;
  r += other.r;
  return *this;
}

// The 3×3 inverses below are Eigen's closed forms (cofactors over the determinant): the
// step search takes a few for each of its thousands of splits, and a factorisation would
// cost several times as much for these small, well-conditioned matrices.
SegmentTerms segmentTerms(const Moments& moments, bool with_trend) {
  SegmentTerms terms;
  const Eigen::Matrix3d a_inv = moments.a.inverse();
  const Eigen::Vector3d a_inv_b = a_inv * moments.wy;
  terms.q = moments.wy.dot(a_inv_b);
  if (with_trend) {
    terms.n = moments.d - moments.b * a_inv * moments.b;
    terms.r = moments.twy - moments.b * a_inv_b;
  }
  return terms;
}

double trendReduction(const SegmentTerms& total) {
  return total.r.dot(trendOf(total));
}

Eigen::Vector3d trendOf(const SegmentTerms& total) {
  Eigen::Matrix3d inverse;
  bool invertible = false;
  // A normal matrix of the trend that is singular (every segment's points at one epoch)
  // leaves the trend at zero.
  const double scale = total.n.norm();
  total.n.computeInverseWithCheck(inverse, invertible, 1e-12 * scale * scale * scale);
  if (!invertible) return Eigen::Vector3d::Zero();
  return inverse * total.r;
}

Eigen::Vector3d offsetOf(const Moments& moments, const Eigen::Vector3d& trend) {
  return moments.a.llt().solve(moments.wy - moments.b * trend);
}

int segmentAt(const std::vector<double>& step_epochs, double epoch) {
  return static_cast<int>(std::upper_bound(step_epochs.begin(), step_epochs.end(), epoch) -
                          step_epochs.begin());
}

Eigen::Vector3d ModelFit::valueAt(double epoch, int segment) const {
  return offsets[static_cast<std::size_t>(segment)] + velocity * (epoch - origin);
}

ModelFit fitModel(const Series& series, const std::vector<bool>& excluded,
                  const std::vector<double>& step_epochs, double variance_factor, bool with_trend) {
  ModelFit fit;
  fit.with_trend = with_trend;
  fit.origin = meanEpoch(series, excluded);
  const std::size_t segments = step_epochs.size() + 1;
  std::vector<Moments> moments(segments);
  for (std::size_t i = 0; i < series.points.size(); ++i) {
    if (!excluded.empty() && excluded[i]) continue;
    const SeriesPoint& point = series.points[i];
    const Eigen::Matrix3d weight = (variance_factor * point.covariance).inverse();
    moments[static_cast<std::size_t>(segmentAt(step_epochs, point.epoch))].add(
        point.epoch - fit.origin, weight, point.value);
  }
  const int size = fit.offsetIndex(static_cast<int>(segments));
  Eigen::MatrixXd normal = Eigen::MatrixXd::Zero(size, size);
  Eigen::VectorXd rhs = Eigen::VectorXd::Zero(size);
  double e = 0;
  for (std::size_t s = 0; s < segments; ++s) {
    const Moments& m = moments[s];
    if (m.count == 0) throw std::logic_error("fitModel: a segment without a point fitted");
    const int k = fit.offsetIndex(static_cast<int>(s));
    normal.block<3, 3>(k, k) = m.a;
    rhs.segment<3>(k) = m.wy;
    if (with_trend) {
      normal.block<3, 3>(0, 0) += m.d;
      normal.block<3, 3>(0, k) = m.b;
      normal.block<3, 3>(k, 0) = m.b;
      rhs.segment<3>(0) += m.twy;
    }
    e += m.e;
  }
  fit.covariance = normal.ldlt().solve(Eigen::MatrixXd::Identity(size, size));
  const Eigen::VectorXd x = fit.covariance * rhs;
  if (with_trend) fit.velocity = x.segment<3>(0);
  for (std::size_t s = 0; s < segments; ++s)
    fit.offsets.push_back(x.segment<3>(fit.offsetIndex(static_cast<int>(s))));
  fit.ssr = e - x.dot(rhs);
  return fit;
}

}  // namespace velk::series

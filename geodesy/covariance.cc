#include "geodesy/covariance.h"

#include <cmath>

namespace velk {

Matrix3 baselineCovariance(double sigma_x, double sigma_y, double sigma_z, double r_xy,
                           double r_xz, double r_yz) {
  Matrix3 c;
  c(1, 1) = sigma_x * sigma_x;
  c(2, 2) = sigma_y * sigma_y;
  c(3, 3) = sigma_z * sigma_z;
  c(1, 2) = c(2, 1) = r_xy * sigma_x * sigma_y;
  c(1, 3) = c(3, 1) = r_xz * sigma_x * sigma_z;
  c(2, 3) = c(3, 2) = r_yz * sigma_y * sigma_z;
  return c;
}

std::optional<Matrix3> cholesky(const Matrix3& m) {
  constexpr double kSmallestPivot = 1e-12;
  Matrix3 l;
  for (int j = 1; j <= 3; ++j) {
    double pivot = m(j, j);
    for (int k = 1; k < j; ++k) pivot -= l(j, k) * l(j, k);
    // Written so that a NaN fails too.
    if (!(m(j, j) > 0) || !(pivot > kSmallestPivot * m(j, j))) return std::nullopt;
    l(j, j) = std::sqrt(pivot);
    for (int i = j + 1; i <= 3; ++i) {
      double sum = m(i, j);
      for (int k = 1; k < j; ++k) sum -= l(i, k) * l(j, k);
      l(i, j) = sum / l(j, j);
    }
  }
  return l;
}

bool isPositiveDefinite(const Matrix3& m) { return cholesky(m).has_value(); }

Cartesian choleskySolve(const Matrix3& lower, const Cartesian& b) {
  // L y = b, then Lᵀ x = y.
  const double y1 = b.x / lower(1, 1);
  const double y2 = (b.y - lower(2, 1) * y1) / lower(2, 2);
  const double y3 = (b.z - lower(3, 1) * y1 - lower(3, 2) * y2) / lower(3, 3);
  const double x3 = y3 / lower(3, 3);
  const double x2 = (y2 - lower(3, 2) * x3) / lower(2, 2);
  const double x1 = (y1 - lower(2, 1) * x2 - lower(3, 1) * x3) / lower(1, 1);
  return {x1, x2, x3};
}

Matrix3 choleskyInverse(const Matrix3& lower) {
  Matrix3 inverse;
  for (int j = 1; j <= 3; ++j) {
    const Cartesian column = choleskySolve(
        lower, {j == 1 ? 1.0 : 0.0, j == 2 ? 1.0 : 0.0, j == 3 ? 1.0 : 0.0});
    inverse(1, j) = column.x;
    inverse(2, j) = column.y;
    inverse(3, j) = column.z;
  }
  // Exactly symmetric, whatever the rounding of the two solves.
  for (int i = 1; i <= 3; ++i)
    for (int j = i + 1; j <= 3; ++j) inverse(j, i) = inverse(i, j);
  return inverse;
}

}  // namespace velk

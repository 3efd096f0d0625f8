#pragma once

#include <cmath>
#include <optional>
#include <stdexcept>

#include "geodesy/covariance.h"
#include "geodesy/geodesy.h"

// The few operations on vectors and 3×3 covariances that the checks need.
namespace velk::vector_math {

inline Cartesian plus(const Cartesian& a, const Cartesian& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Cartesian minus(const Cartesian& a, const Cartesian& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Cartesian scaled(const Cartesian& a, double factor) {
  return {a.x * factor, a.y * factor, a.z * factor};
}
inline double norm(const Cartesian& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }

inline Matrix3 plus(const Matrix3& a, const Matrix3& b) {
  Matrix3 sum;
  for (std::size_t k = 0; k < sum.cells.size(); ++k) sum.cells[k] = a.cells[k] + b.cells[k];
  return sum;
}
inline Matrix3 minus(const Matrix3& a, const Matrix3& b) {
  Matrix3 difference;
  for (std::size_t k = 0; k < difference.cells.size(); ++k)
    difference.cells[k] = a.cells[k] - b.cells[k];
  return difference;
}
inline Matrix3 scaled(const Matrix3& a, double factor) {
  Matrix3 product;
  for (std::size_t k = 0; k < product.cells.size(); ++k) product.cells[k] = a.cells[k] * factor;
  return product;
}
inline Cartesian times(const Matrix3& m, const Cartesian& v) {
  return {m(1, 1) * v.x + m(1, 2) * v.y + m(1, 3) * v.z,
          m(2, 1) * v.x + m(2, 2) * v.y + m(2, 3) * v.z,
          m(3, 1) * v.x + m(3, 2) * v.y + m(3, 3) * v.z};
}
inline double dot(const Cartesian& a, const Cartesian& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// vᵀ C⁻¹ v with C = L Lᵀ.
inline double quadraticForm(const Matrix3& lower, const Cartesian& v) {
  return dot(v, choleskySolve(lower, v));
}

// The Cholesky factor of a covariance that the checks made positive definite (a usable
// report's, a sum or an inverse of such); std::logic_error if rounding ever proved
// otherwise, so that the fault is reported instead of computed on.
inline Matrix3 factorOfPositiveDefinite(const Matrix3& covariance) {
  const std::optional<Matrix3> lower = cholesky(covariance);
  if (!lower) throw std::logic_error("a covariance of the checks is not positive definite");
  return *lower;
}

// vᵀ C⁻¹ v, or nothing when C is not positive definite.
inline std::optional<double> quadraticForm(const Cartesian& v, const Matrix3& covariance) {
  const std::optional<Matrix3> lower = cholesky(covariance);
  if (!lower) return std::nullopt;
  return quadraticForm(*lower, v);
}

}  // namespace velk::vector_math

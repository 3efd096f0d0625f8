#pragma once

#include <optional>

#include "geodesy/geodesy.h"

namespace velk {

// The variance-covariance matrix of a baseline vector in m², as a report gives it: its
// standard deviations squared on the diagonal, r_ij s_i s_j off it (no correlation row:
// r = 0). This is the covariance of the exports, the checks and the pictures; the legacy
// VELK writers build their own matrix from the entry's fields.
Matrix3 baselineCovariance(double sigma_x, double sigma_y, double sigma_z, double r_xy,
                           double r_xz, double r_yz);

// The lower-triangular L with L Lᵀ = M (upper triangle zero), or nothing when M is not
// positive definite: a zero or negative variance, or correlations that no matrix can have
// (two-decimal rounding of the coefficients can produce those). A pivot that falls below
// 1e-12 of its diagonal element counts as zero: such a matrix cannot be inverted usefully.
std::optional<Matrix3> cholesky(const Matrix3& m);
bool isPositiveDefinite(const Matrix3& m);

// x with (L Lᵀ) x = b, L from cholesky.
Cartesian choleskySolve(const Matrix3& lower, const Cartesian& b);
// (L Lᵀ)⁻¹, symmetric.
Matrix3 choleskyInverse(const Matrix3& lower);

}  // namespace velk

#include "geodesy/geodesy.h"

#include <array>
#include <cmath>
#include <cstddef>

// The results are printed to their last digit and compared with files written earlier, so every
// expression below keeps its terms in a fixed order: sums in the order written, products left to
// right, cubes and squares by repeated multiplication. Do not regroup.

namespace velk {

namespace {

// The ellipsoid constants are single-precision numbers widened to double.
constexpr double kPolarCurvatureRadius = 6399593.5;
constexpr double kSecondEccentricity = 0.082094438374042510986328125;

// Worked out once: every conversion asks for it.
double computedPi() {
  static const double pi = 4 * std::atan(1.0);
  return pi;
}

}  // namespace

GeodeticConstants geodeticConstants() {
  GeodeticConstants constants{};
  constants.pi = computedPi();
  constants.gradToRad = constants.pi / 200;
  constants.polarCurvatureRadius = kPolarCurvatureRadius;
  constants.secondEccentricitySquared = kSecondEccentricity * kSecondEccentricity;
  return constants;
}

double gradToRad() {
  return computedPi() / 200;
}

// Bowring's formula, one step without iteration: accurate to well under a millimetre for
// points near the surface, which is all the converters pass.
Geographic CENTRGEO(const Cartesian& point) {
  const GeodeticConstants constants = geodeticConstants();
  const double rp = constants.polarCurvatureRadius;
  const double e2 = constants.secondEccentricitySquared;
  const double a = rp / std::sqrt(e2 + 1);
  const double b = a * a / rp;

  const double p = std::sqrt(point.y * point.y + point.x * point.x);
  const double theta = std::atan2(point.z * a, p * b);
  const double lambda = std::atan2(point.y, point.x);
  const double sinTheta = std::sin(theta);
  const double cosTheta = std::cos(theta);
  const double numerator = (e2 * b) * (sinTheta * sinTheta * sinTheta) + point.z;
  const double denominator = p - ((e2 * a) * (cosTheta * cosTheta * cosTheta)) / (e2 + 1);
  const double phi = std::atan2(numerator, denominator);
  const double cosPhi = std::cos(phi);
  const double primeVerticalRadius = rp / std::sqrt(e2 * (cosPhi * cosPhi) + 1);

  Geographic result;
  result.lat = phi * 200 / constants.pi;
  result.lon = lambda * 200 / constants.pi;
  result.h = p / cosPhi - primeVerticalRadius;
  return result;
}

Matrix3 localRotation(double lambda, double phi) {
  const double cosPhi = std::cos(phi);
  const double sinPhi = std::sin(phi);
  const double cosLambda = std::cos(lambda);
  const double sinLambda = std::sin(lambda);
  Matrix3 r;
  r(1, 1) = -sinLambda;
  r(1, 2) = cosLambda;
  r(1, 3) = 0;
  r(2, 1) = -(cosLambda * sinPhi);
  r(2, 2) = -(sinLambda * sinPhi);
  r(2, 3) = cosPhi;
  r(3, 1) = cosLambda * cosPhi;
  r(3, 2) = sinLambda * cosPhi;
  r(3, 3) = sinPhi;
  return r;
}

namespace {

// Rotation at a point given in grads, as CENTRGEO returns it.
Matrix3 rotationAt(const Geographic& where, double radiansPerGrad) {
  const double phi = where.lat * radiansPerGrad;
  const double lambda = where.lon * radiansPerGrad;
  return localRotation(lambda, phi);
}

}  // namespace

LocalENU TRLOC(const Cartesian& point, const Cartesian& origin) {
  const Matrix3 r = rotationAt(CENTRGEO(origin), gradToRad());
  const double dX = point.x - origin.x;
  const double dY = point.y - origin.y;
  const double dZ = point.z - origin.z;
  LocalENU local;
  local.e = (r(1, 3) * dZ + r(1, 2) * dY) + r(1, 1) * dX;
  local.n = (r(2, 3) * dZ + r(2, 2) * dY) + r(2, 1) * dX;
  local.u = (r(3, 3) * dZ + r(3, 2) * dY) + r(3, 1) * dX;
  return local;
}

double azimuthGrads(double east, double north) {
  return std::atan2(east, north) / gradToRad();
}

Matrix3 ABAT(const Matrix3& a, const Matrix3& m) {
  Matrix3 p;
  for (int i = 1; i <= 3; ++i) {
    std::array<double, 3> w{};  // row i of A M; w[j - 1] holds column j
    for (int j = 1; j <= 3; ++j) {
      double& wj = w[static_cast<std::size_t>(j - 1)];
      wj = 0;
      for (int k = 1; k <= 3; ++k) wj = wj + m(k, j) * a(i, k);
    }
    for (int l = i; l <= 3; ++l) {
      p(i, l) = 0;
      for (int k = 1; k <= 3; ++k) {
        p(i, l) = p(i, l) + a(l, k) * w[static_cast<std::size_t>(k - 1)];
      }
      p(l, i) = p(i, l);
    }
  }
  return p;
}

Matrix3 TRCOVI(const Cartesian& point, const Matrix3& covarianceXYZ) {
  const Geographic where = CENTRGEO(point);
  const Matrix3 r = rotationAt(where, geodeticConstants().gradToRad);
  return ABAT(r, covarianceXYZ);
}

double sigma3D(double sigma_x, double sigma_y, double sigma_z) {
  return std::sqrt((sigma_z * sigma_z + sigma_y * sigma_y) + sigma_x * sigma_x);
}

}  // namespace velk

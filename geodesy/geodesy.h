#pragma once

#include <array>
#include <cstddef>

namespace velk {

// Geocentric cartesian coordinates, metres.
struct Cartesian {
  double x = 0, y = 0, z = 0;
};

// Longitude and latitude in grads (east and north positive), ellipsoidal height in metres.
struct Geographic {
  double lon = 0, lat = 0, h = 0;
};

// East, north, up components in a local frame, metres.
struct LocalENU {
  double e = 0, n = 0, u = 0;
};

// A 3x3 matrix held as nine reals column by column: element (i, j), both counted from 1,
// is at (i - 1) + 3 (j - 1).
struct Matrix3 {
  std::array<double, 9> cells{};
  double& operator()(int i, int j) {
    return cells[static_cast<std::size_t>((i - 1) + 3 * (j - 1))];
  }
  double operator()(int i, int j) const {
    return cells[static_cast<std::size_t>((i - 1) + 3 * (j - 1))];
  }
};

// The ellipsoid (GRS 80 values held in single precision, widened to double) and pi.
struct GeodeticConstants {
  double pi;
  double gradToRad;
  double polarCurvatureRadius;       // Rp = 6399593.5
  double secondEccentricitySquared;  // e'^2 with e' = 0.082094438374042510986328125
};
GeodeticConstants geodeticConstants();

// pi / 200 with pi = 4 atan(1).
double gradToRad();

// Degrees per grad as the LOG cartesien header uses it: 0.9 in single precision.
inline constexpr double kDegreesPerGrad = 0.89999997615814208984375;

// Geocentric to geographic, one step of Bowring's formula.
Geographic CENTRGEO(const Cartesian& point);

// Rows E, N, U at longitude lambda and latitude phi (radians).
Matrix3 localRotation(double lambda, double phi);

// The point in the East-North-Up frame of the origin.
LocalENU TRLOC(const Cartesian& point, const Cartesian& origin);

// Azimuth from north towards east, grads in (-200, 200].
double azimuthGrads(double east, double north);

// P = A M A^T for a symmetric M, upper triangle computed and mirrored.
Matrix3 ABAT(const Matrix3& a, const Matrix3& m);

// covarianceXYZ rotated into the local frame of the point.
Matrix3 TRCOVI(const Cartesian& point, const Matrix3& covarianceXYZ);

// sqrt((sz sz + sy sy) + sx sx).
double sigma3D(double sigma_x, double sigma_y, double sigma_z);

}  // namespace velk

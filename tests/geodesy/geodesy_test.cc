#include "geodesy/geodesy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

namespace velk {
namespace {

// The value printed with as many decimals as `expected` shows, so that a check reads like the
// figure it guards.
std::string printedLike(double value, const std::string& expected) {
  const std::size_t point = expected.find('.');
  const int decimals =
      point == std::string::npos ? 0 : static_cast<int>(expected.size() - point - 1);
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

#define EXPECT_PRINTS(value, expected) EXPECT_EQ(printedLike((value), (expected)), (expected))

Cartesian xyz(double x, double y, double z) {
  return Cartesian{x, y, z};
}

// Geographic (grads, metres) to geocentric on the system's ellipsoid: the inverse CENTRGEO
// approximates, written independently of it.
Cartesian geocentricOf(double lonGrads, double latGrads, double h) {
  const GeodeticConstants c = geodeticConstants();
  const double a = c.polarCurvatureRadius / std::sqrt(1 + c.secondEccentricitySquared);
  const double b = a * a / c.polarCurvatureRadius;
  const double lambda = lonGrads * c.gradToRad;
  const double phi = latGrads * c.gradToRad;
  const double n = a * a / std::hypot(a * std::cos(phi), b * std::sin(phi));
  return {(n + h) * std::cos(phi) * std::cos(lambda), (n + h) * std::cos(phi) * std::sin(lambda),
          (n * (b * b) / (a * a) + h) * std::sin(phi)};
}

class RandomPoints : public ::testing::Test {
 protected:
  double lonGrads() { return std::uniform_real_distribution<double>(-200, 200)(engine_); }
  double latGrads() { return std::uniform_real_distribution<double>(-99.9, 99.9)(engine_); }
  double height() { return std::uniform_real_distribution<double>(-500, 10000)(engine_); }
  static constexpr int kPoints = 2000;

 private:
  std::mt19937 engine_{20240611};
};

TEST(CentrgeoTest, UsesTheSingleprecisionEllipsoid) {
  const GeodeticConstants c = geodeticConstants();
  EXPECT_EQ(c.polarCurvatureRadius, 6399593.5);
  EXPECT_PRINTS(c.secondEccentricitySquared, "0.006739496811949464");
  EXPECT_PRINTS(c.pi, "3.141592653589793");
  EXPECT_EQ(c.gradToRad, gradToRad());
}

TEST(CentrgeoTest, ConvertsTheListedPoints) {
  const struct {
    Cartesian point;
    const char *lon, *lat, *h;
  } cases[] = {
      {xyz(6378137.0, 0, 0), "0.00000000", "0.00000000", "0.1256"},
      {xyz(0, 6378137.0, 0), "100.00000000", "0.00000000", "0.1256"},
      {xyz(4201000.0, 168000.0, 4780000.0), "2.54451708", "54.28532533", "-126.621"},
      {xyz(4201000.0, -168000.0, -4780000.0), "-2.54451708", "-54.28532533", "-126.621"},
      {xyz(-4201000.0, -168000.0, 4780000.0), "-197.45548292", "54.28532533", "-126.621"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lon);
    const Geographic g = CENTRGEO(c.point);
    EXPECT_PRINTS(g.lon, c.lon);
    EXPECT_PRINTS(g.lat, c.lat);
    EXPECT_PRINTS(g.h, c.h);
  }
}

TEST(CentrgeoTest, QuarterTurnInDegreesShowsTheSingleprecisionFactor) {
  EXPECT_PRINTS(CENTRGEO(xyz(0, 6378137.0, 0)).lon * kDegreesPerGrad, "89.99999762");
}

TEST_F(RandomPoints, CentrgeoInvertsTheForwardConversionWithinAMillimetre) {
  constexpr double kMillimetreInGrads = 1e-3 / 6.4e6 * 200 / 3.14159;
  for (int i = 0; i < kPoints; ++i) {
    const double lon = lonGrads(), lat = latGrads(), h = height();
    const Geographic g = CENTRGEO(geocentricOf(lon, lat, h));
    ASSERT_NEAR(g.lon, lon, kMillimetreInGrads) << lon << " " << lat << " " << h;
    ASSERT_NEAR(g.lat, lat, kMillimetreInGrads) << lon << " " << lat << " " << h;
    ASSERT_NEAR(g.h, h, 1e-3) << lon << " " << lat << " " << h;
  }
}

TEST(AzimuthTest, CountsFromNorthTowardsEastWithoutWrapping) {
  EXPECT_PRINTS(azimuthGrads(0, 10), "0.000000");
  EXPECT_PRINTS(azimuthGrads(10, 0), "100.000000");
  EXPECT_PRINTS(azimuthGrads(0, -10), "200.000000");
  EXPECT_PRINTS(azimuthGrads(-10, 0), "-100.000000");
  EXPECT_PRINTS(azimuthGrads(-10, -10), "-150.000000");
}

TEST(TrlocTest, ExpressesThePointInTheFrameOfTheOrigin) {
  const Cartesian origin = xyz(4201000.0, 168000.0, 4780000.0);
  const LocalENU local = TRLOC(xyz(4201100.0, 168200.0, 4779950.0), origin);
  EXPECT_PRINTS(local.e, "195.8444");
  EXPECT_PRINTS(local.n, "-114.1621");
  EXPECT_PRINTS(local.u, "33.3465");

  const LocalENU self = TRLOC(origin, origin);
  EXPECT_EQ(self.e, 0);
  EXPECT_EQ(self.n, 0);
  EXPECT_EQ(self.u, 0);
}

TEST(TrlocTest, AxesAtLongitudeZeroLatitudeZero) {
  const Cartesian origin = xyz(6378137.0, 0, 0);
  const struct {
    Cartesian point;
    double e, n, u;
  } moves[] = {
      {xyz(6378137.0, 10, 0), 10, 0, 0},
      {xyz(6378137.0, 0, 10), 0, 10, 0},
      {xyz(6378147.0, 0, 0), 0, 0, 10},
  };
  for (const auto& m : moves) {
    const LocalENU local = TRLOC(m.point, origin);
    EXPECT_NEAR(local.e, m.e, 1e-12);
    EXPECT_NEAR(local.n, m.n, 1e-12);
    EXPECT_NEAR(local.u, m.u, 1e-12);
  }
}

TEST_F(RandomPoints, LocalRotationIsAProperRotation) {
  const double radiansPerGrad = gradToRad();
  for (int i = 0; i < kPoints; ++i) {
    const Matrix3 r = localRotation(lonGrads() * radiansPerGrad, latGrads() * radiansPerGrad);
    for (int row = 1; row <= 3; ++row) {
      for (int other = 1; other <= 3; ++other) {
        const double dot =
            r(row, 1) * r(other, 1) + r(row, 2) * r(other, 2) + r(row, 3) * r(other, 3);
        ASSERT_NEAR(dot, row == other ? 1 : 0, 1e-15) << row << " " << other;
      }
    }
    // East x North = Up: catches two swapped rows or one row of the wrong sign.
    const double determinant = r(1, 1) * (r(2, 2) * r(3, 3) - r(2, 3) * r(3, 2)) -
                               r(1, 2) * (r(2, 1) * r(3, 3) - r(2, 3) * r(3, 1)) +
                               r(1, 3) * (r(2, 1) * r(3, 2) - r(2, 2) * r(3, 1));
    ASSERT_NEAR(determinant, 1, 1e-15);
  }
}

TEST_F(RandomPoints, TrlocOfTenMetresAlongALocalAxisGivesTenOnThatAxis) {
  const double radiansPerGrad = gradToRad();
  for (int i = 0; i < kPoints; ++i) {
    const double lon = lonGrads(), lat = latGrads();
    const Cartesian origin = geocentricOf(lon, lat, height());
    const Matrix3 r = localRotation(lon * radiansPerGrad, lat * radiansPerGrad);
    for (int axis = 1; axis <= 3; ++axis) {
      const Cartesian point =
          xyz(origin.x + 10 * r(axis, 1), origin.y + 10 * r(axis, 2), origin.z + 10 * r(axis, 3));
      const LocalENU local = TRLOC(point, origin);
      ASSERT_NEAR(local.e, axis == 1 ? 10 : 0, 1e-6) << lon << " " << lat << " axis " << axis;
      ASSERT_NEAR(local.n, axis == 2 ? 10 : 0, 1e-6) << lon << " " << lat << " axis " << axis;
      ASSERT_NEAR(local.u, axis == 3 ? 10 : 0, 1e-6) << lon << " " << lat << " axis " << axis;
    }
  }
}

Matrix3 diagonal(double d1, double d2, double d3) {
  Matrix3 m;
  m(1, 1) = d1;
  m(2, 2) = d2;
  m(3, 3) = d3;
  return m;
}

TEST(AbatTest, IdentityMirrorsTheUpperTriangle) {
  Matrix3 m;
  for (std::size_t cell = 0; cell < 9; ++cell) m.cells[cell] = static_cast<double>(cell + 1);
  const Matrix3 p = ABAT(diagonal(1, 1, 1), m);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(p(i, j), i <= j ? m(i, j) : m(j, i)) << i << j;
  }
}

TEST(AbatTest, RotationAtLongitudeZeroLatitudeZeroPermutesTheDiagonal) {
  const Matrix3 p = ABAT(localRotation(0, 0), diagonal(1, 2, 3));
  const Matrix3 expected = diagonal(2, 3, 1);
  for (std::size_t cell = 0; cell < 9; ++cell) EXPECT_EQ(p.cells[cell], expected.cells[cell]);
}

TEST(TrcoviTest, RotatesTheStandardDeviationsIntoTheLocalFrame) {
  const Matrix3 enu = TRCOVI(xyz(4201000.0, 168000.0, 4780000.0), diagonal(0.003, 0.002, 0.004));
  EXPECT_PRINTS(enu(1, 1), "0.0020016");
  EXPECT_PRINTS(enu(2, 2), "0.0034320");
  EXPECT_PRINTS(enu(3, 3), "0.0035664");

  const Matrix3 equator = TRCOVI(xyz(6378137.0, 0, 0), diagonal(0.003, 0.002, 0.004));
  EXPECT_DOUBLE_EQ(equator(1, 1), 0.002);
  EXPECT_DOUBLE_EQ(equator(2, 2), 0.004);
  EXPECT_DOUBLE_EQ(equator(3, 3), 0.003);
}

TEST_F(RandomPoints, TrcoviKeepsEqualStandardDeviations) {
  for (int i = 0; i < kPoints; ++i) {
    const Matrix3 enu = TRCOVI(geocentricOf(lonGrads(), latGrads(), height()), diagonal(5, 5, 5));
    for (int axis = 1; axis <= 3; ++axis) ASSERT_NEAR(enu(axis, axis), 5, 1e-14);
  }
}

TEST(Sigma3DTest, IsTheLengthOfTheThreeStandardDeviations) {
  EXPECT_NEAR(sigma3D(0.003, 0.004, 0.012), 0.013, 1e-17);
  EXPECT_NEAR(sigma3D(0.012, 0.003, 0.004), 0.013, 1e-17);
}

}  // namespace
}  // namespace velk

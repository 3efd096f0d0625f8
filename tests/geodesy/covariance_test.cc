#include "geodesy/covariance.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

Matrix3 product(const Matrix3& a, const Matrix3& b) {
  Matrix3 p;
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j)
      for (int k = 1; k <= 3; ++k) p(i, j) += a(i, k) * b(k, j);
  return p;
}

TEST(BaselineCovariance, SigmasSquaredOnTheDiagonalCorrelationsScaledOffIt) {
  const Matrix3 c = baselineCovariance(0.002, 0.003, 0.004, 0.5, -0.25, 0.1);
  EXPECT_DOUBLE_EQ(c(1, 1), 4e-6);
  EXPECT_DOUBLE_EQ(c(3, 3), 16e-6);
  EXPECT_DOUBLE_EQ(c(1, 2), 0.5 * 0.002 * 0.003);
  EXPECT_DOUBLE_EQ(c(3, 1), -0.25 * 0.002 * 0.004);
  EXPECT_EQ(c(2, 3), c(3, 2));
}

TEST(Cholesky, InvertsAPositiveDefiniteMatrix) {
  const Matrix3 c = baselineCovariance(0.0012, 0.0008, 0.0013, 0.02, 0.69, 0.02);
  const std::optional<Matrix3> lower = cholesky(c);
  ASSERT_TRUE(lower);
  EXPECT_EQ((*lower)(1, 2), 0.0);
  const Matrix3 identity = product(c, choleskyInverse(*lower));
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_NEAR(identity(i, j), i == j ? 1.0 : 0.0, 1e-9);
  const Cartesian x = choleskySolve(*lower, {1e-6, 2e-6, 3e-6});
  EXPECT_NEAR(c(1, 1) * x.x + c(1, 2) * x.y + c(1, 3) * x.z, 1e-6, 1e-15);
  EXPECT_NEAR(c(3, 1) * x.x + c(3, 2) * x.y + c(3, 3) * x.z, 3e-6, 1e-15);
}

TEST(Cholesky, RefusesWhatNoCovarianceCanBe) {
  EXPECT_FALSE(isPositiveDefinite(baselineCovariance(0.0, 0.001, 0.001, 0, 0, 0)));
  EXPECT_FALSE(isPositiveDefinite(baselineCovariance(0.001, 0.001, 0.001, 1.0, 0, 0)));
  // Each coefficient is possible alone; together they are not (rounded to two decimals).
  EXPECT_FALSE(isPositiveDefinite(baselineCovariance(0.001, 0.001, 0.001, 0.99, 0.99, -0.99)));
  EXPECT_TRUE(isPositiveDefinite(baselineCovariance(0.001, 0.001, 0.001, 0.99, 0.99, 0.99)));
}

}  // namespace
}  // namespace velk

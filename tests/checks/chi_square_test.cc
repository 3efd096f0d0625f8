#include "checks/chi_square.h"

#include <cmath>

#include <gtest/gtest.h>

namespace velk {
namespace {

TEST(ChiSquare, CriticalValuesMatchTheTables) {
  struct Known {
    int dof;
    double alpha, value;
  };
  for (const Known& known : {Known{3, 0.01, 11.344867}, Known{1, 0.05, 3.841459},
                             Known{2, 0.05, 5.991465}, Known{6, 0.01, 16.811894},
                             Known{30, 0.01, 50.892181},
                             Known{2, 0.999, -2 * std::log(0.999)}})
    EXPECT_NEAR(chiSquareCritical(known.dof, known.alpha), known.value, 5e-6)
        << known.dof << " " << known.alpha;
}

TEST(ChiSquare, IncompleteGammaAgreesWithClosedForms) {
  for (const double x : {0.0, 0.3, 1.0, 2.5, 7.0, 40.0}) {
    EXPECT_NEAR(regularizedLowerGamma(1.0, x), 1 - std::exp(-x), 1e-14) << x;  // both branches
    EXPECT_NEAR(regularizedLowerGamma(0.5, x), std::erf(std::sqrt(x)), 1e-14) << x;
  }
}

}  // namespace
}  // namespace velk

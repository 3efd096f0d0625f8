#include "checks/chi_square.h"

#include <cmath>
#include <limits>

namespace velk {
namespace {

constexpr double kRelativeAccuracy = 1e-15;
constexpr int kMaxTerms = 1000;

// exp(-x) x^a / Γ(a), the factor both expansions share, in logarithms to avoid overflow.
double gammaPrefactor(double a, double x) {
  return std::exp(a * std::log(x) - x - std::lgamma(a));
}

// P(a, x) by its power series; converges quickly for x < a + 1.
double lowerGammaSeries(double a, double x) {
  double term = 1.0 / a;
  double sum = term;
  for (int n = 1; n < kMaxTerms; ++n) {
    term *= x / (a + n);
    sum += term;
    if (std::fabs(term) < std::fabs(sum) * kRelativeAccuracy) break;
  }
  return sum * gammaPrefactor(a, x);
}

// Q(a, x) = 1 - P(a, x) by its continued fraction (modified Lentz); for x ≥ a + 1.
double upperGammaFraction(double a, double x) {
  constexpr double kTiny = std::numeric_limits<double>::min() / kRelativeAccuracy;
  double b = x + 1.0 - a;
  double c = 1.0 / kTiny;
  double d = 1.0 / b;
  double fraction = d;
  for (int n = 1; n < kMaxTerms; ++n) {
    const double an = -n * (n - a);
    b += 2.0;
    d = an * d + b;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = b + an / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    const double step = d * c;
    fraction *= step;
    if (std::fabs(step - 1.0) < kRelativeAccuracy) break;
  }
  return fraction * gammaPrefactor(a, x);
}

}  // namespace

double regularizedLowerGamma(double a, double x) {
  if (x <= 0) return 0.0;
  if (x < a + 1.0) return lowerGammaSeries(a, x);
  return 1.0 - upperGammaFraction(a, x);
}

// Bisection on the distribution function: it is monotone, so this cannot fail to converge,
// and a few dozen halvings reach the last bit (the value is computed once per degree of
// freedom in a run).
double chiSquareCritical(int degrees_of_freedom, double alpha) {
  const double a = 0.5 * degrees_of_freedom;
  const double probability = 1.0 - alpha;
  const auto below = [&](double t) { return regularizedLowerGamma(a, 0.5 * t) < probability; };
  double low = 0.0;
  double high = degrees_of_freedom + 10.0;
  while (below(high)) {
    low = high;
    high *= 2.0;
  }
  for (int i = 0; i < 200 && high - low > high * 4 * std::numeric_limits<double>::epsilon();
       ++i) {
    const double middle = 0.5 * (low + high);
    (below(middle) ? low : high) = middle;
  }
  return 0.5 * (low + high);
}

}  // namespace velk

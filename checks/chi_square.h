#pragma once

namespace velk {

// P(a, x) = γ(a, x) / Γ(a), the regularised lower incomplete gamma function, for a > 0 and
// x ≥ 0: the chi-square distribution function of k degrees of freedom at t is P(k/2, t/2).
double regularizedLowerGamma(double a, double x);

// The value that a chi-square variable of `degrees_of_freedom` exceeds with probability
// `alpha` (0 < alpha < 1): 11.345 for 3 degrees at 0.01.
double chiSquareCritical(int degrees_of_freedom, double alpha);

}  // namespace velk

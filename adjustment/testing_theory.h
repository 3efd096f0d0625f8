#pragma once

// The distributions of the adjustment's tests, from Boost.Math.

#include "adjustment/adjustment.h"

namespace velk {

// The B-method (Baarda 1968; Teunissen, "Testing theory", 2006): λ0 = (z(1 − α/2) + z(γ))²
// for the one-dimensional test at `alpha` with power `power`; the three-dimensional test's
// critical value is the quantile of the non-central chi-square (3, λ0) that it exceeds with
// probability `power`, and its level that value's central chi-square tail. Throws
// std::domain_error for alpha or power outside (0, 1).
CriticalValues bMethodCriticalValues(double alpha, double power);

// The two-sided chi-square test of vᵀPv on r degrees of freedom at `alpha`; r = 0: not
// tested.
GlobalTest globalTest(double vtpv, int redundancy, double alpha);

}  // namespace velk

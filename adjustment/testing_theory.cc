#include "adjustment/testing_theory.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/non_central_chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>
#include <cmath>

namespace velk {

CriticalValues bMethodCriticalValues(double alpha, double power) {
  namespace bm = boost::math;
  if (!(alpha > 0 && alpha < 1 && power > 0 && power < 1))
    throw std::domain_error("alpha and power must lie between 0 and 1");
  CriticalValues values;
  values.alpha_w = alpha;
  values.power = power;
  const bm::normal standard;
  values.critical_w = bm::quantile(bm::complement(standard, alpha / 2));
  const double sum = values.critical_w + bm::quantile(standard, power);
  values.lambda0 = sum * sum;
  const bm::non_central_chi_squared shifted(3, values.lambda0);
  const double critical_sum = bm::quantile(bm::complement(shifted, power));
  values.alpha_t3 = bm::cdf(bm::complement(bm::chi_squared(3), critical_sum));
  values.critical_t3 = critical_sum / 3;
  return values;
}

GlobalTest globalTest(double vtpv, int redundancy, double alpha) {
  namespace bm = boost::math;
  GlobalTest test;
  test.redundancy = redundancy;
  test.vtpv = vtpv;
  test.alpha = alpha;
  if (redundancy <= 0) return test;
  test.variance_factor = vtpv / redundancy;
  const bm::chi_squared distribution(redundancy);
  test.lower = bm::quantile(distribution, alpha / 2);
  test.upper = bm::quantile(bm::complement(distribution, alpha / 2));
  test.tested = true;
  test.passed = vtpv >= test.lower && vtpv <= test.upper;
  return test;
}

}  // namespace velk

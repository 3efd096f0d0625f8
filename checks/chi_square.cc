#include "checks/chi_square.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/special_functions/gamma.hpp>

namespace velk {

double regularizedLowerGamma(double a, double x) {
  if (x <= 0) return 0.0;
  return boost::math::gamma_p(a, x);
}

double chiSquareCritical(int degrees_of_freedom, double alpha) {
  const boost::math::chi_squared distribution(degrees_of_freedom);
  return boost::math::quantile(boost::math::complement(distribution, alpha));
}

}  // namespace velk

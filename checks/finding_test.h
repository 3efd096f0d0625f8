#pragma once

#include <map>

#include "checks/check_options.h"

namespace velk {

// The outcome of one statistical finding (a loop or a repeated baseline), with both of the
// numbers it is judged by.
struct TestOutcome {
  double t = 0;           // the test statistic
  int dof = 0;            // its degrees of freedom
  double critical = 0;    // the chi-square value that t exceeds with probability alpha
  double length = 0;      // metres: a loop's misclosure, a repeat's largest difference
  double reference = 0;   // metres: the loop's perimeter or the baseline's length
  double limit = 0;       // metres: tolerance_mm / 1000 + tolerance_ppm × reference × 1e-6
  bool flagged = false;   // t > critical and length > limit
};

// Judges findings at the run's alpha and tolerances; the chi-square values are computed
// once per degree of freedom.
class FindingTest {
 public:
  explicit FindingTest(const CheckOptions& options) : options_(options) {}
  TestOutcome assess(double t, int dof, double length, double reference);
  double alpha() const { return options_.alpha; }

 private:
  CheckOptions options_;
  std::map<int, double> critical_;
};

}  // namespace velk

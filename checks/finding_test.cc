#include "checks/finding_test.h"

#include "checks/chi_square.h"

namespace velk {

TestOutcome FindingTest::assess(double t, int dof, double length, double reference) {
  auto found = critical_.find(dof);
  if (found == critical_.end())
    found = critical_.emplace(dof, chiSquareCritical(dof, options_.alpha)).first;
  TestOutcome outcome;
  outcome.t = t;
  outcome.dof = dof;
  outcome.critical = found->second;
  outcome.length = length;
  outcome.reference = reference;
  outcome.limit = options_.tolerance_mm / 1000 + options_.tolerance_ppm * reference * 1e-6;
  // Both must hold: a significant but tiny misclosure is the formal sigmas being optimistic,
  // a large but insignificant one is a weak baseline.
  outcome.flagged = t > outcome.critical && length > outcome.limit;
  return outcome;
}

}  // namespace velk

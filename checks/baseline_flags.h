#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "checks/check_options.h"
#include "reading/report.h"

namespace velk {

// The row of one report in the baselines table.
struct BaselineCheck {
  std::size_t report = 0;  // index into the reports checked
  double sigma3d = 0;      // metres; NaN when the report has no sigmas
  // "float", "low_ratio", "imprecise", "incomplete:WHAT", "inconsistent:WHAT"; WHAT is one
  // of names, vector, sigmas, mark1, date, covariance (incomplete) and mark2, local
  // (inconsistent). The network's checks add "float_disagrees" to a float report that
  // fails the test against its pair's fixed mean.
  std::vector<std::string> flags;
  bool usable = false;        // the report takes part in the stations, repeats and loops
  bool inconsistent = false;  // one of its flags is `inconsistent:...`
};

// A report contradicts itself when two of its values differ by more than this (metres).
inline constexpr double kSelfConsistency = 0.001;

// The flags of one report. A report without what the other checks need (its station names,
// vector, sigmas, mark 1, date, or a covariance that is positive definite) is only marked
// `incomplete` and takes part in nothing else.
BaselineCheck checkBaseline(const Report& report, std::size_t index,
                            const CheckOptions& options);

}  // namespace velk

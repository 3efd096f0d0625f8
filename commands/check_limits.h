#pragma once

#include <span>

#include "checks/check_options.h"
#include "commands/options.h"

namespace velk {

// The options of the checks' limits (--min-ratio, --max-sigma3d, --station-tolerance,
// --variance-factor, --alpha, --tolerance-mm, --tolerance-ppm) and the length of the list of
// reports to look at first (--top): the same for every subcommand that judges reports,
// `check` and `plot network`.
std::span<const OptionSpec> checkLimitOptions();

// --variance-factor F, read the same way by every subcommand that takes it (check, plot
// network, export): from 1e-6 to 1e6, 1 when not given. Throws UsageError for a value that
// does not read or is out of that range.
double varianceFactorOption(const ParsedOptions& options);

// The limits given, the defaults for the others. Throws UsageError for a value that does
// not read or is out of range.
CheckOptions checkLimits(const ParsedOptions& options);

}  // namespace velk

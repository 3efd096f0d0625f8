#include "commands/check_limits.h"

#include <array>
#include <optional>
#include <string>

namespace velk {

std::span<const OptionSpec> checkLimitOptions() {
  static const std::array<OptionSpec, 7> kOptions{{
      {"min-ratio", '\0', "R", "a fixed solution's ratio below R is flagged low_ratio (default 3.0)"},
      {"max-sigma3d", '\0', "M", "sigma3D at or above M metres is flagged imprecise (default 0.5)"},
      {"station-tolerance", '\0', "M",
       "a station whose a priori coordinates spread more than M metres is flagged (default 1.0)"},
      {"variance-factor", '\0', "F", "multiplies every report's covariance (default 1.0)"},
      {"alpha", '\0', "A", "significance level of the loop and repeat tests (default 0.01)"},
      {"tolerance-mm", '\0', "MM",
       "a loop or repeat is flagged only when it exceeds MM millimetres (default 10)"},
      {"tolerance-ppm", '\0', "PPM", "plus PPM of its perimeter or length (default 1)"},
  }};
  return kOptions;
}

CheckOptions checkLimits(const ParsedOptions& options) {
  CheckOptions limits;
  const auto read = [&](std::string_view name, double& value) {
    if (const std::optional<std::string> text = options.value(name))
      value = parseRealOption(name, *text);
  };
  read("min-ratio", limits.min_ratio);
  read("max-sigma3d", limits.max_sigma3d);
  read("station-tolerance", limits.station_tolerance);
  read("variance-factor", limits.variance_factor);
  read("alpha", limits.alpha);
  read("tolerance-mm", limits.tolerance_mm);
  read("tolerance-ppm", limits.tolerance_ppm);
  if (limits.variance_factor <= 0) throw UsageError("--variance-factor: more than 0");
  if (limits.alpha <= 0 || limits.alpha >= 1) throw UsageError("--alpha: between 0 and 1");
  if (limits.tolerance_mm < 0 || limits.tolerance_ppm < 0 || limits.station_tolerance < 0 ||
      limits.max_sigma3d <= 0 || limits.min_ratio < 0)
    throw UsageError("the limits are not negative (and --max-sigma3d is more than 0)");
  return limits;
}

}  // namespace velk

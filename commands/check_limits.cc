#include "commands/check_limits.h"

#include <array>
#include <optional>
#include <string>

namespace velk {
namespace {

// A real option that must lie in a range; `open_low` excludes the low end itself.
double realIn(const ParsedOptions& options, std::string_view name, double fallback, double low,
              bool open_low, double high, std::string_view range) {
  const std::optional<std::string> text = options.value(name);
  if (!text) return fallback;
  const double value = parseRealOption(name, *text);
  if (value < low || (open_low && value == low) || value > high)
    throw UsageError("--" + std::string(name) + ": " + std::string(range) + ", not '" + *text +
                     "'");
  return value;
}

}  // namespace

std::span<const OptionSpec> checkLimitOptions() {
  static const std::array<OptionSpec, 8> kOptions{{
      {"min-ratio", '\0', "R", "a fixed solution's ratio below R is low_ratio (3.0)"},
      {"max-sigma3d", '\0', "M", "sigma3D of M metres or more is imprecise (0.5)"},
      {"station-tolerance", '\0', "M",
       "a station whose a priori coordinates spread over more than M metres is flagged (1.0)"},
      {"tolerance-mm", '\0', "MM",
       "a loop or repeat is flagged only when longer than MM mm plus the ppm part (10)"},
      {"tolerance-ppm", '\0', "PPM",
       "the part of the length limit proportional to the perimeter or length (1)"},
      {"variance-factor", '\0', "F",
       "multiply every report's covariance by F; raise it for optimistic sigmas (1.0)"},
      {"alpha", '\0', "A", "significance level of the chi-square tests (0.01)"},
      {"top", '\0', "N", "check: list at most N reports under \"Reports to look at first\" (10)"},
  }};
  return kOptions;
}

double varianceFactorOption(const ParsedOptions& options) {
  // Beyond these a covariance's elements leave the range of doubles.
  return realIn(options, "variance-factor", 1.0, 1e-6, false, 1e6, "from 0.000001 to 1000000");
}

CheckOptions checkLimits(const ParsedOptions& options) {
  constexpr double kHuge = 1e300;
  CheckOptions check;
  check.min_ratio = realIn(options, "min-ratio", check.min_ratio, 0, false, kHuge, "0 or more");
  check.max_sigma3d =
      realIn(options, "max-sigma3d", check.max_sigma3d, 0, true, kHuge, "more than 0");
  check.station_tolerance =
      realIn(options, "station-tolerance", check.station_tolerance, 0, false, kHuge, "0 or more");
  check.tolerance_mm =
      realIn(options, "tolerance-mm", check.tolerance_mm, 0, false, kHuge, "0 or more");
  check.tolerance_ppm =
      realIn(options, "tolerance-ppm", check.tolerance_ppm, 0, false, kHuge, "0 or more");
  check.variance_factor = varianceFactorOption(options);
  check.alpha = realIn(options, "alpha", check.alpha, 0, true, 0.5, "more than 0, at most 0.5");
  if (const std::optional<std::string> top = options.value("top")) {
    check.top = parseIntegerOption("top", *top);
    if (check.top < 1) throw UsageError("--top: 1 or more, not '" + *top + "'");
  }
  return check;
}

}  // namespace velk

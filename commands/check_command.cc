// baselines check: the network's quality before adjustment, for a person and a script.

#include <string>
#include <vector>

#include "checks/check_json.h"
#include "checks/check_options.h"
#include "checks/check_text.h"
#include "checks/network_check.h"
#include "commands/exit_status.h"
#include "commands/inputs.h"
#include "commands/output_files.h"
#include "commands/subcommand.h"
#include "format/run_error.h"

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

CheckOptions checkOptions(const ParsedOptions& options) {
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
  // Beyond these a covariance's elements leave the range of doubles.
  check.variance_factor = realIn(options, "variance-factor", check.variance_factor, 1e-6, false,
                                 1e6, "from 0.000001 to 1000000");
  check.alpha = realIn(options, "alpha", check.alpha, 0, true, 0.5, "more than 0, at most 0.5");
  return check;
}

// What the per-report reading could not give: said once per report, the report left out.
void noticeIncompleteReports(const std::vector<Report>& reports, const NetworkCheck& check,
                             std::ostream& err) {
  for (const BaselineCheck& baseline : check.baselines) {
    if (baseline.usable) continue;
    const Report& report = reports[baseline.report];
    std::string what = report.missingText();
    if (what.empty()) what = "a covariance that is not positive definite";
    notify(err, report.path + " line " + std::to_string(report.header_line) + ": " + what +
                    "; left out of the checks");
  }
}

int runCheck(const ParsedOptions& options, CommandStreams& streams) {
  const CheckOptions check_options = checkOptions(options);
  const bool strict = options.has("strict");
  if (options.operands().empty() && !options.has(kListOption.long_name))
    throw UsageError("no O-files given (name them, or give --list FILE)");
  const std::optional<std::string> json_path = options.value("json");
  // Opened before the work, so that an existing file stops the run at once.
  std::optional<OutputFile> json;
  if (json_path) json.emplace(openOutputFile(*json_path, options.has("force")));

  const std::vector<Report> reports = readSeparateReports(options, streams.err);
  if (reports.empty()) throw RunError("no reports to check");
  const NetworkCheck check = checkNetwork(reports, check_options);
  noticeIncompleteReports(reports, check, streams.err);
  const bool flagged = needsAttention(check, strict);

  if (json) {
    json->write(checkJson(reports, check, check_options, flagged));
    json->commit();
  }
  streams.out << checkText(reports, check, check_options, flagged);
  return flagged ? kExitFlagged : kExitDone;
}

}  // namespace

const Subcommand& checkSubcommand() {
  static const Subcommand command{
      .name = "check",
      .summary = "the network's quality before adjustment: loops, repeats, stations, flags",
      .usage = "[options] [O-FILE...]",
      .description =
          "Reads every report on its own and shows, in tables on standard output: each "
          "report's flags (float, low_ratio, imprecise, incomplete:WHAT, inconsistent:WHAT); "
          "each station's a priori coordinates and their spread; each pair measured more "
          "than once against its weighted mean; the loops of a minimum-perimeter basis of the "
          "network with their misclosures; and the pairs that flagged loops share "
          "(suspects), listed first in the summary.\n\n"
          "A loop or a repeat is flagged when its test value T exceeds the chi-square value "
          "at --alpha and its length exceeds --tolerance-mm plus --tolerance-ppm of the "
          "perimeter or baseline length. Lengths are in metres unless an option's name says "
          "mm or ppm.\n\n"
          "Exit status: 3 when a loop, a repeat, a station or an inconsistent report is "
          "flagged (with --strict, any flag), 0 otherwise; 1 on a failed run, 2 on a wrong "
          "command line.",
      .options =
          {
              {"json", 'j', "FILE",
               "also write the findings as JSON to FILE; it must not exist, unless --force"},
              {"force", 'f', "", "replace an existing JSON file"},
              {"strict", '\0', "",
               "exit with 3 for any flag of a report too (float, low_ratio, imprecise, "
               "incomplete)"},
              {"min-ratio", '\0', "R", "a fixed solution's ratio below R is low_ratio (3.0)"},
              {"max-sigma3d", '\0', "M", "sigma3D of M metres or more is imprecise (0.5)"},
              {"station-tolerance", '\0', "M",
               "a station whose a priori coordinates spread over more than M metres is "
               "flagged (1.0)"},
              {"tolerance-mm", '\0', "MM",
               "a loop or repeat is flagged only when longer than MM mm plus the ppm part (10)"},
              {"tolerance-ppm", '\0', "PPM",
               "the part of the length limit proportional to the perimeter or length (1)"},
              {"variance-factor", '\0', "F",
               "multiply every report's covariance by F; raise it for optimistic sigmas (1.0)"},
              {"alpha", '\0', "A", "significance level of the chi-square tests (0.01)"},
              kListOption,
          },
      .run = runCheck,
  };
  return command;
}

}  // namespace velk

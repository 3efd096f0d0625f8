// baselines check: the network's quality before adjustment, for a person and a script.

#include <string>
#include <vector>

#include "checks/check_json.h"
#include "checks/check_options.h"
#include "checks/check_text.h"
#include "checks/network_check.h"
#include "commands/check_limits.h"
#include "commands/exit_status.h"
#include "commands/inputs.h"
#include "commands/output_files.h"
#include "commands/subcommand.h"
#include "format/run_error.h"

namespace velk {
namespace {

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
  const CheckOptions check_options = checkLimits(options);
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

// The options given, then the limits, then the input list.
std::vector<OptionSpec> withCheckLimits(std::vector<OptionSpec> options) {
  for (const OptionSpec& limit : checkLimitOptions()) options.push_back(limit);
  options.push_back(kListOption);
  return options;
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
      .options = withCheckLimits({
          {"json", 'j', "FILE",
           "also write the findings as JSON to FILE; it must not exist, unless --force"},
          {"force", 'f', "", "replace an existing JSON file"},
          {"strict", '\0', "",
           "exit with 3 for any flag of a report too (float, low_ratio, imprecise, incomplete)"},
      }),
      .run = runCheck,
  };
  return command;
}

}  // namespace velk

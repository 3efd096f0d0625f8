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
#include "commands/map_outputs.h"
#include "commands/output_files.h"
#include "commands/subcommand.h"
#include "exports/check_layers.h"
#include "format/run_error.h"

namespace velk {
namespace {

// Reports whose sigmas and correlations make no covariance: complete, but no test can
// weigh them. Said once per report, the report left out.
void noticeUnweighableReports(const std::vector<Report>& reports, const NetworkCheck& check,
                              std::ostream& err) {
  for (const BaselineCheck& baseline : check.baselines) {
    const Report& report = reports[baseline.report];
    if (baseline.usable || !report.isComplete()) continue;
    notify(err, report.path + " line " + std::to_string(report.header_line) +
                    ": a covariance that is not positive definite; left out of the checks");
  }
}

int runCheck(const ParsedOptions& options, CommandStreams& streams) {
  const CheckOptions check_options = checkLimits(options);
  const bool strict = options.has(kStrictOption.long_name);
  const std::optional<std::string> json_path = options.value("json");
  // Opened before the work, so that an existing file stops the run at once.
  std::optional<OutputFile> json;
  if (json_path) json.emplace(openOutputFile(*json_path, options.has("force")));
  MapOutputs maps = openMapOutputs(options, false);

  const InputsRead inputs = readInputs(options, streams.err);
  const std::vector<Report>& reports = inputs.reports;
  noticeIncompleteReports(reports, streams.err, "left out of the checks");
  refuseIfStrict(inputs.tally, options);
  prepareProjection(maps, options, reports, streams.err);
  const NetworkCheck check = checkNetwork(reports, check_options);
  noticeUnweighableReports(reports, check, streams.err);
  const bool flagged = needsAttention(check, strict);

  std::vector<OutputFile*> files = maps.files();
  if (json) {
    json->write(checkJson(reports, check, check_options, flagged));
    files.push_back(&*json);
  }
  const Projection* projection = maps.projection ? &*maps.projection : nullptr;
  writeMapOutputs(maps, checkLayers(reports, check, projection));
  OutputFile::commitAll(files);
  // With the JSON on standard output, the tables go to standard error.
  std::ostream& tables = json_path == kStandardOutputName ? streams.err : streams.out;
  tables << checkText(reports, check, check_options, flagged);
  return finalStatus(inputs.tally, flagged, streams.err);
}

// The options given, then the limits, then the input list.
std::vector<OptionSpec> withCheckLimits(std::vector<OptionSpec> options) {
  for (const OptionSpec& limit : checkLimitOptions()) options.push_back(limit);
  for (const OptionSpec& map : mapOptionSpecs()) options.push_back(map);
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
          "report's flags (float, low_ratio, imprecise, incomplete:WHAT, float_disagrees, "
          "inconsistent:WHAT); each station's a priori coordinates and their spread; each "
          "pair measured more than once against its weighted mean (of its fixed reports "
          "where it has some), with the largest step between the reports before and after a "
          "split in time; each float report of a pair with fixed reports against their mean; "
          "the loops of a minimum-perimeter basis of the network with their misclosures; the "
          "pairs that flagged loops share (suspects); and, last, the reports to look at "
          "first (--top of them), each with why.\n\n"
          "A loop, a repeat or a float report is flagged when its test value T exceeds the "
          "chi-square value at --alpha and its length (a repeat's: its largest difference or "
          "its step) exceeds --tolerance-mm plus --tolerance-ppm of the perimeter or baseline "
          "length. Lengths are in metres unless an option's name says mm or ppm.\n\n"
          "Exit status: 0 done; 1 a failed run (with --strict, also an input passed over; "
          "nothing is written); 2 a wrong command line or no input; 3 a loop, a repeat, a "
          "station, a float_disagrees or an inconsistent report is flagged (with --strict, "
          "any report flag); 4 done, but inputs were passed over (each named on standard "
          "error, then counted).",
      .options = withCheckLimits({
          {"json", 'j', "FILE",
           "also write the findings as JSON to FILE (- for standard output, the tables then "
           "going to standard error); it must not exist, unless --force"},
          {"force", 'f', "", "replace existing output files"},
          {kStrictOption.long_name, '\0', "",
           "exit with 3 for any flag of a report too (float, low_ratio, imprecise); fail "
           "(exit 1, nothing written) when an input is passed over"},
      }),
      .run = runCheck,
  };
  return command;
}

}  // namespace velk

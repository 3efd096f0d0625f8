// baselines adjust: the network adjusted by least squares, with its tests, reliability and
// precision, for a person (text) and a script (JSON, CSV).

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "adjustment/adjustment.h"
#include "adjustment/adjustment_views.h"
#include "adjustment/control_file.h"
#include "adjustment/report_selection.h"
#include "commands/check_limits.h"
#include "commands/exit_status.h"
#include "commands/inputs.h"
#include "commands/map_outputs.h"
#include "commands/output_files.h"
#include "commands/subcommand.h"
#include "exports/adjust_layers.h"
#include "exports/export_network.h"
#include "exports/sinex.h"
#include "format/run_error.h"

namespace velk {
namespace {

std::vector<std::string> commaSeparated(const std::string& text, std::string_view option) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    parts.push_back(text.substr(start, comma - start));
    if (parts.back().empty())
      throw UsageError("--" + std::string(option) + ": an empty item in '" + text + "'");
    start = comma + 1;
  }
  return parts;
}

double positiveOption(const ParsedOptions& options, std::string_view name, double fallback,
                      bool zero_allowed) {
  const std::optional<std::string> text = options.value(name);
  if (!text) return fallback;
  const double value = parseRealOption(name, *text);
  if (value < 0 || (!zero_allowed && value == 0))
    throw UsageError("--" + std::string(name) + ": a number " +
                     (zero_allowed ? "not below 0" : "above 0") + ", not '" + *text + "'");
  return value;
}

double probabilityOption(const ParsedOptions& options, std::string_view name, double fallback) {
  const std::optional<std::string> text = options.value(name);
  if (!text) return fallback;
  const double value = parseRealOption(name, *text);
  if (!(value > 0 && value < 1))
    throw UsageError("--" + std::string(name) + ": a number between 0 and 1, not '" + *text + "'");
  return value;
}

// "20mm+50ppm", "20mm" or "50ppm".
RelativeLimit relativeLimit(const std::string& text) {
  RelativeLimit limit;
  const auto wrong = [&] {
    return UsageError("--relative-limit: MMmm+PPMppm such as 20mm+50ppm, not '" + text + "'");
  };
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t plus = std::min(text.find('+', start), text.size());
    const std::string term = text.substr(start, plus - start);
    start = plus + 1;
    const bool ppm = term.size() > 3 && term.ends_with("ppm");
    const bool mm = !ppm && term.size() > 2 && term.ends_with("mm");
    if (!ppm && !mm) throw wrong();
    const std::string number = term.substr(0, term.size() - (ppm ? 3 : 2));
    double value = 0;
    try {
      value = parseRealOption("relative-limit", number);
    } catch (const UsageError&) {
      throw wrong();
    }
    if (value < 0) throw wrong();
    (ppm ? limit.ppm : limit.mm) += value;
  }
  return limit;
}

SigmaChoice sigmaChoice(const ParsedOptions& options) {
  const std::string text = options.value("sigma").value_or("auto");
  if (text == "apriori") return SigmaChoice::kApriori;
  if (text == "aposteriori") return SigmaChoice::kAposteriori;
  if (text == "auto") return SigmaChoice::kAuto;
  throw UsageError("--sigma: apriori, aposteriori or auto, not '" + text + "'");
}

// The options that need no reports.
AdjustmentOptions adjustmentOptions(const ParsedOptions& options) {
  AdjustmentOptions adjustment;
  adjustment.variance_factor = varianceFactorOption(options);
  if (const std::optional<std::string> centring = options.value("centring-mm")) {
    const std::vector<std::string> parts = commaSeparated(*centring, "centring-mm");
    if (parts.size() > 2) throw UsageError("--centring-mm: H or H,V, not '" + *centring + "'");
    const auto millimetres = [&](const std::string& part) {
      const double value = parseRealOption("centring-mm", part);
      if (value < 0) throw UsageError("--centring-mm: not below 0, not '" + *centring + "'");
      return value / 1000;
    };
    adjustment.centring_h = millimetres(parts[0]);
    adjustment.centring_v = parts.size() == 2 ? millimetres(parts[1]) : adjustment.centring_h;
  }
  adjustment.ppm = positiveOption(options, "ppm", 0, true);
  adjustment.free = options.has("free");
  if (adjustment.free && options.has("hold"))
    throw UsageError("--hold and --free exclude each other");
  adjustment.alpha_global = probabilityOption(options, "alpha-global", 0.05);
  adjustment.alpha = probabilityOption(options, "alpha", 0.001);
  adjustment.power = probabilityOption(options, "power", 0.80);
  adjustment.snooping = !options.has("no-snooping");
  adjustment.sigma = sigmaChoice(options);
  if (const std::optional<std::string> limit = options.value("relative-limit"))
    adjustment.relative_limit = relativeLimit(*limit);
  adjustment.keep_matrices = options.has("sinex");
  if (const std::optional<std::string> most = options.value("sinex-max-stations")) {
    const int stations = parseIntegerOption("sinex-max-stations", *most);
    if (stations < 0) throw UsageError("--sinex-max-stations: not below 0, not '" + *most + "'");
    adjustment.full_covariance_stations = static_cast<std::size_t>(stations);
  }
  return adjustment;
}

std::string stationNameIn(const std::vector<Report>& reports, const std::string& given,
                          std::string_view option) {
  const std::optional<std::string> name = findStationName(reports, given);
  if (!name)
    throw UsageError("--" + std::string(option) + ": no report has a station named '" + given +
                     "'");
  return *name;
}

// The names that need the reports: held stations and relative pairs.
void namedStations(const ParsedOptions& options, const std::vector<Report>& reports,
                   AdjustmentOptions& adjustment) {
  for (const std::string& list : options.values("hold"))
    for (const std::string& given : commaSeparated(list, "hold"))
      adjustment.held.push_back(stationNameIn(reports, given, "hold"));
  for (const std::string& pair : options.values("relative")) {
    const std::vector<std::string> names = commaSeparated(pair, "relative");
    if (names.size() != 2 || names[0] == names[1])
      throw UsageError("--relative: two different stations A,B, not '" + pair + "'");
    adjustment.relative_pairs.push_back({stationNameIn(reports, names[0], "relative"),
                                         stationNameIn(reports, names[1], "relative")});
  }
}

// The reports less those of the O-files that --exclude names (by name, with or without
// the folder); naming an O-file that gave no report is a wrong command line.
std::vector<Report> withoutExcluded(const std::vector<Report>& reports,
                                    const ParsedOptions& options) {
  std::vector<std::string> excluded;
  for (const std::string& list : options.values("exclude"))
    for (const std::string& file : commaSeparated(list, "exclude"))
      excluded.push_back(std::filesystem::path(file).filename().string());
  for (const std::string& file : excluded)
    if (std::none_of(reports.begin(), reports.end(),
                     [&](const Report& r) { return r.file == file; }))
      throw UsageError("--exclude: no report comes from an O-file named '" + file + "'");
  std::vector<Report> kept;
  for (const Report& report : reports)
    if (std::find(excluded.begin(), excluded.end(), report.file) == excluded.end())
      kept.push_back(report);
  return kept;
}

std::vector<ControlStation> controlStations(const ParsedOptions& options,
                                            const std::vector<Report>& reports) {
  const std::optional<std::string> path = options.value("control");
  if (!path) return {};
  std::ifstream in(*path, std::ios::binary);
  if (!in) throw RunError("cannot open control file " + *path);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw RunError("cannot read control file " + *path);
  std::vector<ControlStation> stations = readControlStations(text.str(), *path);
  if (stations.empty()) throw RunError("control file " + *path + " names no station");
  for (ControlStation& station : stations) {
    const std::optional<std::string> name = findStationName(reports, station.name);
    if (!name)
      throw RunError("control file " + *path + ": no report has a station named '" + station.name +
                     "'");
    station.name = *name;
  }
  return stations;
}

std::optional<OutputFile> openIfGiven(const ParsedOptions& options, std::string_view name) {
  const std::optional<std::string> path = options.value(name);
  if (!path) return std::nullopt;
  return openOutputFile(*path, options.has("force"));
}

// Now, as a modified Julian date (the SINEX file's creation time).
double currentModifiedJulianDate() {
  const auto seconds =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  return 40587.0 + seconds / 86400;
}

// The adjustment's own options, then the map outputs.
std::vector<OptionSpec> withMapOptions(std::vector<OptionSpec> options) {
  for (const OptionSpec& map : mapOptionSpecs()) options.push_back(map);
  return options;
}

int runAdjust(const ParsedOptions& options, CommandStreams& streams) {
  AdjustmentOptions adjustment = adjustmentOptions(options);
  const bool strict = options.has(kStrictOption.long_name);
  // Opened before the work, so that an existing file stops the run at once.
  std::optional<OutputFile> json = openIfGiven(options, "json");
  std::optional<OutputFile> csv = openIfGiven(options, "csv");
  std::optional<OutputFile> sinex = openIfGiven(options, "sinex");
  MapOutputs maps = openMapOutputs(options, options.has("csv"));
  const double ellipse_scale = positiveOption(options, "ellipse-scale", 1000, false);

  const InputsRead inputs = readInputs(options, streams.err);
  noticeIncompleteReports(inputs.reports, streams.err, "left out of the adjustment");
  const std::vector<Report> given = withoutExcluded(inputs.reports, options);
  namedStations(options, given, adjustment);
  const auto notice = [&streams](std::string_view text) { notify(streams.err, text); };
  const std::vector<Report> reports =
      selectAdjustmentReports(given, options.has("with-float"), notice);
  if (reports.empty()) {
    const bool any_float = std::any_of(given.begin(), given.end(), [](const Report& r) {
      return reportIsAdjustable(r) && !r.fixed;
    });
    throw RunError(any_float ? "no fixed report (use --with-float)" : "no report to adjust");
  }
  const std::vector<ControlStation> control = controlStations(options, reports);
  refuseIfStrict(inputs.tally, options);
  prepareProjection(maps, options, reports, streams.err);

  const AdjustmentRun run = adjustNetwork(reports, control, adjustment);
  const std::vector<std::string> act_on = actOnLines(run);
  if (json) json->write(adjustmentJson(run, act_on));
  const Projection* projection = maps.projection ? &*maps.projection : nullptr;
  if (csv)
    csv->write(projection ? withGridColumns(stationsCsv(run), lastAdjustment(run), *projection)
                          : stationsCsv(run));
  if (sinex) sinex->write(sinexDocument(adjustSinex(run, reports, currentModifiedJulianDate())));
  writeMapOutputs(maps, adjustLayers(run, reports, ellipse_scale, projection));
  std::vector<OutputFile*> files = maps.files();
  if (json) files.push_back(&*json);
  if (csv) files.push_back(&*csv);
  if (sinex) files.push_back(&*sinex);
  OutputFile::commitAll(files);
  streams.out << adjustmentText(run, act_on, options.has("degrees"));
  return finalStatus(inputs.tally, runIsFlagged(run, strict), streams.err);
}

}  // namespace

const Subcommand& adjustSubcommand() {
  static const Subcommand command{
      .name = "adjust",
      .summary = "the network adjusted by least squares, with data snooping and reliability",
      .usage = "[options] [O-FILE...]",
      .description =
          "Adjusts the vectors of the reports (fixed solutions; float ones with --with-float) "
          "with their covariances, the unknowns being every station's X, Y, Z. The minimally "
          "constrained adjustment holds one station per connected part (--hold; default the "
          "fixed station of the first report) or none (--free, inner constraints); with "
          "--control it is followed by an adjustment constrained to the control stations.\n\n"
          "Each adjustment gives its global test (two-sided chi-square of vTPv), per report "
          "the residuals, w-tests and the 3-dimensional test T in the East-North-Up frame of "
          "its first station with the B-method's critical values, redundancy numbers, "
          "minimal detectable biases and bias-to-noise ratios; iterated data snooping takes "
          "out the report with the largest T over its critical value, one at a time, until "
          "none is left or a tenth of the reports are out. Per station the adjusted "
          "coordinates, geodetic coordinates on GRS 80, sigmas and standard ellipse; per "
          "observed pair the relative precision at 95%. The text report goes to standard "
          "output, angles in grads (--degrees for degrees).\n\n"
          "Exit status: 0 done; 3 a global test fails, a report is taken out or a relative "
          "precision exceeds --relative-limit (with --strict an uncontrolled report too); 4 "
          "done with inputs passed over (each named on standard error); 1 a failed run (no "
          "fixed report, a part of the network without a held station, an output file that "
          "exists, a bad control file); 2 a wrong command line.",
      .options = withMapOptions({
          {"with-float", '\0', "", "take float solutions in too"},
          {"exclude", '\0', "O-FILE[,O-FILE...]",
           "leave out the reports of these O-files; may be given more than once"},
          {"variance-factor", '\0', "F",
           "multiply every report's covariance by F, from 1e-6 to 1e6 (default 1)"},
          {"centring-mm", '\0', "H[,V]",
           "add centring errors of H mm horizontally and V mm vertically (default H) at "
           "each end of every report"},
          {"ppm", '\0', "P", "add P ppm of each report's length on each local axis"},
          {"hold", '\0', "NAME[,NAME...]",
           "the held station of each connected part (default: the fixed station of the "
           "first report)"},
          {"free", '\0', "", "inner constraints per connected part instead of --hold"},
          {"control", '\0', "FILE",
           "also adjust constrained to the stations of a CSV file name,X,Y,Z[,sX,sY,sZ] "
           "(metres; with sigmas weighted and tested, without them held)"},
          {"alpha-global", '\0', "A", "level of the global test (default 0.05)"},
          {"alpha", '\0', "A", "level of the w-test (default 0.001)"},
          {"power", '\0', "P", "power of the tests at the B-method's lambda0 (default 0.80)"},
          {"no-snooping", '\0', "", "test every report but take none out"},
          {"sigma", '\0', "apriori|aposteriori|auto",
           "which variance factor the precisions use (default auto: a priori unless the "
           "global test fails on its upper side)"},
          {"relative", '\0', "A,B",
           "also the relative precision of stations A and B; may be given more than once"},
          {"relative-limit", '\0', "MMmm+PPMppm",
           "flag a pair whose 95% relative semi-major axis exceeds the limit, such as "
           "20mm+50ppm"},
          {"degrees", '\0', "", "angles of the text report in degrees instead of grads"},
          {"json", 'j', "FILE", "also write the results as JSON to FILE"},
          {"csv", '\0', "FILE",
           "also write the adjusted stations as CSV to FILE (with --crs also their grid "
           "coordinates and grid sigmas)"},
          {"sinex", '\0', "FILE",
           "also write the last adjustment as SINEX 2.02 to FILE (station names of at most "
           "4 characters)"},
          {"sinex-max-stations", '\0', "N",
           "the SINEX file holds the full covariance up to N stations (default 500), the "
           "normal equations beyond"},
          {"ellipse-scale", '\0', "S",
           "draw the ellipses of the map files S times larger (default 1000)"},
          {"force", 'f', "", "replace existing output files"},
          kStrictOption,
          kListOption,
      }),
      .run = runAdjust,
  };
  return command;
}

}  // namespace velk

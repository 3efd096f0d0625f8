// baselines series: how each baseline moves over time: velocity, steps, outliers,
// displacement and alarms.

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "commands/exit_status.h"
#include "commands/inputs.h"
#include "commands/log_baselines.h"
#include "commands/map_outputs.h"
#include "commands/output_files.h"
#include "commands/series_options.h"
#include "commands/subcommand.h"
#include "exports/series_layers.h"
#include "format/run_error.h"
#include "plot/file_names.h"
#include "plot/log_file.h"
#include "plot/log_groups.h"
#include "reading/line_reader.h"
#include "series/epochs.h"
#include "series/pair_series.h"
#include "series/series_analysis.h"
#include "series/series_views.h"

namespace velk {
namespace {

namespace fs = std::filesystem;
using series::AnalysedSeries;

// A series with the stations whose known steps apply to it.
struct StationSeries {
  series::Series series;
  std::vector<std::string> stations;
};

// `usable` receives the reports of the series (for the map files' station coordinates).
std::vector<StationSeries> reportSeries(const ParsedOptions& options, std::ostream& err,
                                        InputTally& tally, std::vector<Report>& usable) {
  InputsRead read = readInputs(options, err);
  tally = read.tally;
  noticeIncompleteReports(read.reports, err, "left out of the series");
  for (Report& report : read.reports) {
    if (!report.isComplete()) continue;
    const std::string why = series::unusableForSeries(report);
    if (!why.empty()) {
      notify(err, report.path + " line " + std::to_string(report.header_line) + ": " + why +
                      "; left out of the series");
      continue;
    }
    usable.push_back(std::move(report));
  }
  std::vector<StationSeries> all;
  for (series::Series& one : series::pairSeries(usable, options.has("with-float"))) {
    std::vector<std::string> stations{one.from, one.to};
    all.push_back({std::move(one), std::move(stations)});
  }
  return all;
}

std::vector<StationSeries> logSeries(const ParsedOptions& options, std::ostream& err,
                                     InputTally& tally) {
  const plot::LogSeriesFrame quelmar = quelmarComponents(options);
  std::optional<int> year;
  if (const auto text = options.value("year")) year = parseIntegerOption("year", *text);
  const double same =
      options.value("same-baseline-m")
          ? positiveOption("same-baseline-m", *options.value("same-baseline-m"), false)
          : plot::kSameBaselineMetres;
  std::vector<StationSeries> all;
  forEachLogFile(options, err, tally, [&](const plot::LogFile& file, const std::string& path) {
    if (file.layout == plot::LogLayout::kQuelmar && !year)
      throw UsageError(path + ": a quelmar LOG file carries no year; give it with --year YYYY");
    const plot::LogSeriesFrame components = file.layout == plot::LogLayout::kQuelmar
                                               ? quelmar
                                               : *plot::componentsOfTag(file.records.front().tag);
    const std::string name = fs::path(path).filename().string();
    for (const plot::LogGroup& group : plot::groupLogRecords(file, same, path)) {
      StationSeries one{
          logBaselineSeries(file, group, name, components, year, options.has("with-float")), {}};
      if (!group.station.empty()) one.stations.push_back(group.station);
      all.push_back(std::move(one));
    }
  });
  if (all.empty()) throw RunError("every LOG file was passed over: no record read");
  return all;
}

// East, north, up and 2d mean nothing for dX, dY, dZ.
void refuseLocalThresholds(const std::vector<StationSeries>& all,
                           const series::AnalysisOptions& analysis) {
  const bool geocentric = std::any_of(all.begin(), all.end(), [](const StationSeries& one) {
    return one.series.kind == series::ComponentKind::kGeocentric;
  });
  if (!geocentric) return;
  for (const series::Measure m : {series::Measure::kEast, series::Measure::kNorth,
                                  series::Measure::kUp, series::Measure::kHorizontal})
    if (analysis.warn[static_cast<std::size_t>(m)] || analysis.alarm[static_cast<std::size_t>(m)])
      throw UsageError(std::string("the threshold ") + series::measureKey(m) +
                       " does not apply to dX dY dZ series: only 3d and length do");
}

// The CSV files, or the .mom files, of every pair in one folder: all written or none.
void writeFolder(const std::string& folder, const std::vector<AnalysedSeries>& all, bool mom,
                 bool force, std::vector<OutputFile>& files) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw RunError("cannot create folder " + folder + ": " + error.message());
  plot::FileNamer namer;
  for (const AnalysedSeries& one : all) {
    const std::string stem =
        one.series.to.empty() ? one.series.from : one.series.from + "-" + one.series.to;
    if (!mom) {
      files.push_back(
          openOutputFile((fs::path(folder) / namer.name(stem, ".csv")).string(), force));
      files.back().write(series::seriesCsv(one));
      continue;
    }
    const std::array<std::string, 3> texts = series::seriesMom(one);
    for (int c = 0; c < 3; ++c) {
      const std::string name =
          namer.name(stem + "_" + series::componentLetter(one.series.kind, c), ".mom");
      files.push_back(openOutputFile((fs::path(folder) / name).string(), force));
      files.back().write(texts[static_cast<std::size_t>(c)]);
    }
  }
}

int runSeries(const ParsedOptions& options, CommandStreams& streams) {
  const bool log = options.has("log");
  if (!log)
    for (const char* name : {"year", "components", "same-baseline-m"})
      if (options.has(name)) throw UsageError(std::string("--") + name + " applies to --log only");
  series::AnalysisOptions analysis = analysisOptions(options);
  const auto known = knownSteps(options);
  const bool force = options.has("force");
  std::optional<OutputFile> json;
  if (const auto path = options.value("json")) json.emplace(openOutputFile(*path, force));
  if (log && (options.has("gpkg") || options.has("geojson")))
    throw UsageError("--gpkg and --geojson need O-files: a LOG file gives no coordinates");
  MapOutputs maps = openMapOutputs(options, false);

  InputTally tally;
  std::vector<Report> reports;
  std::vector<StationSeries> inputs = log ? logSeries(options, streams.err, tally)
                                          : reportSeries(options, streams.err, tally, reports);
  refuseLocalThresholds(inputs, analysis);
  refuseIfStrict(tally, options);
  prepareProjection(maps, options, reports, streams.err);

  std::vector<AnalysedSeries> all;
  bool alarm = false;
  for (StationSeries& input : inputs) {
    series::AnalysisOptions own = analysis;
    for (const std::string& station : input.stations)
      if (const auto found = known.find(station); found != known.end())
        own.steps.known_epochs.insert(own.steps.known_epochs.end(), found->second.begin(),
                                      found->second.end());
    series::SeriesResult result = series::analyseSeries(input.series, own);
    alarm = alarm || result.status == series::Status::kAlarm;
    all.push_back({std::move(input.series), std::move(result)});
  }

  std::vector<OutputFile> files;
  if (const auto folder = options.value("csv")) writeFolder(*folder, all, false, force, files);
  if (const auto folder = options.value("mom")) writeFolder(*folder, all, true, force, files);
  if (json) json->write(series::seriesJson(all));
  writeMapOutputs(maps, seriesLayers(all, reports));
  std::vector<OutputFile*> outputs = maps.files();
  for (OutputFile& file : files) outputs.push_back(&file);
  if (json) outputs.push_back(&*json);
  OutputFile::commitAll(outputs);
  // With the JSON on standard output, the text goes to standard error.
  std::ostream& text = options.value("json") == kStandardOutputName ? streams.err : streams.out;
  text << series::seriesText(all, analysis);
  return finalStatus(tally, alarm, streams.err);
}

// The options given, then those of the analysis, then the inputs'.
std::vector<OptionSpec> withAnalysisOptions(std::vector<OptionSpec> options) {
  const std::vector<OptionSpec>& analysis = seriesAnalysisOptions();
  options.insert(options.end(), analysis.begin(), analysis.end());
  options.push_back(kListOption);
  options.push_back(kStrictOption);
  return options;
}

}  // namespace

const Subcommand& seriesSubcommand() {
  static const Subcommand command{
      .name = "series",
      .summary =
          "how each baseline moves over time: velocity, steps, outliers, displacement, alarms",
      .usage =
          "[options] [O-FILE...]\n       baselines series --log [--year YYYY] [options] "
          "LOG-FILE...",
      .description =
          "Follows each station pair over time (reversed reports negated), its reports in the "
          "order of the middle of their observation periods, components east, north, up in the "
          "local frame of mark 1 of the pair's first report, in mm. With --log the inputs are "
          "LOG files of novrale (types 4, 5, 6) or quelmar (types 5, 6): records whose vectors "
          "agree within --same-baseline-m (and, in novrale type 4, that share their fixed "
          "station) make one baseline; sigmas are floored at 0.5 mm.\n\n"
          "Every covariance is scaled by the robust variance factor of its series (never below "
          "1). Steps are searched by binary segmentation (chi-square, 3 degrees of freedom, at "
          "--alpha over the splits), outliers flagged at --alpha-outlier over the reports, both "
          "together. The velocity is MIDAS's (Blewitt et al. 2016) where the series spans 1.05 "
          "years or more, else that of least squares (a trend and one offset per segment), "
          "which is always shown too. The displacement is the model at the last report minus "
          "the model at the reference epoch. A threshold of --warn or --alarm is reached when "
          "the displacement exceeds it and twice its sigma. Status per pair: ok, warning, "
          "alarm, insufficient (fewer than 3 reports) or unstable (more than a third of the "
          "reports are outliers).\n\n"
          "Dates are d.m.yyyy or yyyy-mm-dd, optionally with Thh:mm (GPS time).\n\n"
          "Exit status: 0 done; 1 a failed run (with --strict, also an input passed over; "
          "nothing is written); 2 a wrong command line or no input; 3 a pair is at alarm; 4 "
          "done, but inputs were passed over (each named on standard error, then counted).",
      .options = withAnalysisOptions({
              {"log", '\0', "", "the inputs are LOG files, not O-files"},
              {"year", '\0', "YYYY", "--log: the year of a quelmar LOG file's first record"},
              {"components", '\0', "enu|xyz",
               "--log: what a quelmar LOG file's components are (default enu)"},
              {"same-baseline-m", '\0', "M",
               "--log: records whose vectors agree within M metres are one baseline (default 1)"},
              {"json", 'j', "FILE",
               "also write the results as JSON to FILE (-: standard output, the text then "
               "going to standard error)"},
              {"csv", '\0', "FOLDER", "one CSV file of the points, model and residuals per pair"},
              {"mom", '\0', "FOLDER", "Hector's .mom files, one per pair and component (MJD, mm)"},
              {"gpkg", '\0', "FILE",
               "also write the pairs as lines, with their status, velocity, steps and "
               "displacement, into a GeoPackage FILE (O-files only)"},
              {"geojson", '\0', "FILE", "the same lines as one GeoJSON FILE (O-files only)"},
              {"crs", '\0', "CODE",
               "the GeoPackage's lines on the grid of the projected system CODE (PROJ)"},
              {"source-crs", '\0', "CODE",
               "the geocentric system of the reports' coordinates (default: that of --crs)"},
              {"force", 'f', "", "replace existing output files"},
              {"alpha", '\0', "P", "significance of the step search (default 0.01)"},
          }),
      .run = runSeries,
  };
  return command;
}

}  // namespace velk

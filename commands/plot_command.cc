// baselines plot network|series: the network and the series of repeated baselines as SVG.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "checks/network_check.h"
#include "commands/check_limits.h"
#include "commands/exit_status.h"
#include "commands/inputs.h"
#include "commands/log_baselines.h"
#include "commands/output_files.h"
#include "commands/series_options.h"
#include "commands/subcommand.h"
#include "format/output_file.h"
#include "format/run_error.h"
#include "format/text_encoding.h"
#include "plot/checked_network.h"
#include "plot/file_names.h"
#include "plot/index_page.h"
#include "plot/log_file.h"
#include "plot/log_groups.h"
#include "plot/log_series.h"
#include "plot/network_picture.h"
#include "plot/series_model.h"
#include "plot/series_picture.h"
#include "reading/line_reader.h"
#include "series/pair_series.h"

namespace velk {
namespace {

namespace fs = std::filesystem;

const std::vector<OptionSpec> kOptions = [] {
  std::vector<OptionSpec> options{
      {"output", 'o', "FILE",
       "network: the SVG file to write (- for standard output); it must not exist, unless "
       "--force"},
      {"output-dir", 'd', "DIR",
       "series: the folder for the pictures and index.html (made if missing)"},
      {"pair", '\0', "FROM,TO", "series: draw this pair only (in either direction)"},
      {"log", '\0', "",
       "series: the operands and listed files are LOG files of novrale (types 4, 5, 6) or "
       "quelmar (types 5, 6), not O-files"},
      {"same-baseline-m", '\0', "M",
       "series --log: records whose components lie within M metres follow one baseline (1)"},
      {"components", '\0', "enu|xyz",
       "series --log: what the components of a quelmar LOG file are (default enu); novrale's "
       "tag column says it for its files"},
      {"force", 'f', "", "replace existing files (in one step, once all are complete)"},
  };
  for (const OptionSpec& option : checkLimitOptions()) options.push_back(option);
  // The series' model: its analysis as `baselines series` makes it (--alpha is the check's
  // and the step search's alike).
  for (const OptionSpec& option : seriesAnalysisOptions()) options.push_back(option);
  options.push_back(kListOption);
  options.push_back(kStrictOption);
  return options;
}();

void refuse(const ParsedOptions& options, std::initializer_list<std::string_view> names,
            std::string_view kind) {
  for (const std::string_view name : names)
    if (options.has(name))
      throw UsageError("--" + std::string(name) + " is not an option of 'plot " + std::string(kind) + "'");
}

// Reports read each on its own, with a notice for each that takes part in no picture.
struct CheckedReports {
  std::vector<Report> reports;
  InputTally tally;
  NetworkCheck check;
};

CheckedReports readAndCheck(const ParsedOptions& inputs, const CheckOptions& limits,
                            std::ostream& err) {
  CheckedReports checked;
  InputsRead read = readInputs(inputs, err);
  checked.reports = std::move(read.reports);
  checked.tally = read.tally;
  checked.check = checkNetwork(checked.reports, limits);
  for (const BaselineCheck& baseline : checked.check.baselines) {
    if (baseline.usable) continue;
    const Report& report = checked.reports[baseline.report];
    std::string flags;
    for (const std::string& flag : baseline.flags) flags += (flags.empty() ? "" : ", ") + flag;
    notify(err, report.path + " line " + std::to_string(report.header_line) +
                    ": report left out of the means and loops (" + flags + ")");
  }
  return checked;
}

int runNetwork(const ParsedOptions& options, CommandStreams& streams) {
  refuse(options, {"output-dir", "pair", "log", "components", "same-baseline-m"}, "network");
  for (const OptionSpec& option : seriesAnalysisOptions()) refuse(options, {option.long_name}, "network");
  const std::string output = requiredValue(options, "output");
  const CheckedReports checked =
      readAndCheck(options.withoutFirstOperand(), checkLimits(options), streams.err);
  std::vector<std::string> left_out;
  const plot::NetworkDrawing drawing = plot::checkedNetwork(checked.reports, checked.check, left_out);
  for (const std::string& notice : left_out) notify(streams.err, notice);
  if (drawing.stations.empty()) throw RunError("no usable report: no station to draw");
  refuseIfStrict(checked.tally, options);
  OutputFile file = openOutputFile(output, options.has("force"));
  file.write(plot::drawNetwork(drawing).svg);
  file.commit();
  if (output != kStandardOutputName) streams.out << output << '\n';
  return finalStatus(checked.tally, false, streams.err);
}

// --pair FROM,TO: the pair's two names, as typed (UTF-8).
std::optional<std::pair<std::string, std::string>> chosenPair(const ParsedOptions& options) {
  const std::optional<std::string> value = options.value("pair");
  if (!value) return std::nullopt;
  const std::size_t comma = value->find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == value->size())
    throw UsageError("--pair: FROM,TO, not '" + *value + "'");
  return std::pair{value->substr(0, comma), value->substr(comma + 1)};
}

// Each pair's picture gets the model that `baselines series` fits to the pair's reports
// (those that can take part in a series), with the thresholds and known steps given.
void attachModels(std::vector<plot::NamedSeries>& pictures, const std::vector<Report>& reports,
                  const ParsedOptions& options) {
  const series::AnalysisOptions analysis = analysisOptions(options);
  const auto known = knownSteps(options);
  std::vector<Report> usable;
  for (const Report& report : reports)
    if (series::unusableForSeries(report).empty()) usable.push_back(report);
  for (const series::Series& one : series::pairSeries(usable, options.has("with-float"))) {
    const std::string from = cp850ToUtf8(one.from), to = cp850ToUtf8(one.to);
    const auto picture = std::find_if(pictures.begin(), pictures.end(), [&](const auto& p) {
      return (p.from == from && p.to == to) || (p.from == to && p.to == from);
    });
    if (picture == pictures.end() || picture->from != from) continue;
    series::AnalysisOptions own = analysis;
    for (const std::string& station : {one.from, one.to})
      if (const auto found = known.find(station); found != known.end())
        own.steps.known_epochs.insert(own.steps.known_epochs.end(), found->second.begin(),
                                      found->second.end());
    plot::attachModel(picture->drawing, one, series::analyseSeries(one, own), own);
  }
}

std::vector<plot::NamedSeries> reportPictures(const ParsedOptions& options, std::ostream& err,
                                              InputTally& tally) {
  const CheckOptions limits = checkLimits(options);
  const CheckedReports checked = readAndCheck(options.withoutFirstOperand(), limits, err);
  tally = checked.tally;
  std::vector<plot::NamedSeries> series =
      plot::pairSeries(checked.reports, checked.check, limits.variance_factor);
  attachModels(series, checked.reports, options);
  if (const auto pair = chosenPair(options)) {
    std::erase_if(series, [&](const plot::NamedSeries& s) {
      const bool same = (s.from == pair->first && s.to == pair->second) ||
                        (s.from == pair->second && s.to == pair->first);
      return !same;
    });
    if (series.empty())
      throw RunError("no pair " + pair->first + "," + pair->second + " of two or more usable reports");
  }
  if (series.empty()) throw RunError("no pair of stations is measured by two or more usable reports");
  return series;
}

double sameBaselineMetres(const ParsedOptions& options) {
  const std::optional<std::string> text = options.value("same-baseline-m");
  if (!text) return plot::kSameBaselineMetres;
  const double metres = parseRealOption("same-baseline-m", *text);
  if (!(metres > 0)) throw UsageError("--same-baseline-m: more than 0, not '" + *text + "'");
  return metres;
}

// The pictures of a novrale LOG file get the model of each baseline's series as `baselines
// series --log` fits it (quelmar's records carry no year: their pictures count days of the
// year, and get none).
void attachLogModels(std::vector<plot::NamedSeries>& pictures, const plot::LogFile& file,
                     const std::string& path, double same_baseline_m,
                     const ParsedOptions& options) {
  if (file.layout == plot::LogLayout::kQuelmar) return;
  const std::vector<plot::LogGroup> groups = plot::groupLogRecords(file, same_baseline_m, path);
  if (groups.size() != pictures.size()) return;
  const series::AnalysisOptions analysis = analysisOptions(options);
  const auto known = knownSteps(options);
  const std::optional<plot::LogSeriesFrame> components =
      plot::componentsOfTag(file.records.front().tag);
  if (!components) return;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (pictures[g].drawing.days != plot::DayCount::kModifiedJulian) continue;
    const series::Series one =
        logBaselineSeries(file, groups[g], fs::path(path).filename().string(), *components,
                          std::nullopt, options.has("with-float"));
    series::AnalysisOptions own = analysis;
    if (const auto found = known.find(groups[g].station); found != known.end())
      own.steps.known_epochs.insert(own.steps.known_epochs.end(), found->second.begin(),
                                    found->second.end());
    plot::attachModel(pictures[g].drawing, one, series::analyseSeries(one, own), own);
  }
}

std::vector<plot::NamedSeries> logPictures(const ParsedOptions& options, std::ostream& err,
                                           InputTally& tally) {
  refuse(options, {"pair"}, "series --log");
  for (const OptionSpec& limit : checkLimitOptions()) refuse(options, {limit.long_name}, "series --log");
  const plot::LogSeriesFrame components = quelmarComponents(options);
  const double same_baseline_m = sameBaselineMetres(options);
  std::vector<plot::NamedSeries> series;
  forEachLogFile(options.withoutFirstOperand(), err, tally,
                 [&](const plot::LogFile& file, const std::string& path) {
                   std::vector<plot::NamedSeries> pictures = plot::logSeries(
                       file, fs::path(path).filename().string(), path, components, same_baseline_m);
                   attachLogModels(pictures, file, path, same_baseline_m, options);
                   for (plot::NamedSeries& picture : pictures) series.push_back(std::move(picture));
                 });
  if (series.empty()) throw RunError("no LOG record to draw");
  return series;
}

// The pictures and their index, written together: all or none.
void writeFolder(const std::string& folder, const std::vector<plot::NamedSeries>& series,
                 bool force, std::ostream& out) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw RunError("cannot create folder " + folder + ": " + error.message());
  plot::FileNamer namer;
  const std::string index_name = namer.name("index", ".html");
  std::vector<OutputFile> files;
  std::vector<plot::IndexEntry> entries;
  files.reserve(series.size() + 1);
  for (const plot::NamedSeries& one : series) {
    const std::string summary = plot::seriesSummary(one);
    if (one.drawing.samples.size() < 2) {  // a single LOG record: listed, not drawn
      entries.push_back({one.drawing.name, "", 0, 0, summary, plot::isFlagged(one)});
      continue;
    }
    const plot::SeriesPicture picture = plot::drawSeries(one.drawing);
    const std::string name = namer.name(one.name, ".svg");
    files.push_back(openOutputFile((fs::path(folder) / name).string(), force));
    files.back().write(picture.svg);
    entries.push_back(
        {one.drawing.name, name, picture.width, picture.height, summary, plot::isFlagged(one)});
  }
  files.push_back(openOutputFile((fs::path(folder) / index_name).string(), force));
  files.back().write(plot::indexPage(
      "Series of " + std::to_string(series.size()) +
          (series.size() == 1 ? " picture" : " pictures"),
      "Each picture shows the differences of every measurement from its weighted mean, with "
      "error bars of one sigma and a band of three robust sigmas (1.4826 times the median "
      "absolute deviation, at least the median sigma); flagged series come first.",
      entries));
  std::vector<OutputFile*> all;
  for (OutputFile& file : files) all.push_back(&file);
  OutputFile::commitAll(all);
  for (const OutputFile& file : files) out << file.path() << '\n';
}

int runSeries(const ParsedOptions& options, CommandStreams& streams) {
  refuse(options, {"output"}, "series");
  const std::string folder = requiredValue(options, "output-dir");
  if (!options.has("log"))
    refuse(options, {"components", "same-baseline-m"}, "series without --log");
  InputTally tally;
  const std::vector<plot::NamedSeries> series =
      options.has("log") ? logPictures(options, streams.err, tally)
                         : reportPictures(options, streams.err, tally);
  refuseIfStrict(tally, options);
  writeFolder(folder, series, options.has("force"), streams.out);
  return finalStatus(tally, false, streams.err);
}

int runPlot(const ParsedOptions& options, CommandStreams& streams) {
  if (options.operands().empty()) throw UsageError("missing what to draw: network or series");
  const std::string& kind = options.operands().front();
  if (options.operands().size() == 1 && !options.has(kListOption.long_name))
    throw UsageError(std::string(options.has("log") ? "no LOG files" : "no O-files") +
                     " given (name them, or give --list FILE)");
  refuse(options, {"top"}, kind);  // a limit of check's text, not of the pictures
  if (kind == "network") return runNetwork(options, streams);
  if (kind == "series") return runSeries(options, streams);
  throw UsageError("draws 'network' or 'series', not '" + kind + "'");
}

}  // namespace

const Subcommand& plotSubcommand() {
  static const Subcommand command{
      .name = "plot",
      .summary = "draw the network or the series of repeated baselines as SVG pictures",
      .usage =
          "network --output FILE.svg [options] [O-FILE...]\n"
          "       baselines plot series --output-dir DIR [--pair FROM,TO] [options] [O-FILE...]\n"
          "       baselines plot series --log --output-dir DIR [--components enu|xyz]\n"
          "                             [--same-baseline-m M] LOG-FILE...",
      .description =
          "Pictures are self-contained SVG files (no script, no external font or file) that open "
          "in any browser and in the usual office and GIS programs.\n\n"
          "'plot network' draws the stations in the local East-North plane of the first "
          "report's mark 1, north up, each with its name, and each measured pair as a line "
          "coloured by its status, the first that applies: suspect (of the loop checks), flagged "
          "(one of its reports has a flag other than float, its repeat is flagged, or a flagged "
          "loop runs through it), fine; solid when one of its reports is fixed, dashed when "
          "all are float. The check's limits are those of 'baselines check'.\n\n"
          "'plot series' draws, for every pair of two or more usable reports, one picture "
          "FROM-TO.svg of four panels: dE, dN, dU in the local frame of the pair's first "
          "station and d(length), in mm, against the middle of each observation period, "
          "relative to the pair's weighted mean (that of 'baselines check', whose limits and "
          "variance factor apply); and DIR/index.html that shows them all. The "
          "pictures and the index are written together, the index last: all of them or none. "
          "With --log it draws LOG files instead: the records of each file are grouped into "
          "baselines (components within --same-baseline-m metres of the group's first record, "
          "and in a novrale type-4 file the same fixed station), one picture per group named "
          "by the file, the station and the length; a group of one record is listed in the "
          "index, not drawn. Their means weight each record with 1/max(sigma, 0.5 mm)².\n\n"
          "In every picture a band of three robust sigmas surrounds the mean, flagged reports "
          "are diamonds, and each point names its file, GPS time and values when the pointer "
          "rests on it. The index lists flagged series first.\n\n"
          "The names of the files written are shown on standard output.\n\n"
          "Exit status: 0 done; 1 a failed run, nothing written (with --strict, also an input "
          "passed over); 2 a wrong command line or no input; 4 done, but inputs were passed "
          "over (each named on standard error, then counted).",
      .options = kOptions,
      .run = runPlot,
  };
  return command;
}

}  // namespace velk

// baselines export dynaml|gama: adjustment input for DynAdjust or GNU Gama, each report
// with its full covariance.

#include <array>
#include <optional>

#include "commands/check_limits.h"
#include "commands/inputs.h"
#include "commands/output_files.h"
#include "commands/subcommand.h"
#include "exports/dynaml.h"
#include "exports/export_network.h"
#include "exports/gama_local.h"
#include "reading/calendar_date.h"

namespace velk {
namespace {

enum class ExportFormat { kDynaml, kGama };

ExportFormat formatOperand(const ParsedOptions& options) {
  if (options.operands().empty()) throw UsageError("missing format: dynaml or gama");
  const std::string& format = options.operands().front();
  if (format == "dynaml") return ExportFormat::kDynaml;
  if (format == "gama") return ExportFormat::kGama;
  throw UsageError("the format is dynaml or gama, not '" + format + "'");
}

std::string acceptedFrames() {
  std::string text;
  for (const std::string_view label : dynamlFrameLabels()) {
    if (!text.empty()) text += ", ";
    text += label;
  }
  return text;
}

// The frame and, when given, the epoch of the DynaML files.
struct DynamlOptions {
  std::string frame = "ITRF2014";
  std::optional<CalendarDate> epoch;
};

DynamlOptions dynamlOptions(const ParsedOptions& options, ExportFormat format) {
  DynamlOptions dynaml;
  if (format == ExportFormat::kGama) {
    for (const char* name : {"frame", "epoch"})
      if (options.has(name)) throw UsageError("--" + std::string(name) + " is for dynaml only");
    return dynaml;
  }
  if (const std::optional<std::string> frame = options.value("frame")) {
    if (!isDynamlFrameLabel(*frame))
      throw UsageError("--frame: DynAdjust does not know '" + *frame +
                       "'; it accepts " + acceptedFrames());
    dynaml.frame = *frame;
  }
  if (const std::optional<std::string> epoch = options.value("epoch")) {
    dynaml.epoch = readCalendarDate(*epoch);
    if (!dynaml.epoch)
      throw UsageError("--epoch: a date d.m.yyyy or yyyy-mm-dd, not '" + *epoch + "'");
  }
  return dynaml;
}

// The held stations as the reports spell them: --hold NAME[,NAME...], once or more.
std::vector<std::string> heldStations(const ParsedOptions& options,
                                      const std::vector<Report>& reports) {
  std::vector<std::string> held;
  for (const std::string& list : options.values("hold")) {
    std::size_t start = 0;
    while (start <= list.size()) {
      const std::size_t comma = std::min(list.find(',', start), list.size());
      const std::string given = list.substr(start, comma - start);
      start = comma + 1;
      if (given.empty()) throw UsageError("--hold: an empty station name in '" + list + "'");
      const std::optional<std::string> name = findStationName(reports, given);
      if (!name) throw UsageError("--hold: no report has a station named '" + given + "'");
      held.push_back(*name);
    }
  }
  return held;
}

void writeDynaml(const ExportNetwork& network, const DynamlOptions& options,
                 const std::string& prefix, bool force) {
  const DynamlHeader header{options.frame,
                            options.epoch.value_or(network.reports.front().start_date)};
  const std::string stations = dynamlStationFile(network, header);
  const std::string measurements = dynamlMeasurementFile(network, header);
  OutputFile station_file = openOutputFile(prefix + ".stn.xml", force);
  OutputFile measurement_file = openOutputFile(prefix + ".msr.xml", force);
  station_file.write(stations);
  measurement_file.write(measurements);
  const std::array<OutputFile*, 2> files{&station_file, &measurement_file};
  OutputFile::commitAll(files);
}

void writeGama(const ExportNetwork& network, const std::string& path, bool force) {
  const std::string document = gamaLocalDocument(network);
  OutputFile file = openOutputFile(path, force);
  file.write(document);
  file.commit();
}

int runExport(const ParsedOptions& options, CommandStreams& streams) {
  const ExportFormat format = formatOperand(options);
  const std::string output = requiredValue(options, "output");
  if (format == ExportFormat::kDynaml && output == kStandardOutputName)
    throw UsageError("dynaml writes two files: --output takes their prefix, not -");
  const double factor = varianceFactorOption(options);
  const DynamlOptions dynaml = dynamlOptions(options, format);

  const InputsRead inputs = readInputs(options.withoutFirstOperand(), streams.err);
  const std::vector<Report>& reports = inputs.reports;
  const std::vector<std::string> held = heldStations(options, reports);
  const auto notice = [&streams](std::string_view text) { notify(streams.err, text); };
  ExportNetwork network = buildExportNetwork(
      selectExportReports(reports, options.has("fixed-only"), notice), held, factor);
  refuseIfStrict(inputs.tally, options);

  const bool force = options.has("force");
  if (format == ExportFormat::kDynaml) {
    writeDynaml(network, dynaml, output, force);
  } else {
    writeGama(network, output, force);
  }
  return finalStatus(inputs.tally, false, streams.err);
}

}  // namespace

const Subcommand& exportSubcommand() {
  static const Subcommand command{
      .name = "export",
      .summary = "write adjustment input for DynAdjust (DynaML) or GNU Gama (gama-local)",
      .usage = "dynaml|gama --output PREFIX|FILE [options] [O-FILE...]",
      .description =
          "Writes the reports as GNSS baselines with their full variance-covariance matrix "
          "(sigmas and correlation rows) for an open adjustment engine. 'dynaml' writes "
          "PREFIX.stn.xml and PREFIX.msr.xml for DynAdjust (matrices in m², DynaML.xsd to be "
          "copied beside them); 'gama' writes one gama-local document FILE (matrices in "
          "mm²).\n\n"
          "Each report is read on its own. One that lacks station names, its vector, sigmas, "
          "mark 1, the date, or mark 2 for a station that no report has as its fixed "
          "station, and one whose matrix is not positive definite, is left out with a "
          "notice on standard error. A station's a priori coordinates are mark 1 of the "
          "first report where it is the fixed station, else mark 2 of the first report "
          "where it is the unknown one. Every connected part of the network must hold a "
          "station, or the run fails and names the stations of the part that floats.\n\n"
          "Exit status: 0 the file(s) written; 1 nothing written (no report left, a part of "
          "the network holds no station, an output file exists, an unreadable number in an "
          "O-file; with --strict, an input passed over); 2 a wrong command line or no input; "
          "4 the file(s) written, but inputs were passed over (each named on standard error, "
          "then counted).",
      .options =
          {
              {"output", 'o', "PREFIX|FILE",
               "dynaml: the prefix of the two files; gama: the file to write (- for standard "
               "output). Files must not exist, unless --force"},
              {"force", 'f', "",
               "replace existing output files (in one step, once the new ones are complete)"},
              {"hold", '\0', "NAME[,NAME...]",
               "the stations held fixed at their a priori coordinates (default: the fixed "
               "station of the first report that goes in); may be given more than once"},
              {"variance-factor", '\0', "F",
               "multiply every covariance matrix by F (0.000001 to 1000000), so that the "
               "sigmas grow by √F "
               "(DynaML Vscale; the Gama matrices themselves); default 1"},
              {"fixed-only", '\0', "",
               "leave out reports without a fixed solution (by default they go in, listed in "
               "a notice)"},
              {"frame", '\0', "LABEL",
               "dynaml: the reference frame label of the files and measurements (default "
               "ITRF2014; one that DynAdjust accepts, e.g. GDA2020, ITRF2008, WGS84 (G2139))"},
              {"epoch", '\0', "DATE",
               "dynaml: the epoch of the files, d.m.yyyy or yyyy-mm-dd (default the date of the first report that goes "
               "in); each measurement has its own report's date"},
              kListOption,
              kStrictOption,
          },
      .run = runExport,
  };
  return command;
}

}  // namespace velk

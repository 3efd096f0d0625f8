// baselines velk: the VELK or LOG file that a dialog program writes, from a command line.

#include <filesystem>
#include <sstream>

#include "commands/exit_status.h"
#include "commands/inputs.h"
#include "commands/output_files.h"
#include "commands/subcommand.h"
#include "format/output_file.h"
#include "format/run_error.h"
#include "reading/scan_report.h"
#include "run/run_conversion.h"
#include "run/run_settings.h"
#include "run/write_output.h"

namespace velk {
namespace {

const Edition& editionNamed(const std::string& name) {
  if (name == "quelmar") return quelmarEdition();
  if (name == "novrale") return novraleEdition();
  throw UsageError("--edition: quelmar or novrale, not '" + name + "'");
}

std::string baseName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// Records that go nowhere: the console of a run without --echo.
class DiscardedRecords : public RecordSink {
 public:
  void put(std::string_view) override {}
};

// The settings the dialog would hold: the output name's first 12 characters (quelmar's
// file-name code is its characters 7 and 8).
RunSettings settingsFor(const Edition& edition, int output_type, const std::string& output) {
  RunSettings settings;
  settings.output_type = output_type;
  settings.output_file_name = baseName(output);
  if (edition.has_file_name_code)
    settings.file_name_code = settings.output_file_name.view().substr(6, 2);
  return settings;
}

int runVelk(const ParsedOptions& options, CommandStreams& streams) {
  const Edition& edition = editionNamed(requiredValue(options, "edition"));
  const int output_type = parseIntegerOption("type", requiredValue(options, "type"));
  const std::string output_path = requiredValue(options, "output");
  const bool echo = options.has("echo");
  const RunSettings settings = settingsFor(edition, output_type, output_path);
  InputTally tally;
  const std::vector<std::string> inputs = inputPaths(options, streams.err, tally);

  OutputFile output = openOutputFile(output_path, options.has("force"));
  std::istringstream no_answers;
  Console console(streams.out, no_answers);
  DiscardedRecords discarded;
  RecordSink& echoed = echo ? static_cast<RecordSink&>(console) : discarded;

  BaselineTable table;
  ReportScanState state;
  const DataBeforeHeaderNotice notice = [&streams](std::string_view path) {
    notify(streams.err, std::string(path) + ": lines before the first report header passed over");
  };
  // The entries carry the O-file's base name, as the dialog holds a list entry without a
  // folder.
  forEachOFile(
      inputs, streams.err, tally,
      [&](const std::string& path) { echoFileName(echoed, FixedText<12>(baseName(path))); },
      [&](LineReader& in, const std::string& path) {
        const FixedText<12> name(baseName(path));
        const std::int32_t entries_before = table.baseline_count();
        scan_report(in, name.view(), path, table, state, edition.reading, echoed, notice);
        return table.baseline_count() > entries_before;
      });
  if (table.baseline_count() == 0)
    throw RunError(tally.files_given == 1 ? "the O-file was passed over: no report read"
                                          : "every O-file was passed over: no report read");
  refuseIfStrict(tally, options);
  writeOutput(settings, table, edition, output, echoed);
  if (echo) {
    console.putRaw("\n");
    console.flush();
  }
  output.commit();
  return finalStatus(tally, false, streams.err);
}

}  // namespace

const Subcommand& velkSubcommand() {
  static const Subcommand command{
      .name = "velk",
      .summary = "convert O-files into the VELK or LOG file of a dialog edition",
      .usage = "--edition quelmar|novrale --type N --output FILE [options] [O-FILE...]",
      .description =
          "Writes exactly the file that the dialog program of the edition writes for the same "
          "O-files and output type. Each entry is named after the first 8 characters of its "
          "O-file's name without its folder; quelmar's file-name code is characters 7 and 8 "
          "of the output file's name. Reports are read as the dialog reads them: a value that "
          "a report does not give keeps the previous report's.\n\n"
          "Output types: 0 ratt-data, 1 station, 2 vector, 3 vector and covariance matrix; "
          "quelmar 4 the three types and a LOG section, 5 LOG E,N,U, 6 LOG X,Y,Z; novrale 4 "
          "LOG gpps, 5 LOG cartesien, 6 LOG geocentrique. Any other number writes ratt-data.\n\n"
          "Each report that lacks what a report needs (names, vector, sigmas, mark 1, date) is "
          "named on standard error with what the file holds in its place; the file stays the "
          "dialog's.\n\n"
          "Exit status: 0 done; 1 a failed run, nothing written (with --strict, also an input "
          "passed over); 2 a wrong command line or no input; 4 done, but inputs were passed "
          "over or reports are incomplete (each named on standard error, then counted).",
      .options =
          {
              {"edition", 'e', "NAME", "quelmar or novrale: the dialog program to reproduce"},
              {"type", 't', "N", "the output type, as typed at the dialog's first question"},
              {"output", 'o', "FILE", "the file to write; it must not exist, unless --force"},
              {"force", 'f', "",
               "replace an existing output file (in one step, once the new one is complete)"},
              {"echo", '\0', "",
               "show the dialog's console lines of the reading and writing phases on standard "
               "output"},
              kListOption,
              kStrictOption,
          },
      .run = runVelk,
  };
  return command;
}

}  // namespace velk

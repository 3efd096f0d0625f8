// baselines velk: the VELK or LOG file that a dialog program writes, from a command line.

#include <algorithm>
#include <bit>
#include <filesystem>
#include <sstream>

#include "commands/exit_status.h"
#include "commands/inputs.h"
#include "reading/line_reader.h"
#include "commands/output_files.h"
#include "commands/subcommand.h"
#include "format/number_text.h"
#include "format/output_file.h"
#include "geodesy/geodesy.h"
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

// The needed items of a report, joined: "vector and sigmas".
std::string itemList(std::uint32_t items) {
  std::vector<std::string_view> names;
  for (int i = 0; i < kReportItemCount; ++i)
    if ((items & (std::uint32_t{1} << i)) != 0) names.push_back(reportItemName(static_cast<ReportItem>(i)));
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i)
    text += std::string(i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + std::string(names[i]);
  return text;
}

// What the legacy record of an incomplete report holds where its report gave nothing: the
// float section's values under the fixed kind, zeros, or what was read before it.
std::string carriedOverText(const EntryItems& items, std::uint32_t missing) {
  constexpr std::uint32_t kSolution = reportItemBit(ReportItem::kVector) |
                                      reportItemBit(ReportItem::kSigmas) |
                                      reportItemBit(ReportItem::kMark1);
  const std::uint32_t from_float = items.has_fixed ? missing & kSolution & items.float_given : 0;
  const std::uint32_t zeros = missing & kSolution & ~from_float;
  std::vector<std::string> parts;
  if (from_float != 0)
    parts.push_back("fixed section (line " + std::to_string(items.fixed_section_line) +
                    ") without its " + itemList(from_float) +
                    ": its record, marked Fx, carries the float solution's");
  if (zeros != 0)
    parts.push_back("no " + itemList(zeros) + ": its record holds zeros in " +
                    (std::popcount(zeros) == 1 ? "its" : "their") + " place");
  if ((missing & reportItemBit(ReportItem::kNames)) != 0)
    parts.push_back("no names: its record carries the short names read last");
  if ((missing & reportItemBit(ReportItem::kDate)) != 0)
    parts.push_back("no date: its record's date and epoch come from the times read last");
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return text;
}

// Names each entry whose report lacks a needed item, with what its record holds instead,
// and counts it; the file stays the dialog's.
void noticeCarriedOverEntries(const BaselineTable& table, const std::vector<std::string>& paths,
                              std::ostream& err, InputTally& tally) {
  const std::span<const EntryItems> items = table.items();
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].hidden_header_line != 0) {
      ++tally.reports_incomplete;
      notify(err, paths[i] + " line " + std::to_string(items[i].hidden_header_line) +
                      ": report header inside the section of the report before it (line " +
                      std::to_string(items[i].header_line) +
                      "), which ends without its mark 2: the dialog's reading takes both "
                      "reports into one record");
    }
    const std::uint32_t missing = table.missingItems(i) & kNeededReportItems;
    if (missing == 0) continue;
    ++tally.reports_incomplete;
    notify(err, paths[i] + " line " + std::to_string(items[i].header_line) + ": " +
                    carriedOverText(items[i], missing));
  }
}

// novrale's LOG files keep only entries of a 3D standard deviation below its limit: each
// entry left out is named, as a notice (the file is complete as the edition writes it).
void noticeEntriesBelowPrecision(const BaselineTable& table, const std::vector<std::string>& paths,
                                 const Edition& edition, int output_type, std::ostream& err) {
  const std::vector<OutputSection>& sections = edition.writing.sectionsFor(output_type);
  if (!edition.writing.max_sigma3D ||
      std::find(sections.begin(), sections.end(), OutputSection::Log) == sections.end())
    return;
  const std::span<const BaselineRecord> entries = table.entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const double sigma = sigma3D(entries[i].sigma_x, entries[i].sigma_y, entries[i].sigma_z);
    if (sigma < *edition.writing.max_sigma3D) continue;
    notify(err, paths[i] + " line " + std::to_string(table.items()[i].header_line) +
                    ": no LOG record (sigma3D " + fixedTextTiesToEven(sigma, 3) + " m, the limit is " +
                    fixedTextTiesToEven(*edition.writing.max_sigma3D, 1) + " m)");
  }
}

int runVelk(const ParsedOptions& options, CommandStreams& streams) {
  const Edition& edition = editionNamed(requiredValue(options, "edition"));
  const int output_type = parseIntegerOption("type", requiredValue(options, "type"));
  const std::string output_path = requiredValue(options, "output");
  const bool echo = options.has("echo");
  if (echo && output_path == kStandardOutputName)
    throw UsageError("--echo shows the console on standard output, where -o - writes the file");
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
  std::vector<std::string> entry_paths;  // the O-file of each entry
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
        entry_paths.resize(static_cast<std::size_t>(table.baseline_count()), path);
        return table.baseline_count() > entries_before;
      });
  if (table.baseline_count() == 0)
    throw RunError(tally.files_given == 1 ? "the O-file was passed over: no report read"
                                          : "every O-file was passed over: no report read");
  noticeCarriedOverEntries(table, entry_paths, streams.err, tally);
  noticeEntriesBelowPrecision(table, entry_paths, edition, output_type, streams.err);
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
              {"output", 'o', "FILE",
               "the file to write (- for standard output); it must not exist, unless --force"},
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

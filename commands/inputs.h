#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "commands/options.h"
#include "reading/line_reader.h"
#include "reading/report.h"

namespace velk {

// The input options that every subcommand has besides its O-file operands: --list FILE
// (repeatable) and --strict.
extern const OptionSpec kListOption;
extern const OptionSpec kStrictOption;

// What the reading of a run passed over, for its closing summary and its exit status. Each
// input counted here has been named in a notice on standard error.
struct InputTally {
  int files_given = 0;         // O-files named by the operands and the list files
  int files_passed_over = 0;   // could not be opened, or hold no report header
  int blank_lines = 0;         // blank list lines before the last name of their list
  int reports_incomplete = 0;  // reports that lack a needed item (Report::isComplete)
  std::string_view file_kind = "O-file";  // what the inputs are, for the summary

  bool passedOver() const {
    return files_passed_over > 0 || blank_lines > 0 || reports_incomplete > 0;
  }
  // "2 of 30 O-files passed over, 1 blank list line, 1 report incomplete": the parts that
  // are not zero (the O-files always).
  std::string summary() const;
};

// The O-files to read, in order: the operands, then the lines of each --list file (one
// name per line, one trailing carriage return dropped, trailing blanks removed, relative
// to the list file's own folder). A blank line is passed over with a notice on `err` and
// counted in `tally`, except blank lines after a list's last name. Throws RunError when a
// list file cannot be read, UsageError when no operand and no --list is given.
std::vector<std::string> inputPaths(const ParsedOptions& options, std::ostream& err,
                                    InputTally& tally);

// Opens each O-file in turn and hands it to `read`, which returns whether the file held a
// report header. A file that cannot be opened ("baselines: cannot open O-file NAME:
// REASON") or that holds no header ("baselines: NAME: not an O-file (no report header)")
// is named on `err` and counted in `tally`. Before the open, `before_open` is told the
// name (the legacy console echoes it).
void forEachOFile(const std::vector<std::string>& paths, std::ostream& err, InputTally& tally,
                  const std::function<void(const std::string& path)>& before_open,
                  const std::function<bool(LineReader& in, const std::string& path)>& read);

// Every report of the inputs, each read on its own, and what the reading passed over.
// Incomplete reports are in `reports` (with their missing items) and counted in `tally`;
// the subcommand names each in a notice that says what it does with it (see
// noticeIncompleteReports).
struct InputsRead {
  std::vector<Report> reports;
  InputTally tally;
};

// Reads the inputs that the operands and --list name. Throws UsageError when none is
// given, RunError when every O-file is passed over.
InputsRead readInputs(const ParsedOptions& options, std::ostream& err);

// Names each incomplete report on `err`: "PATH line L: no vector, no sigmas; CONSEQUENCE".
void noticeIncompleteReports(const std::vector<Report>& reports, std::ostream& err,
                             std::string_view consequence);

// To be called before any output is written: with --strict, an input passed over fails the
// run (RunError, exit 1, nothing written).
void refuseIfStrict(const InputTally& tally, const ParsedOptions& options);

// To be called at the very end: writes the tally's summary on `err` when something was
// passed over, and returns the exit status: flagged (3) wins over passed over (4), which
// wins over done (0).
int finalStatus(const InputTally& tally, bool flagged, std::ostream& err);

// A notice of the program on standard error: "baselines: TEXT".
void notify(std::ostream& err, std::string_view text);

}  // namespace velk

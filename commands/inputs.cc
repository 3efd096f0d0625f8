#include "commands/inputs.h"

#include <filesystem>
#include <optional>

#include "commands/exit_status.h"
#include "format/fixed_text.h"
#include "reading/line_reader.h"
#include "format/run_error.h"
#include "reading/read_reports.h"

namespace velk {

const OptionSpec kListOption{
    "list", 'l', "FILE",
    "read the O-files named in FILE, one per line, after those given as arguments; names "
    "are relative to FILE's folder"};

const OptionSpec kStrictOption{
    "strict", '\0', "",
    "fail (exit 1, nothing written) when an input is passed over: an O-file that cannot be "
    "opened or holds no report, a blank list line, an incomplete report"};

void notify(std::ostream& err, std::string_view text) { err << "baselines: " << text << '\n'; }

namespace {

std::string counted(int count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// Blank lines count as passed over only when a name follows them: those at the end of a
// list are the usual trailing lines of an editor.
void appendListedPaths(const std::string& list_path, std::vector<std::string>& paths,
                       std::ostream& err, InputTally& tally) {
  std::error_code why;
  std::optional<LineReader> lines = LineReader::open(list_path, "list file", why);
  if (!lines) throw RunError("cannot open list file " + list_path + ": " + why.message());
  const std::filesystem::path folder = std::filesystem::path(list_path).parent_path();
  std::vector<long> blank_lines;
  std::string line;
  while (lines->next(line)) {
    const std::string name = withoutTrailingBlanks(line);
    if (name.empty()) {
      blank_lines.push_back(lines->lineNumber());
      continue;
    }
    for (const long number : blank_lines)
      notify(err, list_path + " line " + std::to_string(number) + ": blank line passed over");
    tally.blank_lines += static_cast<int>(blank_lines.size());
    blank_lines.clear();
    paths.push_back((folder / name).string());
  }
}

}  // namespace

std::string InputTally::summary() const {
  const std::string kind(file_kind);
  std::string text = std::to_string(files_passed_over) + " of " +
                     counted(files_given, kind, kind + "s") + " passed over";
  if (blank_lines > 0) text += ", " + counted(blank_lines, "blank list line", "blank list lines");
  if (reports_incomplete > 0)
    text += ", " + counted(reports_incomplete, "report", "reports") + " incomplete";
  return text;
}

std::vector<std::string> inputPaths(const ParsedOptions& options, std::ostream& err,
                                    InputTally& tally) {
  if (options.operands().empty() && !options.has(kListOption.long_name))
    throw UsageError("no O-files given (name them, or give --list FILE)");
  std::vector<std::string> paths = options.operands();
  for (const std::string& list : options.values(kListOption.long_name))
    appendListedPaths(list, paths, err, tally);
  tally.files_given = static_cast<int>(paths.size());
  return paths;
}

void forEachOFile(const std::vector<std::string>& paths, std::ostream& err, InputTally& tally,
                  const std::function<void(const std::string& path)>& before_open,
                  const std::function<bool(LineReader& in, const std::string& path)>& read) {
  for (const std::string& path : paths) {
    before_open(path);
    std::error_code why;
    std::optional<LineReader> lines = LineReader::open(path, "O-file", why);
    if (!lines) {
      notify(err, "cannot open O-file " + path + ": " + why.message());
      ++tally.files_passed_over;
      continue;
    }
    if (!read(*lines, path)) {
      notify(err, path + ": not an O-file (no report header)");
      ++tally.files_passed_over;
    }
  }
}

InputsRead readInputs(const ParsedOptions& options, std::ostream& err) {
  InputsRead inputs;
  const auto notice = [&err](std::string_view text) { notify(err, text); };
  forEachOFile(
      inputPaths(options, err, inputs.tally), err, inputs.tally, [](const std::string&) {},
      [&](LineReader& in, const std::string& path) {
        const std::size_t before = inputs.reports.size();
        read_reports(in, path, inputs.reports, notice);
        return inputs.reports.size() > before;
      });
  if (inputs.reports.empty())
    throw RunError(inputs.tally.files_given == 1 ? "the O-file was passed over: no report read"
                                                 : "every O-file was passed over: no report read");
  for (const Report& report : inputs.reports)
    if (!report.isComplete()) ++inputs.tally.reports_incomplete;
  return inputs;
}

void noticeIncompleteReports(const std::vector<Report>& reports, std::ostream& err,
                             std::string_view consequence) {
  for (const Report& report : reports)
    if (!report.isComplete())
      notify(err, report.path + " line " + std::to_string(report.header_line) + ": " +
                      report.missingNeededText() + "; " + std::string(consequence));
}

void refuseIfStrict(const InputTally& tally, const ParsedOptions& options) {
  if (tally.passedOver() && options.has(kStrictOption.long_name))
    throw RunError(tally.summary() + " (--strict): nothing written");
}

int finalStatus(const InputTally& tally, bool flagged, std::ostream& err) {
  if (tally.passedOver()) notify(err, tally.summary());
  if (flagged) return kExitFlagged;
  return tally.passedOver() ? kExitPassedOver : kExitDone;
}

}  // namespace velk

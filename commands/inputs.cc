#include "commands/inputs.h"

#include <filesystem>
#include <optional>

#include "format/fixed_text.h"
#include "format/record_sink.h"
#include "format/run_error.h"
#include "reading/read_reports.h"

namespace velk {

const OptionSpec kListOption{
    "list", 'l', "FILE",
    "read the O-files named in FILE, one per line, after those given as arguments; names "
    "are relative to FILE's folder"};

void notify(std::ostream& err, std::string_view text) { err << "baselines: " << text << '\n'; }

namespace {

void appendListedPaths(const std::string& list_path, std::vector<std::string>& paths,
                       std::ostream& err) {
  std::error_code why;
  std::optional<LineReader> lines = LineReader::open(list_path, "list file", why);
  if (!lines) throw RunError("cannot open list file " + list_path + ": " + why.message());
  const std::filesystem::path folder = std::filesystem::path(list_path).parent_path();
  std::string line;
  while (lines->next(line)) {
    const std::string name = withoutTrailingBlanks(line);
    if (name.empty()) {
      notify(err, list_path + " line " + std::to_string(lines->lineNumber()) +
                      ": blank line passed over");
      continue;
    }
    paths.push_back((folder / name).string());
  }
}

}  // namespace

std::vector<std::string> inputPaths(const ParsedOptions& options, std::ostream& err) {
  std::vector<std::string> paths = options.operands();
  for (const std::string& list : options.values(kListOption.long_name))
    appendListedPaths(list, paths, err);
  return paths;
}

void forEachOFile(const std::vector<std::string>& paths, std::ostream& err,
                  const std::function<void(const std::string& path)>& before_open,
                  const std::function<void(LineReader& in, const std::string& path)>& read) {
  for (const std::string& path : paths) {
    before_open(path);
    std::error_code why;
    std::optional<LineReader> lines = LineReader::open(path, "O-file", why);
    if (!lines) {
      notify(err, "cannot open O-file " + path + ": " + why.message());
      continue;
    }
    read(*lines, path);
  }
}

std::vector<Report> readSeparateReports(const ParsedOptions& options, std::ostream& err) {
  std::vector<Report> reports;
  const auto notice = [&err](std::string_view text) { notify(err, text); };
  forEachOFile(
      inputPaths(options, err), err, [](const std::string&) {},
      [&](LineReader& in, const std::string& path) { read_reports(in, path, reports, notice); });
  return reports;
}

}  // namespace velk

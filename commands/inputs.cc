#include "commands/inputs.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

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

// The reason an input file cannot be read, as the system gives it.
std::string openFailure(const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return std::strerror(EISDIR);
  return std::strerror(errno != 0 ? errno : ENOENT);
}

void appendListedPaths(const std::string& list_path, std::vector<std::string>& paths,
                       std::ostream& err) {
  errno = 0;
  std::ifstream list;
  if (!std::filesystem::is_directory(list_path)) list.open(list_path, std::ios::binary);
  if (!list.is_open())
    throw RunError("cannot open list file " + list_path + ": " + openFailure(list_path));
  const std::filesystem::path folder = std::filesystem::path(list_path).parent_path();
  LineReader lines(list, "list file " + list_path);
  std::string line;
  while (lines.next(line)) {
    const std::string name = withoutTrailingBlanks(line);
    if (name.empty()) {
      notify(err, list_path + " line " + std::to_string(lines.lineNumber()) +
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
                  const std::function<void(std::istream& in, const std::string& path)>& read) {
  for (const std::string& path : paths) {
    before_open(path);
    errno = 0;
    std::ifstream in;
    std::error_code ignored;
    if (!std::filesystem::is_directory(path, ignored)) in.open(path, std::ios::binary);
    if (!in.is_open()) {
      notify(err, "cannot open O-file " + path + ": " + openFailure(path));
      continue;
    }
    read(in, path);
  }
}

std::vector<Report> readSeparateReports(const ParsedOptions& options, std::ostream& err) {
  std::vector<Report> reports;
  const auto notice = [&err](std::string_view text) { notify(err, text); };
  forEachOFile(
      inputPaths(options, err), err, [](const std::string&) {},
      [&](std::istream& in, const std::string& path) { read_reports(in, path, reports, notice); });
  return reports;
}

}  // namespace velk

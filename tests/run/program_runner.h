#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velk::testing {

// Runs one of the built programs in a scratch folder, with the given answers on
// standard input, and keeps what it wrote.
struct ProgramRun {
  std::string out;
  std::string err;
  int status = -1;
};

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeFile(const std::filesystem::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

inline std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name)
      : path_(std::filesystem::temp_directory_path() /
              ("velk-" + name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  // `stdout_redirection` may close standard output ("1>&-") instead of keeping it.
  ProgramRun run(const std::string& program, const std::string& stdin_text,
                 const std::vector<std::string>& arguments = {},
                 const std::string& stdout_redirection = "> .stdout") const {
    return runIn(path_, program, stdin_text, arguments, stdout_redirection);
  }

  // The same with `folder` as the current folder (its scratch files are made there).
  static ProgramRun runIn(const std::filesystem::path& folder, const std::string& program,
                          const std::string& stdin_text,
                          const std::vector<std::string>& arguments = {},
                          const std::string& stdout_redirection = "> .stdout") {
    writeFile(folder / ".stdin", stdin_text);
    std::string command = "cd " + shellQuoted(folder.string()) + " && " +
                          shellQuoted(std::string(VELK_BUILD_DIR) + "/" + program);
    for (const std::string& argument : arguments) command += " " + shellQuoted(argument);
    command += " < .stdin " + stdout_redirection + " 2> .stderr";
    ProgramRun result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readFile(folder / ".stdout");
    result.err = readFile(folder / ".stderr");
    for (const char* scratch : {".stdin", ".stdout", ".stderr"})
      std::filesystem::remove(folder / scratch);
    return result;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace velk::testing

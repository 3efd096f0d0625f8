#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace velk::bench {

// How one child process went: wall time from fork to reaping, its peak resident memory
// (from the rusage that wait4 returns for that child alone), and how it ended.
struct ChildRun {
  double seconds = 0;
  long peak_rss_kib = 0;
  bool exited_normally = false;
  int exit_status = 0;  // the exit status, or the signal number when killed

  bool succeeded() const { return exited_normally && exit_status == 0; }
};

// Where the child's standard streams come from and go to.
struct ChildStreams {
  std::filesystem::path input = "/dev/null";
  std::filesystem::path output = "/dev/null";
  std::filesystem::path errors = "/dev/null";  // truncated, then written by the child
};

// Runs `argv` (argv[0] looked up in PATH when it holds no '/') in `directory` and waits
// for it. Throws std::system_error when the child cannot even be started.
ChildRun runChild(const std::vector<std::string>& argv, const std::filesystem::path& directory,
                  const ChildStreams& streams);

}  // namespace velk::bench

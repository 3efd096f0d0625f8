#include "bench/child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

namespace velk::bench {
namespace {

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void failInChild(const char* what) {
  const char* reason = std::strerror(errno);
  (void)!write(STDERR_FILENO, what, std::strlen(what));
  (void)!write(STDERR_FILENO, ": ", 2);
  (void)!write(STDERR_FILENO, reason, std::strlen(reason));
  (void)!write(STDERR_FILENO, "\n", 1);
  _exit(127);
}

void redirect(const char* path, int flags, int target) {
  const int fd = open(path, flags, 0644);
  if (fd < 0 || dup2(fd, target) < 0) failInChild(path);
  close(fd);
}

[[noreturn]] void execInChild(char* const* argv, const char* directory,
                              const ChildStreams& streams) {
  // Errors first, so that a failure of the other two can be told.
  redirect(streams.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
  redirect(streams.input.c_str(), O_RDONLY, STDIN_FILENO);
  redirect(streams.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
  if (chdir(directory) != 0) failInChild(directory);
  execvp(argv[0], argv);
  failInChild(argv[0]);
}

pid_t waitForChild(pid_t pid, int& status, rusage& usage) {
  for (;;) {
    const pid_t reaped = wait4(pid, &status, 0, &usage);
    if (reaped >= 0 || errno != EINTR) return reaped;
  }
}

}  // namespace

ChildRun runChild(const std::vector<std::string>& argv, const std::filesystem::path& directory,
                  const ChildStreams& streams) {
  // Everything the child needs is prepared before the fork.
  std::vector<char*> arguments;
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  const std::string directoryText = directory.string();

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) throw std::system_error(errno, std::generic_category(), "fork");
  if (pid == 0) execInChild(arguments.data(), directoryText.c_str(), streams);

  int status = 0;
  rusage usage{};
  if (waitForChild(pid, status, usage) < 0)
    throw std::system_error(errno, std::generic_category(), "wait4");
  const auto end = std::chrono::steady_clock::now();

  ChildRun run;
  run.seconds = std::chrono::duration<double>(end - start).count();
  run.peak_rss_kib = usage.ru_maxrss;  // kibibytes on Linux
  run.exited_normally = WIFEXITED(status);
  run.exit_status = run.exited_normally ? WEXITSTATUS(status) : WTERMSIG(status);
  return run;
}

}  // namespace velk::bench

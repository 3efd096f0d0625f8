// plot_bench: times `baselines plot network` on a network of 300 stations spread over
// 500 km (a strip of triangles, every pair measured twice: about 1,200 reports), and
// `baselines plot series` on the same reports, against the target that the network draws
// in under one second.
//
//   plot_bench [--repeat N]
//
// The network is made by campaign_generator in a temporary folder, removed at the end. Each
// run is the whole command: reading the O-files, the checks, the drawing and the writing.
// Exit status: 0 when the target is met, 1 when it is missed, 2 when a run fails.

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/child_process.h"

namespace velk::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kStations = 300;
constexpr double kTargetSeconds = 1.0;

struct BenchFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

fs::path programPath(const std::string& name) { return fs::path(VELK_BUILD_DIR) / name; }

std::string readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

ChildRun runOrThrow(const std::vector<std::string>& argv, const fs::path& folder) {
  const fs::path errors = folder / "stderr.txt";
  const ChildRun run = runChild(argv, folder, {.errors = errors});
  if (!run.succeeded())
    throw BenchFailure(argv[0] + " failed (status " + std::to_string(run.exit_status) + ")\n" +
                       readFile(errors));
  return run;
}

double bestOf(int repeat, const std::vector<std::string>& argv, const fs::path& folder,
              const fs::path& output) {
  double best = std::numeric_limits<double>::infinity();
  for (int round = 0; round < repeat; ++round) {
    fs::remove_all(output);
    best = std::min(best, runOrThrow(argv, folder).seconds);
  }
  return best;
}

int run(int repeat) {
  std::string pattern = (fs::temp_directory_path() / "plot_bench.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw BenchFailure("cannot create " + pattern);
  const fs::path folder = pattern;
  runOrThrow({programPath("campaign_generator").string(), "--network", std::to_string(kStations),
              "--pairs", "triangles", "--repeats", "2", "--spread-km", "500", "--dir",
              folder.string()},
             folder);
  const std::string baselines = programPath("baselines").string();
  const double network = bestOf(repeat,
                                {baselines, "plot", "network", "--list", "NETWORK.LST", "--output",
                                 "network.svg"},
                                folder, folder / "network.svg");
  const double series = bestOf(repeat,
                               {baselines, "plot", "series", "--list", "NETWORK.LST",
                                "--output-dir", "series"},
                               folder, folder / "series");
  fs::remove_all(folder);

  std::printf("network of %d stations (%d pairs measured twice), best of %d runs:\n", kStations,
              2 * kStations - 3, repeat);
  std::printf("  plot network  %.3f s  (target: under %.1f s)\n", network, kTargetSeconds);
  std::printf("  plot series   %.3f s  (%d pictures and index.html)\n", series, 2 * kStations - 3);
  const bool met = network < kTargetSeconds;
  std::printf("%s\n", met ? "target met" : "TARGET MISSED");
  return met ? 0 : 1;
}

}  // namespace
}  // namespace velk::bench

int main(int argc, char** argv) {
  int repeat = 5;
  if (argc == 3 && std::string(argv[1]) == "--repeat") {
    repeat = std::max(1, std::atoi(argv[2]));
  } else if (argc != 1) {
    std::cerr << "usage: plot_bench [--repeat N]\n";
    return 2;
  }
  try {
    return velk::bench::run(repeat);
  } catch (const std::exception& error) {
    std::cerr << "plot_bench: " << error.what() << '\n';
    return 2;
  }
}

// adjust_bench: the speed and memory of `baselines adjust`.
//
//   adjust_bench [--repeat N]
//
// 1. A grid of 30 × 33 = 990 stations, every neighbouring pair measured twice (3,834
//    reports, written as O-files by the network generator): `baselines adjust --json` as a
//    whole run, reading included. Targets: 0.5 s and 100 MiB.
// 2. A grid of 100 × 100 = 10,000 stations, every neighbouring pair measured twice (39,600
//    reports made in memory: the generator names 999 stations at most), adjusted in this
//    process with its text and JSON views. Target: 10 s. A grid of 50 × 50 before it shows
//    how the time grows, and the large one without data snooping what snooping costs.
// The best of N runs (default 3) counts. Exit status 0 when the targets are met, 1 when one
// is missed, 2 when a run fails.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "adjustment/adjustment.h"
#include "adjustment/adjustment_views.h"
#include "bench/child_process.h"
#include "tools/synthetic_network.h"
#include "tools/synthetic_report.h"

namespace velk::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kGridRows = 30, kGridColumns = 33;
constexpr double kMaxGridSeconds = 0.5;
constexpr double kMaxGridMib = 100;
constexpr int kLargeSide = 100;
constexpr double kMaxLargeSeconds = 10;

struct Measured {
  double seconds = std::numeric_limits<double>::infinity();
  double mib = 0;
  std::size_t reports = 0;
};

// The 990-station grid as O-files, adjusted by the program.
Measured timeGrid(const fs::path& work, int repeat) {
  campaign::NetworkOptions options;
  options.stations = kGridRows * kGridColumns;
  options.measurements = campaign::measureEach(campaign::gridPairs(kGridRows, kGridColumns), 2);
  options.spread_km = 100;
  options.seed = 1;
  const campaign::NetworkFiles files = campaign::writeNetwork(options, work / "grid");
  Measured measured;
  measured.reports = files.reports.size();
  for (int round = 0; round < repeat; ++round) {
    fs::remove(work / "grid" / "ADJ.JSON");
    const ChildRun run = runChild({(fs::path(VELK_BUILD_DIR) / "baselines").string(), "adjust",
                                   "--list", files.list.string(), "--json", "ADJ.JSON"},
                                  work / "grid", {});
    if (!run.exited_normally || (run.exit_status != 0 && run.exit_status != 3))
      throw std::runtime_error("baselines adjust failed with status " +
                               std::to_string(run.exit_status));
    measured.seconds = std::min(measured.seconds, run.seconds);
    measured.mib = std::max(measured.mib, run.peak_rss_kib / 1024.0);
  }
  return measured;
}

// A report of the baseline between two points, with independent noise of 3 mm.
Report baseline(const std::string& from, const Cartesian& a, const std::string& to,
                const Cartesian& b, campaign::Random& random, int number) {
  constexpr double kSigma = 0.003;
  Report report;
  report.file = "R" + std::to_string(100000 + number).substr(1) + ".017";
  report.fixed_station = from;
  report.unknown_station = to;
  report.fixed = true;
  report.ratio = 10;
  report.sigma_x = report.sigma_y = report.sigma_z = kSigma;
  report.vector = {b.x - a.x + kSigma * random.normal(), b.y - a.y + kSigma * random.normal(),
                   b.z - a.z + kSigma * random.normal()};
  report.mark1 = a;
  report.mark2 = {a.x + report.vector.x, a.y + report.vector.y, a.z + report.vector.z};
  report.start_mjd = 57835;
  report.end_mjd = 57835.1;
  return report;
}

// Stations 2 km apart on a square grid near 47° N, each joined to its right and lower
// neighbours, every pair twice.
std::vector<Report> largeGrid(int side) {
  campaign::Random random(1);
  const auto point = [](int row, int column) {
    const double east = 2000.0 * column, north = 2000.0 * row;
    return Cartesian{4350000.0 - 0.0872 * east - 0.7280 * north,
                     380000.0 + 0.9962 * east - 0.0637 * north, 4630000.0 + 0.6820 * north};
  };
  const auto name = [side](int row, int column) {
    return "P" + std::to_string(100000 + row * side + column).substr(1);
  };
  std::vector<Report> reports;
  for (int pass = 0; pass < 2; ++pass)
    for (int row = 0; row < side; ++row)
      for (int column = 0; column < side; ++column) {
        const int number = static_cast<int>(reports.size());
        if (column + 1 < side)
          reports.push_back(baseline(name(row, column), point(row, column), name(row, column + 1),
                                     point(row, column + 1), random, number));
        if (row + 1 < side)
          reports.push_back(baseline(name(row, column), point(row, column), name(row + 1, column),
                                     point(row + 1, column), random, number + 1));
      }
  return reports;
}

// Processor time of this process, seconds: on a shared machine the wall time alone says
// little.
double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double peakMib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

Measured timeLarge(int side, int repeat, bool snooping = true) {
  const std::vector<Report> reports = largeGrid(side);
  AdjustmentOptions options;
  options.snooping = snooping;
  Measured measured;
  measured.reports = reports.size();
  for (int round = 0; round < repeat; ++round) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu_start = cpuSeconds();
    const AdjustmentRun run = adjustNetwork(reports, {}, options);
    const std::vector<std::string> act_on = actOnLines(run);
    const std::size_t written =
        adjustmentText(run, act_on, false).size() + adjustmentJson(run, act_on).size();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (written == 0) throw std::runtime_error("nothing written");
    measured.seconds = std::min(measured.seconds, took.count());
    std::printf(
        "  %d stations: %zu taken out, factor %zu non-zeros, %.3f s (processor "
        "%.3f s)\n",
        side * side, run.minimal.removed.size(), run.minimal.summary.factor_nonzeros, took.count(),
        cpuSeconds() - cpu_start);
  }
  measured.mib = peakMib();
  return measured;
}

int run(int repeat) {
  const fs::path work = fs::temp_directory_path() / ("adjust_bench-" + std::to_string(::getpid()));
  fs::create_directories(work);
  const Measured grid = timeGrid(work, repeat);
  fs::remove_all(work);
  std::printf(
      "grid of %d stations, %zu reports: baselines adjust %.3f s, %.1f MiB "
      "(targets <= %.1f s, <= %.0f MiB)\n",
      kGridRows * kGridColumns, grid.reports, grid.seconds, grid.mib, kMaxGridSeconds, kMaxGridMib);
  // A quarter of the size first, to show how time grows (its memory is inside the peak).
  timeLarge(kLargeSide / 2, repeat);
  const Measured large = timeLarge(kLargeSide, repeat);
  std::printf("  without data snooping:\n");
  timeLarge(kLargeSide, 1, false);
  std::printf(
      "grid of %d stations, %zu reports in memory: adjusted in %.3f s, process peak "
      "%.1f MiB (target <= %.0f s)\n",
      kLargeSide * kLargeSide, large.reports, large.seconds, large.mib, kMaxLargeSeconds);
  return grid.seconds <= kMaxGridSeconds && grid.mib <= kMaxGridMib &&
                 large.seconds <= kMaxLargeSeconds
             ? 0
             : 1;
}

}  // namespace
}  // namespace velk::bench

int main(int argc, char** argv) {
  int repeat = 3;
  if (argc == 3 && std::string(argv[1]) == "--repeat") {
    repeat = std::max(1, std::atoi(argv[2]));
  } else if (argc != 1) {
    std::cerr << "usage: adjust_bench [--repeat N]\n";
    return 2;
  }
  try {
    return velk::bench::run(repeat);
  } catch (const std::exception& error) {
    std::cerr << "adjust_bench: " << error.what() << '\n';
    return 2;
  }
}

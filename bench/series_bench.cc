// series_bench: the speed of `baselines series`.
//
//   series_bench [--repeat N]
//
// 1. A network of 100 pairs (one station measured to 100 others), each measured 1,000
//    times (campaign_generator, seed 1): `baselines series` against `baselines velk`
//    (novrale, type 3) converting the same 100,000 O-files, both as whole runs.
// 2. One series of 10,000 daily points made in memory (a trend, a step, noise from each
//    point's covariance), analysed whole: steps, outliers, velocities, displacement.
// The best of N runs (default 3) counts. Exit status 0 when both targets are met, 1 when
// one is missed, 2 when a run fails.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "series/series_analysis.h"

namespace velk::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kPairs = 100;
constexpr int kRepeats = 1000;
constexpr double kMaxRatioToVelk = 2.0;
constexpr int kLongSeries = 10000;
constexpr double kMaxLongSeriesSeconds = 0.5;

fs::path programPath(const std::string& name) {
  return fs::path(VELK_BUILD_DIR) / name;
}

void expectSuccess(const ChildRun& run, const std::string& what) {
  if (!run.succeeded() && !(run.exited_normally && run.exit_status == 3))
    throw std::runtime_error(what + " failed with status " + std::to_string(run.exit_status));
}

std::string starPairs() {
  std::string pairs;
  for (int to = 2; to <= kPairs + 1; ++to)
    pairs += (pairs.empty() ? "1-" : ",1-") + std::to_string(to);
  return pairs;
}

// The best wall times of `baselines velk` and of `baselines series` over the network.
std::pair<double, double> timeNetwork(const fs::path& work, int repeat) {
  const fs::path folder = work / "network";
  expectSuccess(runChild({programPath("campaign_generator").string(), "--network",
                          std::to_string(kPairs + 1), "--pairs", starPairs(), "--repeats",
                          std::to_string(kRepeats), "--seed", "1", "--dir", folder.string()},
                         work, {}),
                "campaign_generator");
  // Written back to the disk first, so that the kernel's write-back does not slow the runs.
  ::sync();
  double velk = std::numeric_limits<double>::infinity(), series = velk;
  for (int round = 0; round < repeat; ++round) {
    fs::remove(folder / "OUT.VEC");
    const ChildRun converted = runChild({programPath("baselines").string(), "velk", "-e", "novrale",
                                         "-t", "3", "-o", "OUT.VEC", "--list", "NETWORK.LST"},
                                        folder, {});
    expectSuccess(converted, "baselines velk");
    velk = std::min(velk, converted.seconds);
    const ChildRun analysed = runChild(
        {programPath("baselines").string(), "series", "--list", "NETWORK.LST"}, folder, {});
    expectSuccess(analysed, "baselines series");
    series = std::min(series, analysed.seconds);
  }
  return {velk, series};
}

series::Series longSeries() {
  std::mt19937_64 random(1);
  std::normal_distribution<double> normal;
  series::Series made;
  for (int day = 0; day < kLongSeries; ++day) {
    series::SeriesPoint point;
    point.epoch = 2000 + day / 365.25;
    point.covariance = Eigen::Vector3d(1.0, 1.4, 9.0).asDiagonal();
    point.value = Eigen::Vector3d(1.5, -0.7, 0.2) * (point.epoch - 2000) +
                  point.covariance.llt().matrixL() *
                      Eigen::Vector3d(normal(random), normal(random), normal(random));
    if (day >= kLongSeries / 3) point.value(1) += 8;
    made.points.push_back(point);
  }
  return made;
}

double timeLongSeries(int repeat, series::SeriesResult& last) {
  const series::Series made = longSeries();
  double best = std::numeric_limits<double>::infinity();
  for (int round = 0; round < repeat; ++round) {
    const auto start = std::chrono::steady_clock::now();
    last = series::analyseSeries(made, {});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

int run(int repeat) {
  const fs::path work = fs::temp_directory_path() / ("series_bench-" + std::to_string(::getpid()));
  fs::create_directories(work);
  const auto [velk, series] = timeNetwork(work, repeat);
  fs::remove_all(work);
  const double ratio = series / velk;
  std::printf("%d pairs x %d reports: velk %.3f s, series %.3f s, ratio %.2f (target <= %.1f)\n",
              kPairs, kRepeats, velk, series, ratio, kMaxRatioToVelk);
  series::SeriesResult last;
  const double seconds = timeLongSeries(repeat, last);
  std::printf(
      "one series of %d points (%zu step, %zu outliers): analysed in %.3f s (target <= %.1f s)\n",
      kLongSeries, last.steps.size(), last.outliers.size(), seconds, kMaxLongSeriesSeconds);
  return ratio <= kMaxRatioToVelk && seconds <= kMaxLongSeriesSeconds ? 0 : 1;
}

}  // namespace
}  // namespace velk::bench

int main(int argc, char** argv) {
  int repeat = 3;
  if (argc == 3 && std::string(argv[1]) == "--repeat")
    repeat = std::max(1, std::atoi(argv[2]));
  else if (argc != 1) {
    std::cerr << "usage: series_bench [--repeat N]\n";
    return 2;
  }
  try {
    return velk::bench::run(repeat);
  } catch (const std::exception& error) {
    std::cerr << "series_bench: " << error.what() << '\n';
    return 2;
  }
}

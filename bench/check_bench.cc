// check_bench: the speed of `baselines check`.
//
//   check_bench [--repeat N]
//
// 1. A campaign of 10,000 reports (campaign_generator, seed 1): `baselines check` against
//    `baselines velk` (novrale, type 3) on the same O-files, both as whole runs.
// 2. A network of 2,000 stations and 10,000 pairs (each station joined to its nearest
//    neighbours in a 100 km square, noise drawn from each report's sigmas), checked in
//    memory: the loop basis, repeats, stations and both reports.
// The best of N runs (default 3) counts. Exit status 0 when both targets are met, 1 when
// one is missed, 2 when a run fails.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "checks/check_json.h"
#include "checks/check_text.h"
#include "checks/network_check.h"
#include "tools/synthetic_report.h"

namespace velk::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kCampaignReports = 10000;
constexpr double kMaxRatioToVelk = 2.0;
constexpr int kStations = 2000;
constexpr std::size_t kPairs = 10000;
constexpr double kMaxNetworkSeconds = 5.0;

fs::path programPath(const std::string& name) { return fs::path(VELK_BUILD_DIR) / name; }

void expectSuccess(const ChildRun& run, const std::string& what) {
  if (!run.succeeded() && !(run.exited_normally && run.exit_status == 3))
    throw std::runtime_error(what + " failed with status " + std::to_string(run.exit_status));
}

// The best wall time of `baselines velk` and of `baselines check` over the campaign.
std::pair<double, double> timeCampaign(const fs::path& work, int repeat) {
  const fs::path folder = work / "campaign";
  expectSuccess(runChild({programPath("campaign_generator").string(), "--reports",
                          std::to_string(kCampaignReports), "--seed", "1", "--dir",
                          folder.string(), "--list", "LISTE.LST"},
                         work, {}),
                "campaign_generator");
  double velk = std::numeric_limits<double>::infinity(), check = velk;
  for (int round = 0; round < repeat; ++round) {
    fs::remove(folder / "OUT.VEC");
    const ChildRun converted =
        runChild({programPath("baselines").string(), "velk", "-e", "novrale", "-t", "3", "-o",
                  "OUT.VEC", "--list", "LISTE.LST"},
                 folder, {});
    expectSuccess(converted, "baselines velk");
    velk = std::min(velk, converted.seconds);
    const ChildRun checked =
        runChild({programPath("baselines").string(), "check", "--list", "LISTE.LST"}, folder, {});
    expectSuccess(checked, "baselines check");
    check = std::min(check, checked.seconds);
  }
  return {velk, check};
}

// The generators' splitmix64, so that the network is the same on every machine.
using campaign::Random;

Report baseline(const std::string& from, const Cartesian& a, const std::string& to,
                const Cartesian& b, Random& random) {
  constexpr double kSigma = 0.003;
  Report report;
  report.file = from + to + ".017";
  report.fixed_station = from;
  report.unknown_station = to;
  report.fixed = true;
  report.ratio = 10;
  report.sigma_x = report.sigma_y = report.sigma_z = kSigma;
  report.vector = {b.x - a.x + kSigma * random.normal(), b.y - a.y + kSigma * random.normal(),
                   b.z - a.z + kSigma * random.normal()};
  report.mark1 = a;
  report.mark2 = {a.x + report.vector.x, a.y + report.vector.y, a.z + report.vector.z};
  report.local = TRLOC(report.mark2, a);
  report.start_mjd = 57835;
  report.end_mjd = 57835.1;
  return report;
}

// Stations at random in a 100 km square near 47° N; the shortest pairs among each station's
// ten nearest neighbours, 10,000 of them.
std::vector<Report> makeNetwork() {
  Random random(1);
  std::vector<Cartesian> points;
  std::vector<std::string> names;
  for (int i = 0; i < kStations; ++i) {
    const double east = 100000 * random.uniform(), north = 100000 * random.uniform();
    points.push_back({4350000.0 - 0.0872 * east - 0.7280 * north,
                      380000.0 + 0.9962 * east - 0.0637 * north, 4630000.0 + 0.6820 * north});
    names.push_back("S" + std::to_string(10000 + i).substr(1));
  }
  const auto squared = [&](int a, int b) {
    const double dx = points[static_cast<std::size_t>(a)].x - points[static_cast<std::size_t>(b)].x;
    const double dy = points[static_cast<std::size_t>(a)].y - points[static_cast<std::size_t>(b)].y;
    const double dz = points[static_cast<std::size_t>(a)].z - points[static_cast<std::size_t>(b)].z;
    return dx * dx + dy * dy + dz * dz;
  };
  std::set<std::pair<double, std::pair<int, int>>> candidates;
  for (int i = 0; i < kStations; ++i) {
    std::vector<std::pair<double, int>> nearest;
    for (int j = 0; j < kStations; ++j)
      if (j != i) nearest.emplace_back(squared(i, j), j);
    std::partial_sort(nearest.begin(), nearest.begin() + 10, nearest.end());
    for (int k = 0; k < 10; ++k)
      candidates.insert({nearest[static_cast<std::size_t>(k)].first,
                         std::minmax(i, nearest[static_cast<std::size_t>(k)].second)});
  }
  std::vector<Report> reports;
  for (const auto& [length, pair] : candidates) {
    if (reports.size() == kPairs) break;
    const auto a = static_cast<std::size_t>(pair.first), b = static_cast<std::size_t>(pair.second);
    reports.push_back(baseline(names[a], points[a], names[b], points[b], random));
  }
  return reports;
}

double timeNetwork(const std::vector<Report>& reports, int repeat, NetworkCheck& last) {
  double best = std::numeric_limits<double>::infinity();
  for (int round = 0; round < repeat; ++round) {
    const auto start = std::chrono::steady_clock::now();
    last = checkNetwork(reports, {});
    const bool flagged = needsAttention(last, false);
    const std::size_t written =
        checkText(reports, last, {}, flagged).size() + checkJson(reports, last, {}, flagged).size();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (written == 0) throw std::runtime_error("nothing written");
    best = std::min(best, took.count());
  }
  return best;
}

int run(int repeat) {
  const fs::path work = fs::temp_directory_path() / ("check_bench-" + std::to_string(::getpid()));
  fs::create_directories(work);
  const auto [velk, check] = timeCampaign(work, repeat);
  fs::remove_all(work);
  const double ratio = check / velk;
  std::printf("campaign of %d reports: velk %.3f s, check %.3f s, ratio %.2f (target <= %.1f)\n",
              kCampaignReports, velk, check, ratio, kMaxRatioToVelk);

  const std::vector<Report> reports = makeNetwork();
  NetworkCheck last;
  const double seconds = timeNetwork(reports, repeat, last);
  const CheckSummary summary = summarize(last);
  std::printf("network of %d stations and %d pairs: %d loops, checked in %.3f s (target <= %.0f s)\n",
              summary.stations, summary.pairs, summary.loops, seconds, kMaxNetworkSeconds);
  return ratio <= kMaxRatioToVelk && seconds <= kMaxNetworkSeconds ? 0 : 1;
}

}  // namespace
}  // namespace velk::bench

int main(int argc, char** argv) {
  int repeat = 3;
  if (argc == 3 && std::string(argv[1]) == "--repeat") repeat = std::max(1, std::atoi(argv[2]));
  else if (argc != 1) {
    std::cerr << "usage: check_bench [--repeat N]\n";
    return 2;
  }
  try {
    return velk::bench::run(repeat);
  } catch (const std::exception& error) {
    std::cerr << "check_bench: " << error.what() << '\n';
    return 2;
  }
}

// velk_bench: times whole conversion runs of quelmar and novrale on synthetic campaigns of
// 10,000 and 100,000 reports, the first against two floors: the time `cat` takes to read
// the same O-files, and the I/O floor of the conversion (every O-file opened, read in
// 64 KiB blocks and closed, then a file of the output's size written and synced).
//
//   velk_bench [--repeat N] [--seed S] [--keep]
//
// Each run answers the dialog from a file (output types 0, 3 and 5), writes its console to
// /dev/null and its output file into a temporary folder, which is removed at the end
// unless --keep is given. Every configuration is run N times (default 5) interleaved with
// the others; the best time and the largest peak resident memory are reported. Exit
// status: 0 when every target is met, 1 when one is missed, 2 when a run fails.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/child_process.h"

namespace velk::bench {
namespace {

namespace fs = std::filesystem;

constexpr std::array<int, 2> kCampaignSizes{10000, 100000};
// `cat` is given every name on its command line, which 100,000 names would overflow: the
// floor is timed on the campaign the ratio is taken on.
constexpr int kCatCampaign = 10000;
constexpr std::array<int, 3> kOutputTypes{0, 3, 5};
constexpr std::array<std::string_view, 2> kPrograms{"quelmar", "novrale"};
constexpr std::string_view kListName = "LISTE.LST";
constexpr std::string_view kOutputName = "BENCH.OUT";

// The targets: at 10,000 reports at most this many times the `cat` floor, the durable
// commit of the output included; at the largest campaign under this much memory; from the
// smallest to the largest, time at most this factor of the growth in reports (10 times the
// reports, at most 10.5 times the time).
constexpr double kMaxRatioToCat = 1.3;
// At 10,000 reports, at most this many times the I/O floor of the same output.
constexpr double kMaxRatioToIoFloor = 2.0;
constexpr std::size_t kIoBlock = 64 * 1024;
constexpr double kMaxGrowthPerReportGrowth = 1.05;
constexpr long kMaxPeakRssKib = 64 * 1024;

constexpr std::string_view kUsage =
    "usage: velk_bench [--repeat N] [--seed S] [--keep]\n"
    "  --repeat N   runs of each configuration; the best time is kept (default 5)\n"
    "  --seed S     seed of the synthetic campaigns (default 1)\n"
    "  --keep       keep the temporary folder with the campaigns\n";

struct Options {
  int repeat = 5;
  std::uint64_t seed = 1;
  bool keep = false;
};

struct BenchFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The best of several runs of one configuration.
struct Timing {
  double best_seconds = std::numeric_limits<double>::infinity();
  long peak_rss_kib = 0;

  void add(const ChildRun& run) {
    best_seconds = std::min(best_seconds, run.seconds);
    peak_rss_kib = std::max(peak_rss_kib, run.peak_rss_kib);
  }
};

struct Configuration {
  std::string_view program;
  int output_type;
  auto operator<=>(const Configuration&) const = default;
};

struct CampaignResult {
  int reports = 0;
  std::uintmax_t bytes = 0;
  Timing cat;
  std::map<Configuration, Timing> conversions;
  // The I/O floor (10,000 reports only): reading every O-file, best over all the runs,
  // and writing and syncing each configuration's output size.
  Timing floor_read;
  std::map<Configuration, Timing> floor_writes;
  // The floor of one configuration: the best read and the best write of its size.
  Timing ioFloor(const Configuration& configuration) const {
    Timing floor;
    floor.best_seconds =
        floor_read.best_seconds + floor_writes.at(configuration).best_seconds;
    return floor;
  }
  bool hasIoFloor() const { return !floor_writes.empty(); }
};

// --- Setting up ----------------------------------------------------------------------

template <typename Number>
Number parseNumber(std::string_view option, std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
    throw std::invalid_argument(std::string(option) + ": not a number: " + std::string(text));
  return value;
}

Options parseOptions(const std::vector<std::string_view>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view option = args[i];
    if (option == "--keep") {
      options.keep = true;
      continue;
    }
    if (i + 1 == args.size()) throw std::invalid_argument(std::string(option) + ": value missing");
    const std::string_view value = args[++i];
    if (option == "--repeat") {
      options.repeat = parseNumber<int>(option, value);
      if (options.repeat < 1) throw std::invalid_argument("--repeat: at least 1");
    } else if (option == "--seed") {
      options.seed = parseNumber<std::uint64_t>(option, value);
    } else {
      throw std::invalid_argument("unknown option " + std::string(option));
    }
  }
  return options;
}

fs::path makeTemporaryFolder() {
  std::string pattern = (fs::temp_directory_path() / "velk_bench.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw BenchFailure("cannot create " + pattern);
  return pattern;
}

fs::path programPath(std::string_view name) {
  return fs::path(VELK_BUILD_DIR) / name;
}

std::string readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void expectSuccess(const ChildRun& run, std::string_view what, const fs::path& errors) {
  if (run.succeeded()) return;
  throw BenchFailure(std::string(what) +
                     (run.exited_normally ? " exited with status " : " killed by signal ") +
                     std::to_string(run.exit_status) + "\n" + readFile(errors));
}

std::vector<std::string> readListedNames(const fs::path& list) {
  std::ifstream file(list, std::ios::binary);
  std::vector<std::string> names;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) names.push_back(line);
  }
  return names;
}

std::uintmax_t totalSize(const fs::path& folder, const std::vector<std::string>& names) {
  std::uintmax_t bytes = 0;
  for (const std::string& name : names) bytes += fs::file_size(folder / name);
  return bytes;
}

// The dialog of one run: output type, output file, list file.
fs::path writeDialog(const fs::path& folder, int output_type) {
  const fs::path path = folder / ("dialog" + std::to_string(output_type) + ".txt");
  std::ofstream(path, std::ios::binary) << output_type << '\n'
                                        << kOutputName << '\n'
                                        << kListName << '\n';
  return path;
}

// --- Measuring -----------------------------------------------------------------------

class CampaignBench {
 public:
  CampaignBench(const fs::path& work, int reports, const Options& options)
      : work_(work), folder_(work / ("campaign" + std::to_string(reports))), options_(options) {
    result_.reports = reports;
  }

  CampaignResult run() {
    generate();
    // The generated campaign written back to the disk before any run is timed: the kernel
    // would otherwise do it during the first runs of the large campaign.
    ::sync();
    const std::vector<std::string> names = readListedNames(folder_ / kListName);
    if (names.size() != static_cast<std::size_t>(result_.reports))
      throw BenchFailure("the list names " + std::to_string(names.size()) + " O-files");
    result_.bytes = totalSize(folder_, names);

    std::vector<std::string> catCommand{"cat"};
    catCommand.insert(catCommand.end(), names.begin(), names.end());
    std::map<int, fs::path> dialogs;
    for (const int type : kOutputTypes) dialogs[type] = writeDialog(work_, type);

    const bool floor = result_.reports == kCatCampaign;
    if (floor) timeCat(catCommand);  // warms the page cache; not counted
    for (int round = 0; round < options_.repeat; ++round) {
      if (floor) result_.cat.add(timeCat(catCommand));
      for (const std::string_view program : kPrograms) {
        for (const int type : kOutputTypes) {
          const Configuration configuration{program, type};
          std::uintmax_t output_bytes = 0;
          result_.conversions[configuration].add(
              timeConversion(program, dialogs[type], output_bytes));
          if (floor) {
            result_.floor_read.add(timeReadingEveryOFile(names));
            result_.floor_writes[configuration].add(timeWritingAndSyncing(output_bytes));
          }
        }
      }
    }
    return result_;
  }

 private:
  void generate() {
    const ChildRun run =
        runChild({programPath("campaign_generator").string(), "--reports",
                  std::to_string(result_.reports), "--seed", std::to_string(options_.seed), "--dir",
                  folder_.string(), "--list", std::string(kListName)},
                 work_, {.errors = errorsPath()});
    expectSuccess(run, "campaign_generator", errorsPath());
  }

  ChildRun timeCat(const std::vector<std::string>& command) {
    const ChildRun run = runChild(command, folder_, {.errors = errorsPath()});
    expectSuccess(run, "cat", errorsPath());
    return run;
  }

  ChildRun timeConversion(std::string_view program, const fs::path& dialog,
                          std::uintmax_t& output_bytes) {
    const fs::path output = folder_ / kOutputName;
    fs::remove(output);
    const ChildRun run = runChild({programPath(program).string()}, folder_,
                                  {.input = dialog, .errors = errorsPath()});
    const std::string what = std::string(program) + " (" + dialog.filename().string() + ")";
    expectSuccess(run, what, errorsPath());
    if (!fs::exists(output)) throw BenchFailure(what + " wrote no output file");
    output_bytes = fs::file_size(output);
    fs::remove(output);
    return run;
  }

  // The least a conversion must do with the system, timed in this process in two parts:
  // every O-file opened, read in 64 KiB blocks and closed; then a file of the output's size
  // created in the campaign's folder, written in 64 KiB blocks, synced (fsync) and closed.
  // The floor of a configuration is the sum of the best of each part.
  ChildRun timeReadingEveryOFile(const std::vector<std::string>& names) {
    std::vector<char> block(kIoBlock);
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& name : names) {
      const int fd = ::open((folder_ / name).c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) throw BenchFailure("cannot open " + name);
      ssize_t got = 0;
      while ((got = ::read(fd, block.data(), block.size())) > 0) {
      }
      ::close(fd);
      if (got < 0) throw BenchFailure("cannot read " + name);
    }
    return secondsSince(start);
  }

  ChildRun timeWritingAndSyncing(std::uintmax_t output_bytes) {
    const fs::path output = folder_ / kOutputName;
    fs::remove(output);
    const std::vector<char> block(kIoBlock, ' ');
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) throw BenchFailure("cannot create " + output.string());
    for (std::uintmax_t left = output_bytes; left > 0;) {
      const auto size = static_cast<std::size_t>(std::min<std::uintmax_t>(left, kIoBlock));
      const ssize_t put = ::write(fd, block.data(), size);
      if (put <= 0) throw BenchFailure("cannot write " + output.string());
      left -= static_cast<std::uintmax_t>(put);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0)
      throw BenchFailure("cannot sync " + output.string());
    const ChildRun run = secondsSince(start);
    fs::remove(output);
    return run;
  }

  static ChildRun secondsSince(std::chrono::steady_clock::time_point start) {
    ChildRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
  }

  fs::path errorsPath() const { return work_ / "stderr.txt"; }

  fs::path work_;
  fs::path folder_;
  const Options& options_;
  CampaignResult result_;
};

// --- Reporting -----------------------------------------------------------------------

double mebibytes(long kib) {
  return static_cast<double>(kib) / 1024.0;
}

void printRow(const char* label, int reports, const Timing& timing, const Timing& cat,
              const Timing* io_floor) {
  const bool has_cat = cat.best_seconds < std::numeric_limits<double>::infinity();
  std::printf("  %-16s %9.4f s %12.0f ", label, timing.best_seconds,
              reports / timing.best_seconds);
  if (has_cat)
    std::printf("%9.2f", timing.best_seconds / cat.best_seconds);
  else
    std::printf("%9s", "-");
  if (io_floor != nullptr)
    std::printf(" %9.4f s %7.2f", io_floor->best_seconds,
                timing.best_seconds / io_floor->best_seconds);
  else
    std::printf(" %11s %7s", "-", "-");
  std::printf(" %10.1f\n", mebibytes(timing.peak_rss_kib));
}

void printCampaign(const CampaignResult& result) {
  std::printf("\n%d reports (%.1f MiB of O-files)\n", result.reports,
              static_cast<double>(result.bytes) / (1024.0 * 1024.0));
  std::printf("  %-16s %11s %12s %9s %11s %7s %10s\n", "run", "time", "reports/s", "x cat",
              "I/O floor", "x floor", "peak MiB");
  if (result.reports == kCatCampaign)
    printRow("cat", result.reports, result.cat, result.cat, nullptr);
  for (const std::string_view program : kPrograms) {
    for (const int type : kOutputTypes) {
      const std::string label = std::string(program) + " type " + std::to_string(type);
      const Configuration configuration{program, type};
      const Timing floor = result.hasIoFloor() ? result.ioFloor(configuration) : Timing{};
      printRow(label.c_str(), result.reports, result.conversions.at(configuration), result.cat,
               result.hasIoFloor() ? &floor : nullptr);
    }
  }
}

// Prints one line per target and tells whether all were met.
bool printTargets(const CampaignResult& small, const CampaignResult& large) {
  const double allowedGrowth =
      kMaxGrowthPerReportGrowth * static_cast<double>(large.reports) / small.reports;
  double worstRatio = 0, worstGrowth = 0, worstFloorRatio = 0;
  long worstRss = 0;
  for (const auto& [configuration, timing] : large.conversions) {
    const double small_seconds = small.conversions.at(configuration).best_seconds;
    worstRatio = std::max(worstRatio, small_seconds / small.cat.best_seconds);
    worstFloorRatio =
        std::max(worstFloorRatio, small_seconds / small.ioFloor(configuration).best_seconds);
    worstGrowth = std::max(worstGrowth,
                           timing.best_seconds / small.conversions.at(configuration).best_seconds);
    worstRss = std::max(worstRss, timing.peak_rss_kib);
  }
  const bool ratioMet = worstRatio <= kMaxRatioToCat;
  const bool floorMet = worstFloorRatio <= kMaxRatioToIoFloor;
  const bool growthMet = worstGrowth <= allowedGrowth;
  const bool memoryMet = worstRss < kMaxPeakRssKib;
  std::printf("\ntargets (worst configuration)\n");
  std::printf("  time / cat at %d reports: %.2f (at most %.1f): %s\n", small.reports, worstRatio,
              kMaxRatioToCat, ratioMet ? "met" : "MISSED");
  std::printf("  time / I/O floor at %d reports: %.2f (at most %.1f): %s\n", small.reports,
              worstFloorRatio, kMaxRatioToIoFloor, floorMet ? "met" : "MISSED");
  std::printf("  time %d / time %d reports: %.2f (at most %.1f): %s\n", large.reports,
              small.reports, worstGrowth, allowedGrowth, growthMet ? "met" : "MISSED");
  std::printf("  peak memory at %d reports: %.1f MiB (under %.0f MiB): %s\n", large.reports,
              mebibytes(worstRss), mebibytes(kMaxPeakRssKib), memoryMet ? "met" : "MISSED");
  return ratioMet && floorMet && growthMet && memoryMet;
}

int runBench(const Options& options) {
  const fs::path work = makeTemporaryFolder();
  std::printf("velk_bench: quelmar and novrale, output types 0, 3 and 5, best of %d runs\n",
              options.repeat);
  std::printf("temporary folder: %s\n", work.c_str());
  std::fflush(stdout);
  std::vector<CampaignResult> results;
  try {
    for (const int reports : kCampaignSizes) {
      results.push_back(CampaignBench(work, reports, options).run());
      printCampaign(results.back());
      std::fflush(stdout);
    }
  } catch (...) {
    if (!options.keep) fs::remove_all(work);
    throw;
  }
  const bool met = printTargets(results.front(), results.back());
  if (!options.keep) fs::remove_all(work);
  return met ? 0 : 1;
}

}  // namespace
}  // namespace velk::bench

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << velk::bench::kUsage;
    return 0;
  }
  try {
    return velk::bench::runBench(velk::bench::parseOptions(args));
  } catch (const std::invalid_argument& error) {
    std::cerr << "velk_bench: " << error.what() << '\n' << velk::bench::kUsage;
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "velk_bench: " << error.what() << '\n';
    return 2;
  }
}

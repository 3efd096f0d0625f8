// campaign_generator: writes synthetic O-files and the list file naming them, in one of two
// modes.
//
// A campaign, for the demo, the benchmark and the fuzzing corpus:
//
//   campaign_generator --reports N --dir DIR [--seed S] [--line-ends dos|unix]
//                      [--edition both|quelmar|novrale] [--list NAME] [--prefix XX]
//
// A network of known truth, for tests: every report with a fixed solution whose noise is drawn
// from its own printed covariance (unless --float makes it float only), and the true
// coordinates in a file beside the O-files (one line per station, "NAME X Y Z", then what the
// motion options put in: see truthFileText in tools/synthetic_network.h):
//
//   campaign_generator --network STATIONS --dir DIR [--pairs SHAPE] [--repeats K]
//                      [--session-size K] [--spread-km KM] [--correlations yes|no]
//                      [--a-priori-offset M] [--error REPORT,DX,DY,DZ | --error REPORT,AXIS,M]
//                      [--jump REPORT,AXIS,M] [--float FRACTION] [--velocity STATION,AXIS,M]...
//                      [--every DAYS] [--outliers K,M]
//                      [--truth NAME] [--seed S] [--line-ends dos|unix]
//                      [--edition both|quelmar|novrale] [--list NAME] [--prefix XX]
//
// for example `campaign_generator --network 20 --pairs ring --repeats 3 --dir /tmp/net`
// (20 stations, 60 reports), or `campaign_generator --network 2 --pairs 1-2 --repeats 1096
// --every 1 --velocity 2,north,0.003 --outliers 5,0.05 --dir /tmp/series` (a daily series of
// three years). The list names the O-files without a directory, as the
// converters expect when they run inside DIR. The same options always give the same files,
// byte for byte.

#include <charconv>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tools/synthetic_campaign.h"
#include "tools/synthetic_network.h"
#include "tools/synthetic_report.h"

namespace {

namespace campaign = velk::campaign;
using campaign::LineEnds;
using campaign::RatioLines;

constexpr std::string_view kUsage =
    "usage: campaign_generator --reports N --dir DIR [common options]\n"
    "       campaign_generator --network STATIONS --dir DIR [network options] [common options]\n"
    "A campaign:\n"
    "  --reports N          number of O-files to write (1 or more)\n"
    "A network of known truth (the truth written beside the O-files):\n"
    "  --network STATIONS   number of stations, 2 to 10000, named S001, S002, ..., S999,\n"
    "                       then T000, T001, ..., T009, T00A, ... (base 36)\n"
    "  --pairs SHAPE        the pairs measured: ring, complete, triangles (a strip),\n"
    "                       grid:ROWSxCOLUMNS, or station numbers from 1 as in 1-2,2-3,3-1\n"
    "                       (default ring)\n"
    "  --repeats K          every pair measured K times (default 1)\n"
    "  --session-size K     consecutive groups of K reports share an observation period\n"
    "                       (1 to 99, default 1)\n"
    "  --spread-km KM       side of the square the stations lie in (default 10; 0.005 = 5 m)\n"
    "  --correlations       yes (the default) or no: the reports carry correlation rows\n"
    "  --a-priori-offset M  mark 1 of a station off its truth by up to M metres per axis\n"
    "                       (default 0)\n"
    "  --error R,DX,DY,DZ   report R (from 1, in list order) given an error of DX DY DZ metres\n"
    "  --error R,AXIS,M     or of M metres along x, y, z, east, north or up\n"
    "  --jump R,AXIS,M      the same error (either form) in report R and every later one\n"
    "  --float FRACTION     that share of the reports float only, chosen at random\n"
    "  --velocity S,AXIS,M  station S (number from 1, or name) moves M metres a year along\n"
    "                       its own east, north or up, or along x, y or z; repeatable\n"
    "  --every DAYS         successive observation periods DAYS apart (default: a few a day)\n"
    "  --outliers K,M       K reports chosen at random moved by M metres in random directions\n"
    "  --truth NAME         name of the truth file inside DIR (default TRUTH.TXT); it also\n"
    "                       names the float-only reports, the outliers, the velocities and\n"
    "                       their reference epoch\n"
    "Common options:\n"
    "  --dir DIR            folder for the files written (created if need be)\n"
    "  --seed S             unsigned integer; the same seed gives the same files (default 1)\n"
    "  --line-ends          dos (CR LF, the default) or unix (LF)\n"
    "  --edition            which ratio lines the fixed sections carry (default both)\n"
    "  --list NAME          name of the list file inside DIR (default LISTE.LST for a\n"
    "                       campaign, NETWORK.LST for a network)\n"
    "  --prefix XX          two letters or digits that start every O-file name (default AB\n"
    "                       for a campaign, NT for a network)\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What the network options say, before the network's size is known to give them meaning.
struct NetworkRequest {
  int stations = 0;
  std::string pairs = "ring";
  int repeats = 1;
  int session_size = 1;
  double spread_km = 10;
  bool correlations = true;
  double a_priori_offset = 0;
  std::optional<std::string> error;
  bool jump = false;  // the error given by --jump: it stays from its report on
  double float_fraction = 0;
  std::vector<std::string> velocities;  // as given, read once the station count is known
  int every_days = 0;
  std::optional<std::string> outliers;
  std::string truth_name = "TRUTH.TXT";
};

struct CommandLine {
  std::optional<int> reports;
  std::optional<NetworkRequest> network;
  std::optional<std::string> first_network_option;  // to refuse it in a campaign
  std::optional<std::filesystem::path> dir;
  std::uint64_t seed = 1;
  LineEnds line_ends = LineEnds::kDos;
  RatioLines ratio_lines = RatioLines::kBoth;
  std::optional<std::string> prefix;
  std::optional<std::string> list_name;
};

// ---------------------------------------------------------------------------------------------
// Values.

template <typename Number>
Number parseNumber(std::string_view option, std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    throw UsageError(std::string(option) + ": not a number: " + std::string(text));
  }
  return value;
}

int parseCount(std::string_view option, std::string_view text, int low) {
  const int value = parseNumber<int>(option, text);
  if (value < low) throw UsageError(std::string(option) + ": at least " + std::to_string(low));
  return value;
}

LineEnds parseLineEnds(std::string_view text) {
  if (text == "dos") return LineEnds::kDos;
  if (text == "unix") return LineEnds::kUnix;
  throw UsageError("--line-ends: dos or unix, not " + std::string(text));
}

RatioLines parseEdition(std::string_view text) {
  if (text == "both") return RatioLines::kBoth;
  if (text == "quelmar") return RatioLines::kQuelmar;
  if (text == "novrale") return RatioLines::kNovrale;
  throw UsageError("--edition: both, quelmar or novrale, not " + std::string(text));
}

bool parseYesNo(std::string_view option, std::string_view text) {
  if (text == "yes") return true;
  if (text == "no") return false;
  throw UsageError(std::string(option) + ": yes or no, not " + std::string(text));
}

bool isNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string parsePrefix(std::string_view text) {
  if (text.size() != 2 || !isNameCharacter(text[0]) || !isNameCharacter(text[1])) {
    throw UsageError("--prefix: two capital letters or digits, not " + std::string(text));
  }
  return std::string(text);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

// ---------------------------------------------------------------------------------------------
// The command line.

bool takeCommonOption(std::string_view option, std::string_view value, CommandLine& line) {
  if (option == "--dir") {
    line.dir = std::string(value);
  } else if (option == "--seed") {
    line.seed = parseNumber<std::uint64_t>(option, value);
  } else if (option == "--line-ends") {
    line.line_ends = parseLineEnds(value);
  } else if (option == "--edition") {
    line.ratio_lines = parseEdition(value);
  } else if (option == "--list") {
    line.list_name = std::string(value);
  } else if (option == "--prefix") {
    line.prefix = parsePrefix(value);
  } else {
    return false;
  }
  return true;
}

bool takeNetworkOption(std::string_view option, std::string_view value, NetworkRequest& request) {
  if (option == "--network") {
    request.stations = parseCount(option, value, 2);
  } else if (option == "--pairs") {
    request.pairs = std::string(value);
  } else if (option == "--repeats") {
    request.repeats = parseCount(option, value, 1);
  } else if (option == "--session-size") {
    request.session_size = parseCount(option, value, 1);
  } else if (option == "--spread-km") {
    request.spread_km = parseNumber<double>(option, value);
  } else if (option == "--correlations") {
    request.correlations = parseYesNo(option, value);
  } else if (option == "--a-priori-offset") {
    request.a_priori_offset = parseNumber<double>(option, value);
  } else if (option == "--error" || option == "--jump") {
    if (request.error) throw UsageError("--error and --jump: one error at most");
    request.error = std::string(value);
    request.jump = option == "--jump";
  } else if (option == "--float") {
    request.float_fraction = parseNumber<double>(option, value);
    if (!(request.float_fraction >= 0 && request.float_fraction <= 1))
      throw UsageError("--float: a share from 0 to 1, not " + std::string(value));
  } else if (option == "--velocity") {
    request.velocities.emplace_back(value);
  } else if (option == "--every") {
    request.every_days = parseCount(option, value, 1);
  } else if (option == "--outliers") {
    request.outliers = std::string(value);
  } else if (option == "--truth") {
    request.truth_name = std::string(value);
  } else {
    return false;
  }
  return true;
}

CommandLine parseCommandLine(const std::vector<std::string_view>& args) {
  CommandLine line;
  NetworkRequest request;
  bool networkMode = false;
  for (std::size_t i = 0; i < args.size(); i += 2) {
    const std::string_view option = args[i];
    if (i + 1 >= args.size()) throw UsageError(std::string(option) + ": value missing");
    const std::string_view value = args[i + 1];
    if (option == "--reports") {
      line.reports = parseCount(option, value, 1);
    } else if (takeNetworkOption(option, value, request)) {
      networkMode = networkMode || option == "--network";
      if (!line.first_network_option) line.first_network_option = std::string(option);
    } else if (!takeCommonOption(option, value, line)) {
      throw UsageError("unknown option " + std::string(option));
    }
  }
  if (networkMode) line.network = request;
  if (line.reports.has_value() == line.network.has_value()) {
    throw UsageError("either --reports or --network is required, not both");
  }
  if (line.reports && line.first_network_option) {
    throw UsageError(*line.first_network_option + " belongs to a network, not a campaign");
  }
  if (!line.dir) throw UsageError("--dir is required");
  return line;
}

// ---------------------------------------------------------------------------------------------
// A campaign.

void writeCampaign(const CommandLine& line) {
  campaign::CampaignOptions options;
  options.reports = *line.reports;
  options.seed = line.seed;
  options.line_ends = line.line_ends;
  options.ratio_lines = line.ratio_lines;
  if (line.prefix) options.prefix = *line.prefix;
  const std::string listName = line.list_name.value_or("LISTE.LST");

  std::filesystem::create_directories(*line.dir);
  std::vector<std::string> names;
  campaign::generateCampaign(options, [&](const campaign::GeneratedReport& r) {
    campaign::writeTextFile(*line.dir / r.name, r.text);
    names.push_back(r.name);
  });
  campaign::writeTextFile(*line.dir / listName, campaign::listFileText(names, options.line_ends));
  std::cout << "campaign_generator: " << names.size() << " O-files and "
            << (*line.dir / listName).string() << '\n';
}

// ---------------------------------------------------------------------------------------------
// A network.

int parseStationNumber(std::string_view text, int stations) {
  const int number = parseNumber<int>("--pairs", text);
  if (number < 1 || number > stations) {
    throw UsageError("--pairs: station " + std::string(text) + " is not in 1 to " +
                     std::to_string(stations));
  }
  return number - 1;
}

std::vector<campaign::StationPair> listedPairs(std::string_view text, int stations) {
  std::vector<campaign::StationPair> pairs;
  for (std::string_view pair : split(text, ',')) {
    const std::vector<std::string_view> ends = split(pair, '-');
    if (ends.size() != 2) throw UsageError("--pairs: not a pair FROM-TO: " + std::string(pair));
    pairs.push_back({parseStationNumber(ends[0], stations), parseStationNumber(ends[1], stations)});
  }
  return pairs;
}

std::vector<campaign::StationPair> gridOf(std::string_view size, int stations) {
  const std::vector<std::string_view> sides = split(size, 'x');
  if (sides.size() != 2)
    throw UsageError("--pairs: grid:ROWSxCOLUMNS, not grid:" + std::string(size));
  const int rows = parseCount("--pairs", sides[0], 1);
  const int columns = parseCount("--pairs", sides[1], 1);
  if (rows * columns != stations) {
    throw UsageError("--pairs: a grid of " + std::string(size) + " is not " +
                     std::to_string(stations) + " stations");
  }
  return campaign::gridPairs(rows, columns);
}

std::vector<campaign::StationPair> pairsOf(const NetworkRequest& request) {
  const std::string_view shape = request.pairs;
  if (shape == "ring") return campaign::ringPairs(request.stations);
  if (shape == "complete") return campaign::completePairs(request.stations);
  if (shape == "triangles") return campaign::trianglesPairs(request.stations);
  if (shape.substr(0, 5) == "grid:") return gridOf(shape.substr(5), request.stations);
  return listedPairs(shape, request.stations);
}

campaign::Axis parseAxis(std::string_view option, std::string_view text) {
  if (text == "x") return campaign::Axis::kX;
  if (text == "y") return campaign::Axis::kY;
  if (text == "z") return campaign::Axis::kZ;
  if (text == "east") return campaign::Axis::kEast;
  if (text == "north") return campaign::Axis::kNorth;
  if (text == "up") return campaign::Axis::kUp;
  throw UsageError(std::string(option) + ": the axis is x, y, z, east, north or up, not " +
                   std::string(text));
}

campaign::InjectedError errorOf(std::string_view text, const campaign::NetworkOptions& options) {
  const std::vector<std::string_view> fields = split(text, ',');
  if (fields.size() != 3 && fields.size() != 4) {
    throw UsageError("--error: REPORT,DX,DY,DZ or REPORT,AXIS,METRES, not " + std::string(text));
  }
  const int report = parseCount("--error", fields[0], 1) - 1;
  if (static_cast<std::size_t>(report) >= options.measurements.size()) {
    throw UsageError("--error: report " + std::string(fields[0]) + " is not in 1 to " +
                     std::to_string(options.measurements.size()));
  }
  if (fields.size() == 3) {
    return campaign::errorAlong(options, report, parseAxis("--error", fields[1]),
                                parseNumber<double>("--error", fields[2]));
  }
  return {report,
          {parseNumber<double>("--error", fields[1]), parseNumber<double>("--error", fields[2]),
           parseNumber<double>("--error", fields[3])}};
}

// A station by its number from 1 or by its name.
int stationOf(std::string_view option, std::string_view text, int stations) {
  for (int i = 0; i < stations; ++i) {
    if (campaign::stationName(i) == text) return i;
  }
  const int number = parseNumber<int>(option, text);
  if (number < 1 || number > stations) {
    throw UsageError(std::string(option) + ": station " + std::string(text) + " is not in 1 to " +
                     std::to_string(stations));
  }
  return number - 1;
}

campaign::StationVelocity velocityOf(std::string_view text, int stations) {
  const std::vector<std::string_view> fields = split(text, ',');
  if (fields.size() != 3) {
    throw UsageError("--velocity: STATION,AXIS,METRES_PER_YEAR, not " + std::string(text));
  }
  return {stationOf("--velocity", fields[0], stations), parseAxis("--velocity", fields[1]),
          parseNumber<double>("--velocity", fields[2])};
}

campaign::Outliers outliersOf(std::string_view text) {
  const std::vector<std::string_view> fields = split(text, ',');
  if (fields.size() != 2) throw UsageError("--outliers: COUNT,METRES, not " + std::string(text));
  return {parseCount("--outliers", fields[0], 0), parseNumber<double>("--outliers", fields[1])};
}

campaign::NetworkOptions networkOptions(const CommandLine& line) {
  const NetworkRequest& request = *line.network;
  campaign::NetworkOptions options;
  options.stations = request.stations;
  options.measurements = campaign::inSessionsOf(
      campaign::measureEach(pairsOf(request), request.repeats), request.session_size);
  options.seed = line.seed;
  options.spread_km = request.spread_km;
  options.correlation_rows = request.correlations;
  options.a_priori_offset = request.a_priori_offset;
  options.line_ends = line.line_ends;
  options.ratio_lines = line.ratio_lines;
  if (line.prefix) options.prefix = *line.prefix;
  if (request.error) options.error = errorOf(*request.error, options);
  options.error_persists = request.jump;
  options.float_fraction = request.float_fraction;
  for (const std::string& velocity : request.velocities) {
    options.velocities.push_back(velocityOf(velocity, request.stations));
  }
  options.every_days = request.every_days;
  if (request.outliers) options.outliers = outliersOf(*request.outliers);
  return options;
}

void writeNetwork(const CommandLine& line) {
  const campaign::NetworkOptions options = networkOptions(line);
  const campaign::NetworkFiles files = campaign::writeNetwork(
      options, *line.dir, line.list_name.value_or("NETWORK.LST"), line.network->truth_name);
  std::cout << "campaign_generator: " << files.reports.size() << " O-files, " << files.list.string()
            << " and " << files.truth.string() << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  try {
    const CommandLine line = parseCommandLine(args);
    if (line.network) {
      writeNetwork(line);
    } else {
      writeCampaign(line);
    }
  } catch (const UsageError& error) {
    std::cerr << "campaign_generator: " << error.what() << '\n' << kUsage;
    return 2;
  } catch (const std::invalid_argument& error) {  // network options out of range
    std::cerr << "campaign_generator: " << error.what() << '\n' << kUsage;
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "campaign_generator: " << error.what() << '\n';
    return 1;
  }
  return 0;
}

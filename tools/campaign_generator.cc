// campaign_generator: writes a synthetic campaign of O-files and the list file naming them.
//
//   campaign_generator --reports N --dir DIR [--seed S] [--line-ends dos|unix]
//                      [--edition both|quelmar|novrale] [--list NAME] [--prefix XX]
//
// The list names the O-files without a directory, as the converters expect when they run
// inside DIR. The same options always give the same files, byte for byte.

#include <charconv>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tools/synthetic_campaign.h"
#include "tools/synthetic_report.h"

namespace {

using velk::campaign::CampaignOptions;
using velk::campaign::LineEnds;
using velk::campaign::RatioLines;

constexpr std::string_view kUsage =
    "usage: campaign_generator --reports N --dir DIR [--seed S] [--line-ends dos|unix]\n"
    "                          [--edition both|quelmar|novrale] [--list NAME] [--prefix XX]\n"
    "  --reports N    number of O-files to write (1 or more)\n"
    "  --dir DIR      folder for the O-files and the list file (created if need be)\n"
    "  --seed S       unsigned integer; the same seed gives the same campaign (default 1)\n"
    "  --line-ends    dos (CR LF, the default) or unix (LF)\n"
    "  --edition      which ratio lines the fixed sections carry (default both)\n"
    "  --list NAME    name of the list file inside DIR (default LISTE.LST)\n"
    "  --prefix XX    two letters or digits that start every O-file name (default AB)\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct CommandLine {
  CampaignOptions campaign;
  std::filesystem::path dir;
  std::string list_name = "LISTE.LST";
};

template <typename Number>
Number parseNumber(std::string_view option, std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    throw UsageError(std::string(option) + ": not a number: " + std::string(text));
  }
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

bool isNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string parsePrefix(std::string_view text) {
  if (text.size() != 2 || !isNameCharacter(text[0]) || !isNameCharacter(text[1])) {
    throw UsageError("--prefix: two capital letters or digits, not " + std::string(text));
  }
  return std::string(text);
}

CommandLine parseCommandLine(const std::vector<std::string_view>& args) {
  CommandLine line;
  bool haveReports = false;
  bool haveDir = false;
  for (std::size_t i = 0; i < args.size(); i += 2) {
    const std::string_view option = args[i];
    if (i + 1 >= args.size()) throw UsageError(std::string(option) + ": value missing");
    const std::string_view value = args[i + 1];
    if (option == "--reports") {
      line.campaign.reports = parseNumber<int>(option, value);
      if (line.campaign.reports < 1) throw UsageError("--reports: at least 1");
      haveReports = true;
    } else if (option == "--seed") {
      line.campaign.seed = parseNumber<std::uint64_t>(option, value);
    } else if (option == "--dir") {
      line.dir = std::string(value);
      haveDir = true;
    } else if (option == "--line-ends") {
      line.campaign.line_ends = parseLineEnds(value);
    } else if (option == "--edition") {
      line.campaign.ratio_lines = parseEdition(value);
    } else if (option == "--list") {
      line.list_name = std::string(value);
    } else if (option == "--prefix") {
      line.campaign.prefix = parsePrefix(value);
    } else {
      throw UsageError("unknown option " + std::string(option));
    }
  }
  if (!haveReports || !haveDir) throw UsageError("--reports and --dir are required");
  return line;
}

void writeCampaign(const CommandLine& line) {
  std::filesystem::create_directories(line.dir);
  std::vector<std::string> names;
  velk::campaign::generateCampaign(line.campaign, [&](const velk::campaign::GeneratedReport& r) {
    velk::campaign::writeTextFile(line.dir / r.name, r.text);
    names.push_back(r.name);
  });
  velk::campaign::writeTextFile(line.dir / line.list_name,
            velk::campaign::listFileText(names, line.campaign.line_ends));
  std::cout << "campaign_generator: " << names.size() << " O-files and "
            << (line.dir / line.list_name).string() << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  try {
    writeCampaign(parseCommandLine(args));
  } catch (const UsageError& error) {
    std::cerr << "campaign_generator: " << error.what() << '\n' << kUsage;
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "campaign_generator: " << error.what() << '\n';
    return 1;
  }
  return 0;
}

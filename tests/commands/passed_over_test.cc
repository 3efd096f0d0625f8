// Inputs that a run passes over: each named on standard error, the run summed up, exit
// status 4 (1 with --strict, nothing written), and no input at all a usage error.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "tests/run/program_runner.h"

namespace velk {
namespace {

using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

const std::string kExamples = std::string(VELK_SOURCE_DIR) + "/examples/";

std::string firstLines(const std::string& text, int count) {
  std::size_t end = 0;
  for (int i = 0; i < count; ++i) end = text.find('\n', end) + 1;
  return text.substr(0, end);
}

// A campaign of two good reports and the ways an input goes wrong: a report truncated
// before its solutions, one cut inside its fixed section, a text file, a binary file and a
// name that no file has.
void writeDamagedCampaign(const ScratchFolder& folder) {
  const std::string report = readFile(kExamples + "AB082101.017");
  writeFile(folder / "TRUNC.017", firstLines(report, 30));
  writeFile(folder / "CUT.017", firstLines(report, 85));
  writeFile(folder / "TEXT.017", "Minutes of the field meeting\nnothing else\n");
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 151 + 7) % 256));
  writeFile(folder / "BINARY.017", binary);
  writeFile(folder / "LIST.LST", kExamples + "AB082102.017\nTRUNC.017\nCUT.017\nTEXT.017\n"
                                 "BINARY.017\nMISSING.017\n" + kExamples + "AB082103.017\n\n");
}

// The "PATH line L" that opens each notice naming a report.
std::set<std::string> namedReports(const std::string& err) {
  std::set<std::string> places;
  std::istringstream lines(err);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find(" line ");
    if (at == std::string::npos) continue;
    places.insert(line.substr(0, line.find(':', at)));
  }
  return places;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(PassedOver, EveryInputThatCannotBeReadIsNamedAndTheRunEndsWith4) {
  const ScratchFolder folder("passed-over");
  writeDamagedCampaign(folder);
  const ProgramRun velk =
      folder.run("baselines", "", {"velk", "-e", "novrale", "-t", "3", "-o", "OUT.VEC", "-l", "LIST.LST"});
  EXPECT_EQ(velk.status, 4) << velk.err;
  EXPECT_TRUE(std::filesystem::exists(folder / "OUT.VEC"));
  for (const char* notice :
       {"TRUNC.017 line 1: no vector, sigmas and mark 1: its record holds zeros in their place",
        "CUT.017 line 1: fixed section (line 66) without its vector and mark 1: its record, "
        "marked Fx, carries the float solution's",
        "TEXT.017: not an O-file (no report header)", "BINARY.017: not an O-file (no report header)",
        "cannot open O-file MISSING.017: No such file or directory",
        "baselines: 3 of 7 O-files passed over, 2 reports incomplete\n"})
    EXPECT_TRUE(has(velk.err, notice)) << notice << "\n" << velk.err;

  const ProgramRun check = folder.run("baselines", "", {"check", "-l", "LIST.LST"});
  EXPECT_EQ(check.status, 4) << check.err;
  EXPECT_TRUE(has(check.err, "baselines: 3 of 7 O-files passed over, 2 reports incomplete\n"));
  // One reading of the reports: the legacy run and the check name the same reports.
  EXPECT_EQ(namedReports(velk.err), namedReports(check.err));
  EXPECT_EQ(namedReports(velk.err).size(), 2u);

  for (const std::vector<std::string>& strict :
       {std::vector<std::string>{"velk", "-e", "quelmar", "-t", "0", "-o", "STRICT.RAT"},
        {"check", "--json", "STRICT.RAT"},
        {"export", "gama", "-o", "STRICT.RAT"},
        {"plot", "network", "-o", "STRICT.RAT"}}) {
    std::vector<std::string> arguments = strict;
    arguments.insert(arguments.end(), {"--strict", "-l", "LIST.LST"});
    const ProgramRun run = folder.run("baselines", "", arguments);
    EXPECT_EQ(run.status, 1) << strict[0] << "\n" << run.err;
    EXPECT_TRUE(has(run.err, "2 reports incomplete (--strict): nothing written")) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "STRICT.RAT")) << strict[0];
  }
}

TEST(PassedOver, NoInputIsAUsageErrorAndNothingReadableFailsTheRun) {
  const ScratchFolder folder("no-input");
  writeDamagedCampaign(folder);
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"velk", "-e", "novrale", "-t", "0", "-o", "OUT"},
        {"check"},
        {"export", "gama", "-o", "OUT"},
        {"plot", "network", "-o", "OUT"},
        {"adjust", "--json", "OUT"},
        {"series", "--json", "OUT"}}) {
    const ProgramRun none = folder.run("baselines", "", command);
    EXPECT_EQ(none.status, 2) << command[0] << "\n" << none.err;
    std::vector<std::string> unreadable = command;
    unreadable.insert(unreadable.end(), {"TEXT.017", "MISSING.017"});
    const ProgramRun run = folder.run("baselines", "", unreadable);
    EXPECT_EQ(run.status, 1) << command[0] << "\n" << run.err;
    EXPECT_TRUE(has(run.err, "every O-file was passed over")) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "OUT"));
  }
}

}  // namespace
}  // namespace velk

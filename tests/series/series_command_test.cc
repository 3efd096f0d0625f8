// `baselines series` through the real program: O-files of the network generator, a LOG
// file that follows two baselines, the output files and the exit statuses.

#include <gtest/gtest.h>

#include <regex>

#include "tests/run/program_runner.h"
#include "tools/synthetic_network.h"

namespace velk {
namespace {

namespace gen = campaign;
using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::size_t lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// One pair measured 60 times (three reports a day), 15 mm north from the 31st report on.
gen::NetworkOptions jumpingPair() {
  gen::NetworkOptions options;
  options.stations = 2;
  options.measurements = gen::measureEach({{0, 1}}, 60);
  options.error = gen::errorAlong(options, 30, gen::Axis::kNorth, 0.015);
  options.error_persists = true;
  return options;
}

TEST(SeriesCommand, AJumpRaisesTheAlarmAndEveryOutputShowsIt) {
  const ScratchFolder folder("series-jump");
  const gen::NetworkFiles files = gen::writeNetwork(jumpingPair(), folder.path());
  const ProgramRun run =
      folder.run("baselines", "",
                 {"series", "--list", "NETWORK.LST", "--warn", "north=5", "--alarm", "2d=10,up=50",
                  "--json", "S.JSON", "--csv", "CSV", "--mom", "MOM"});
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(has(run.out, "Steps of S001 - S002\n")) << run.out;
  EXPECT_TRUE(has(run.out, "  " + files.reports[30].filename().string() + "  ")) << run.out;
  EXPECT_TRUE(has(run.out, "  alarm: 2d 15.")) << run.out;
  EXPECT_TRUE(has(run.out, "Result: 1 pair at alarm\n"));
  const std::string json = readFile(folder / "S.JSON");
  std::smatch step;
  ASSERT_TRUE(
      std::regex_search(json, step, std::regex(R"("enu_mm": \[(-?[0-9.]+), (-?[0-9.]+), )")));
  EXPECT_NEAR(std::stod(step[2]), 15.0, 1.5);
  EXPECT_GE(step[2].length(), 11);  // at least 10 significant digits
  EXPECT_TRUE(has(json, R"("alarms": ["2d"],)"));
  EXPECT_TRUE(has(json, R"("warnings": ["north"],)"));
  EXPECT_EQ(lines(readFile(folder / "CSV" / "S001-S002.csv")), 61u);
  const std::string north = readFile(folder / "MOM" / "S001-S002_N.mom");
  EXPECT_TRUE(north.starts_with("# sampling period "));
  EXPECT_TRUE(has(north, "\n# offset "));
  // Without thresholds nothing is at alarm; existing files stop the run unless --force.
  const ProgramRun again =
      folder.run("baselines", "", {"series", "--list", "NETWORK.LST", "--json", "S.JSON"});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(readFile(folder / "S.JSON"), json);
  EXPECT_EQ(
      folder.run("baselines", "", {"series", "--list", "NETWORK.LST", "-j", "S.JSON", "-f"}).status,
      0);
  // --json -: the JSON on standard output, the text on standard error.
  const ProgramRun piped =
      folder.run("baselines", "", {"series", "--list", "NETWORK.LST", "--json", "-"});
  EXPECT_EQ(piped.status, 0);
  EXPECT_TRUE(piped.out.starts_with("{\n  \"pairs\": [")) << piped.out;
  EXPECT_TRUE(has(piped.err, "Steps of S001 - S002\n"));
  // A known step at the jump's date takes its place.
  const ProgramRun known = folder.run(
      "baselines", "", {"series", "--list", "NETWORK.LST", "--step", "S002,2015-04-04T08:00"});
  EXPECT_TRUE(has(known.out, "  at 2015-04-04T08:00:00  ")) << known.out;
}

// A quelmar type-5 LOG file of two baselines measured in turn: two series, named by their
// length (quelmar's records name no station).
TEST(SeriesCommand, LogFileRecordsAreGroupedIntoBaselines) {
  const ScratchFolder folder("series-log");
  gen::NetworkOptions options;
  options.stations = 3;
  options.measurements = gen::measureEach({{0, 1}, {0, 2}}, 12);
  gen::writeNetwork(options, folder.path());
  ASSERT_EQ(
      folder
          .run("baselines", "",
               {"velk", "-e", "quelmar", "-t", "5", "-o", "SESS0101.LOG", "--list", "NETWORK.LST"})
          .status,
      0);
  const ProgramRun run =
      folder.run("baselines", "", {"series", "--log", "--year", "2015", "SESS0101.LOG"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(has(run.out, "Series of 2 pairs (24 reports)")) << run.out;
  EXPECT_TRUE(std::regex_search(run.out, std::regex("\n  [0-9]+\\.[0-9] m +12 "))) << run.out;
  // No year for quelmar's records, or a threshold that dX dY dZ do not have: exit 2.
  EXPECT_EQ(folder.run("baselines", "", {"series", "--log", "SESS0101.LOG"}).status, 2);
  const ProgramRun xyz = folder.run("baselines", "",
                                    {"series", "--log", "--year", "2015", "--components", "xyz",
                                     "--warn", "up=3", "SESS0101.LOG"});
  EXPECT_EQ(xyz.status, 2);
  EXPECT_TRUE(has(xyz.err, "only 3d and length")) << xyz.err;
}

TEST(SeriesCommand, WrongOptionsAndMissingInputs) {
  const ScratchFolder folder("series-usage");
  gen::writeNetwork(jumpingPair(), folder.path());
  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"series"},
        {"series", "--list", "NETWORK.LST", "--warn", "side=3"},
        {"series", "--list", "NETWORK.LST", "--step", "S001,31.2.2015"},
        {"series", "--list", "NETWORK.LST", "--alpha", "1.5"},
        {"series", "--list", "NETWORK.LST", "--year", "2015"}}) {
    const ProgramRun run = folder.run("baselines", "", wrong);
    EXPECT_EQ(run.status, 2) << wrong.back() << ": " << run.err;
  }
  // An O-file that cannot be opened is passed over (4), or fails the run with --strict.
  const ProgramRun missing =
      folder.run("baselines", "", {"series", "--list", "NETWORK.LST", "NOFILE.015"});
  EXPECT_EQ(missing.status, 4);
  EXPECT_TRUE(has(missing.err, "NOFILE.015"));
  EXPECT_EQ(
      folder.run("baselines", "", {"series", "--strict", "--list", "NETWORK.LST", "NOFILE.015"})
          .status,
      1);
}

}  // namespace
}  // namespace velk

// `baselines adjust` through the real program: the example campaign, a generated network
// with a blunder and a moved control mark, the output files and the exit statuses.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/run/program_runner.h"
#include "tools/synthetic_network.h"

namespace velk {
namespace {

using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

const std::string kList = std::string(VELK_SOURCE_DIR) + "/examples/CAMPAGNE.LST";

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(AdjustCommand, TheExampleCampaignFixedOnlyAndWithItsFloatReport) {
  const ScratchFolder folder("adjust-example");
  const ProgramRun fixed = folder.run("baselines", "", {"adjust", "--list", kList});
  EXPECT_EQ(fixed.status, 0) << fixed.err;
  EXPECT_TRUE(has(fixed.out,
                  "Minimally constrained adjustment: 4 reports, 4 stations, 9 "
                  "unknowns, redundancy 3\n"));
  EXPECT_TRUE(has(fixed.err, "1 float report(s) left out"));
  // CAST - CHAU alone reaches CHAU: no test can see a blunder there.
  EXPECT_TRUE(has(fixed.out, "AB082102.017  CAST  CHAU"));
  EXPECT_TRUE(has(fixed.out, "uncontrolled AB082102.017 CAST - CHAU"));
  EXPECT_EQ(folder.run("baselines", "", {"adjust", "--list", kList, "--strict"}).status, 3);

  // The float report closes the loop CAST CHAU SAUL by 56 mm: the global test fails
  // (vTPv 23.05 on 6 degrees of freedom) and one of the two reports to CHAU goes.
  const ProgramRun all = folder.run("baselines", "",
                                    {"adjust", "--list", kList, "--with-float", "--json", "A.JSON",
                                     "--csv", "A.CSV", "--degrees"});
  EXPECT_EQ(all.status, 3);
  EXPECT_TRUE(has(all.out, "vTPv 23.055 on 6 degrees of freedom"));
  EXPECT_TRUE(has(all.out, "Lat deg"));
  const std::string json = readFile(folder / "A.JSON");
  EXPECT_TRUE(has(json, R"("redundancy": 3,)"));
  EXPECT_TRUE(has(json, R"("removed": ["AB082102.017"])") ||
              has(json, R"("removed": ["AB082201.017"])"));
  EXPECT_TRUE(has(readFile(folder / "A.CSV"), "CAST,1,4344310.20750,98187.71190,4653732.36780,"));
  // Existing files stop the run before any work; --force replaces them.
  const ProgramRun again =
      folder.run("baselines", "", {"adjust", "--list", kList, "--json", "A.JSON"});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(readFile(folder / "A.JSON"), json);

  // Without the fixed reports nothing is left but the float one.
  const ProgramRun none =
      folder.run("baselines", "",
                 {"adjust", "--list", kList, "--exclude", "AB082101.017,AB082102.017,AB082103.017",
                  "--exclude", "AB082202.017"});
  EXPECT_EQ(none.status, 1);
  EXPECT_TRUE(has(none.err, "no fixed report (use --with-float)")) << none.err;
}

TEST(AdjustCommand, WrongOptionsAreUsageErrors) {
  const ScratchFolder folder("adjust-options");
  for (const std::vector<std::string>& wrong : {std::vector<std::string>{"--sigma", "best"},
                                                {"--alpha", "0"},
                                                {"--power", "1"},
                                                {"--hold", "NOPE"},
                                                {"--hold", "CAST", "--free"},
                                                {"--relative-limit", "2cm"},
                                                {"--relative", "CAST"},
                                                {"--exclude", "NONE.017"},
                                                {"--centring-mm", "1,2,3"},
                                                {"--variance-factor", "0"}}) {
    std::vector<std::string> arguments{"adjust", "--list", kList};
    arguments.insert(arguments.end(), wrong.begin(), wrong.end());
    const ProgramRun run = folder.run("baselines", "", arguments);
    EXPECT_EQ(run.status, 2) << wrong[0] << " " << run.err;
    EXPECT_TRUE(has(run.err, "Try 'baselines adjust --help'.")) << run.err;
  }
}

// A blunder of 5 cm in one report of a 4×4 grid measured twice is taken out first; a
// control mark given 4 cm off in a constrained adjustment is taken out there; a relative
// limit of 0.1 mm fails every pair.
TEST(AdjustCommand, AGeneratedNetworkWithABlunderAndAMovedControlMark) {
  const ScratchFolder folder("adjust-network");
  namespace gen = campaign;
  gen::NetworkOptions options;
  options.stations = 16;
  options.measurements = gen::measureEach(gen::gridPairs(4, 4), 2);
  options.seed = 21;
  options.error = gen::errorAlong(options, 10, gen::Axis::kNorth, 0.05);
  const gen::NetworkFiles files = gen::writeNetwork(options, folder / "net");
  const gen::Coordinates truth = gen::networkTruth(options);
  const Cartesian s5 = truth.at("S005"), s16 = truth.at("S016");
  writeFile(folder / "CONTROL.CSV",
            "name,X,Y,Z,sX,sY,sZ\n"
            "S001," +
                std::to_string(truth.at("S001").x) + "," + std::to_string(truth.at("S001").y) +
                "," + std::to_string(truth.at("S001").z) +
                "\n"
                "S005," +
                std::to_string(s5.x + 0.04) + "," + std::to_string(s5.y) + "," +
                std::to_string(s5.z) +
                ",0.002,0.002,0.002\n"
                "S016," +
                std::to_string(s16.x) + "," + std::to_string(s16.y) + "," + std::to_string(s16.z) +
                ",0.002,0.002,0.002\n");
  const ProgramRun run =
      folder.run("baselines", "",
                 {"adjust", "--list", files.list.string(), "--control", "CONTROL.CSV", "--json",
                  "N.JSON", "--relative", "S001,S016", "--relative-limit", "0.1mm"});
  EXPECT_EQ(run.status, 3) << run.err;
  const std::string blundered = files.reports[10].filename().string();
  EXPECT_TRUE(has(run.out, "minimally constrained: taken out " + blundered)) << run.out;
  EXPECT_TRUE(has(run.out, "constrained: taken out control S005 - S005")) << run.out;
  EXPECT_TRUE(has(run.out, "Constrained adjustment: 47 reports and 2 weighted control stations"));
  EXPECT_TRUE(has(run.out, "relative precision S001 - S016 beyond its limit"));
  const std::string json = readFile(folder / "N.JSON");
  EXPECT_TRUE(has(json, R"("removed": [")" + blundered + "\""));
  EXPECT_TRUE(has(json, R"("constrained": {)"));
}

}  // namespace
}  // namespace velk

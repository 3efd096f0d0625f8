// `baselines check` through the real program: the example campaign's findings, the JSON
// file, the exit statuses and the options' checks.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/run/program_runner.h"

namespace velk {
namespace {

using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

const std::string kList = std::string(VELK_SOURCE_DIR) + "/examples/CAMPAGNE.LST";

ProgramRun check(const ScratchFolder& folder, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"check", "--list", kList});
  return folder.run("baselines", "", arguments);
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CheckCommand, TheExampleCampaignsFloatBaselineSpoilsItsLoop) {
  const ScratchFolder folder("check-example");
  const ProgramRun run = check(folder, {"--json", "CHECK.JSON"});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.err, "");
  // Loop CAST CHAU SAUL holds the float report SAUL -> CHAU and misses by 56 mm.
  EXPECT_TRUE(has(run.out, "CAST CHAU SAUL      15777.7           55.7      25.8"));
  EXPECT_TRUE(has(run.out, "  21.690  11.345  flagged float\n"));
  EXPECT_TRUE(has(run.out, "    SAUL - CHAU      1        1    21.690  alone\n"));
  EXPECT_TRUE(has(run.out, "AB082103.017  CAST  VERC  fixed      2.52         2.2  low_ratio\n"));
  // The float report of the flagged loop is the first to look at.
  EXPECT_TRUE(has(run.out, "  Reports to look at first:\n    File          From  To    Why\n"
                           "    AB082201.017  SAUL  CHAU  float; on 1 of 1 flagged loop;"));
  const std::string json = readFile(folder / "CHECK.JSON");
  EXPECT_TRUE(has(json, R"("stations": ["CAST", "CHAU", "SAUL"],)"));
  EXPECT_TRUE(has(json, R"("flags": ["float"])"));
  EXPECT_TRUE(has(json, R"("loops_flagged": 1,)"));
  EXPECT_TRUE(has(json, "\"act_on\": [\n    {\"file\": \"AB082201.017\", \"from\": \"SAUL\""));
  EXPECT_EQ(json.back(), '\n');

  // The JSON file is not overwritten without --force, and is with it.
  writeFile(folder / "CHECK.JSON", "old");
  EXPECT_EQ(check(folder, {"--json", "CHECK.JSON"}).status, 1);
  EXPECT_EQ(readFile(folder / "CHECK.JSON"), "old");
  EXPECT_EQ(check(folder, {"-j", "CHECK.JSON", "--force"}).status, 3);
  EXPECT_EQ(readFile(folder / "CHECK.JSON"), json);
}

TEST(CheckCommand, VarianceFactorStrictnessAndWrongValues) {
  const ScratchFolder folder("check-options");
  // Sigmas four times as large in variance halve what the loop's T means: not flagged.
  const ProgramRun loose = check(folder, {"--variance-factor", "4"});
  EXPECT_EQ(loose.status, 0) << loose.out;
  EXPECT_TRUE(has(loose.out, "Result: nothing flagged"));
  // The float and low-ratio reports count with --strict only.
  EXPECT_EQ(check(folder, {"--variance-factor=4", "--strict"}).status, 3);
  // --top cuts the list of reports to look at first, and says so.
  const ProgramRun top = check(folder, {"--top", "1"});
  EXPECT_TRUE(has(top.out, "AB082201.017  SAUL  CHAU  float;")) << top.out;
  EXPECT_FALSE(has(top.out, "AB082102.017  CAST  CHAU  on 1"));
  EXPECT_TRUE(has(top.out, "    and 2 more reports (--top 1)\n"));

  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"--alpha", "0"}, {"--alpha", "0.7"}, {"--variance-factor", "0"},
        {"--tolerance-mm", "-1"}, {"--max-sigma3d", "x"}, {"--top", "0"}, {"--bogus"}}) {
    const ProgramRun run = check(folder, wrong);
    EXPECT_EQ(run.status, 2) << wrong[0];
    EXPECT_TRUE(has(run.err, "Try 'baselines check --help'.")) << run.err;
  }
  EXPECT_EQ(folder.run("baselines", "", {"check"}).status, 2);
}

TEST(CheckCommand, AReportWithoutMark1IsNamedAndLeftOut) {
  const ScratchFolder folder("check-incomplete");
  const std::string source = std::string(VELK_SOURCE_DIR) + "/examples/";
  std::string text = readFile(source + "AB082101.017");
  // Both sections' mark 1 lines lose their label.
  for (std::size_t at; (at = text.find(" Mark1_xyz :")) != std::string::npos;)
    text.replace(at, 12, " Nothing   :");
  writeFile(folder / "AB082101.017", text);
  const ProgramRun run =
      folder.run("baselines", "", {"check", "AB082101.017", source + "AB082102.017"});
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.err,
            "baselines: AB082101.017 line 1: no mark 1; left out of the checks\n"
            "baselines: 0 of 2 O-files passed over, 1 report incomplete\n");
  EXPECT_TRUE(has(run.out, "incomplete:mark1\n"));
  EXPECT_TRUE(has(run.out, "Stations: 2, flagged 0"));  // CAST and CHAU of the other report
}

}  // namespace
}  // namespace velk

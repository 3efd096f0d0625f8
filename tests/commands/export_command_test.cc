// `baselines export` through the real program: what it refuses, with which status, and
// that a refused or failed run leaves no file.

#include <gtest/gtest.h>

#include "tests/run/program_runner.h"

namespace velk {
namespace {

using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;

// The example campaign's O-files in a scratch folder.
class ExportCommand : public ::testing::Test {
 protected:
  ExportCommand() : folder_("export") {
    for (const char* name : {"AB082101.017", "AB082102.017", "AB082103.017", "AB082201.017",
                             "AB082202.017"})
      std::filesystem::copy_file(std::filesystem::path(VELK_SOURCE_DIR) / "examples" / name,
                                 folder_ / name);
  }
  ProgramRun run(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), "export");
    return folder_.run("baselines", "", arguments);
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(folder_ / name); }

  ScratchFolder folder_;
};

TEST_F(ExportCommand, AWrongCommandLineIsAUsageErrorAndWritesNothing) {
  const std::vector<std::vector<std::string>> wrong{
      {"dynaml", "-o", "NET", "--frame", "ETRS89", "AB082101.017"},
      {"dynaml", "-o", "NET", "--epoch", "2017-02-30", "AB082101.017"},
      {"dynaml", "-o", "-", "AB082101.017"},
      {"dynaml", "-o", "NET", "--hold", "CAST,NONE", "AB082101.017"},
      {"dynaml", "-o", "NET", "--variance-factor", "0", "AB082101.017"},
      {"dynaml", "-o", "NET", "--variance-factor", "1e7", "AB082101.017"},
      {"gama", "-o", "NET", "--frame", "GDA2020", "AB082101.017"},
      {"xml", "-o", "NET", "AB082101.017"},
      {"-o", "NET"},
      {"dynaml", "AB082101.017"},
  };
  for (const std::vector<std::string>& arguments : wrong) {
    const ProgramRun refused = run(arguments);
    EXPECT_EQ(refused.status, 2) << arguments[0] << " " << refused.err;
    EXPECT_NE(refused.err.find("Try 'baselines export --help'."), std::string::npos);
  }
  EXPECT_NE(run(wrong[0]).err.find("it accepts AGD66, AGD84, GDA94, GDA2020"), std::string::npos);
  EXPECT_FALSE(exists("NET.stn.xml") || exists("NET.msr.xml") || exists("NET"));
}

TEST_F(ExportCommand, FailsWithoutAFileWhenAPartFloatsOrNothingIsLeftOrAFileExists) {
  // CAST-CHAU and SAUL-VERC share no station: the second part holds none.
  const ProgramRun floating = run({"dynaml", "-o", "NET", "AB082102.017", "AB082202.017"});
  EXPECT_EQ(floating.status, 1);
  EXPECT_NE(floating.err.find(": SAUL, VERC\n"), std::string::npos) << floating.err;
  EXPECT_EQ(run({"gama", "-o", "NET.xml", "--fixed-only", "AB082201.017"}).status, 1);
  EXPECT_FALSE(exists("NET.stn.xml") || exists("NET.msr.xml") || exists("NET.xml"));

  const std::vector<std::string> both{"dynaml", "-o", "NET", "--hold", "CAST,SAUL",
                                      "AB082102.017", "AB082202.017"};
  ASSERT_EQ(run(both).status, 0);
  const std::string stations = readFile(folder_ / "NET.stn.xml");
  std::filesystem::remove(folder_ / "NET.stn.xml");
  // The measurement file is in the way: the station file made first goes again.
  EXPECT_EQ(run(both).status, 1);
  EXPECT_FALSE(exists("NET.stn.xml"));
  std::vector<std::string> forced = both;
  forced.insert(forced.end(), {"--force", "--frame", "GDA2020", "AB082101.017"});
  EXPECT_EQ(run(forced).status, 0);
  EXPECT_NE(readFile(folder_ / "NET.stn.xml"), stations);
  EXPECT_NE(readFile(folder_ / "NET.msr.xml").find("<ReferenceFrame>GDA2020<"), std::string::npos);
}

}  // namespace
}  // namespace velk

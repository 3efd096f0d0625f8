// Whole runs of both programs over the example campaign, for every output type, compared
// byte for byte with files checked column by column against the record layouts.
// VELK_UPDATE_GOLDEN=1 rewrites the reference files instead (review the diff!).

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/run/program_runner.h"

namespace velk {
namespace {

using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

const std::filesystem::path kGolden = std::filesystem::path(VELK_SOURCE_DIR) / "tests/run/golden";
const std::filesystem::path kExamples = std::filesystem::path(VELK_SOURCE_DIR) / "examples";
// Characters 7 and 8 of this name are quelmar's file-name code, GH.
const std::string kOutputName = "ABCDEFGH.LOG";

struct Conversion {
  std::string console;
  std::string file;
  int status;
};

Conversion convertExamples(const std::string& program, int type) {
  ScratchFolder folder(program + std::to_string(type));
  for (const auto& entry : std::filesystem::directory_iterator(kExamples))
    std::filesystem::copy(entry.path(), folder / entry.path().filename().string());
  const ProgramRun run =
      folder.run(program, std::to_string(type) + "\n" + kOutputName + "\nCAMPAGNE.LST\n");
  return {run.out, readFile(folder / kOutputName), run.status};
}

void expectMatchesGolden(const std::string& actual, const std::string& name) {
  const std::filesystem::path path = kGolden / name;
  const char* update = std::getenv("VELK_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::filesystem::create_directories(kGolden);
    writeFile(path, actual);
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(path)) << path;
  EXPECT_EQ(actual, readFile(path)) << "differs from " << path;
}

class CampaignRun : public ::testing::TestWithParam<std::tuple<std::string, int>> {};

TEST_P(CampaignRun, WritesTheReferenceFile) {
  const auto& [program, type] = GetParam();
  const Conversion run = convertExamples(program, type);
  ASSERT_EQ(run.status, 0);
  expectMatchesGolden(run.file, program + "-" + std::to_string(type) + ".txt");
}

INSTANTIATE_TEST_SUITE_P(EveryOutputType, CampaignRun,
                         ::testing::Combine(::testing::Values("quelmar", "novrale"),
                                            ::testing::Range(0, 7)),
                         [](const auto& info) {
                           return std::get<0>(info.param) + "_type" +
                                  std::to_string(std::get<1>(info.param));
                         });

TEST(CampaignConsole, EchoesTheReadingOfEveryReport) {
  // The console differs between types only in the title and the LOG headers.
  expectMatchesGolden(convertExamples("quelmar", 0).console, "quelmar-0.console");
  expectMatchesGolden(convertExamples("novrale", 0).console, "novrale-0.console");
  expectMatchesGolden(convertExamples("novrale", 5).console, "novrale-5.console");
}

TEST(CampaignOutputType, ValuesOutsideTheMenuWriteRattData) {
  for (const std::string program : {"quelmar", "novrale"}) {
    const std::string rattData = convertExamples(program, 0).file;
    EXPECT_EQ(convertExamples(program, 9).file, rattData);
    EXPECT_EQ(convertExamples(program, -3).file, rattData);
  }
}

}  // namespace
}  // namespace velk

// `baselines velk` against the dialog programs: the same reports, the same file, byte for
// byte, and with --echo the same console lines.

#include <gtest/gtest.h>

#include <sstream>

#include "tests/run/program_runner.h"
#include "tools/synthetic_campaign.h"

namespace velk {
namespace {

using campaign::CampaignOptions;
using campaign::LineEnds;
using campaign::RatioLines;
using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

// Characters 7 and 8 are quelmar's file-name code.
const std::string kOutputName = "SESS9901.LOG";

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// The dialog's console from the first O-file's name (the line after the list file's
// echo) to the end of the writing phase, its notices left out.
std::vector<std::string> dialogReadingAndWriting(const std::string& console) {
  std::vector<std::string> all = lines(console);
  const auto list_echo = std::find(all.begin(), all.end(), "ISTE.LST   ");
  const auto end = std::find(all.begin(), all.end(), " -- FIN --");
  EXPECT_NE(list_echo, all.end());
  std::vector<std::string> kept;
  for (auto line = list_echo + 1; line < end; ++line)
    if (!line->starts_with(" -> Attention :")) kept.push_back(*line);
  return kept;
}

// A campaign in the folder camp/ with its list LISTE.LST, one missing O-file listed in
// its middle.
void writeCampaign(const ScratchFolder& folder, const CampaignOptions& options) {
  std::filesystem::create_directories(folder / "camp");
  std::vector<std::string> names;
  int float_only = 0, correlated = 0;
  campaign::generateCampaign(options, [&](const campaign::GeneratedReport& report) {
    writeFile(folder / ("camp/" + report.name), report.text);
    names.push_back(report.name);
    float_only += report.text.find("THE FIXED") == std::string::npos;
    correlated += report.text.find("\ny ") != std::string::npos;
  });
  // The campaign has what the comparison must cover.
  EXPECT_GT(float_only, 0);
  EXPECT_GT(correlated, 0);
  EXPECT_LT(correlated, options.reports);
  names.insert(names.begin() + static_cast<std::ptrdiff_t>(names.size() / 2), "MISSING.017");
  writeFile(folder / "camp/LISTE.LST", campaign::listFileText(names, options.line_ends));
}

struct CampaignCase {
  const char* name;
  LineEnds line_ends;
  RatioLines ratio_lines;
};

class VelkLikeTheDialog : public ::testing::TestWithParam<CampaignCase> {};

TEST_P(VelkLikeTheDialog, WritesTheDialogsFileAndEchoesItsConsole) {
  const CampaignCase& param = GetParam();
  ScratchFolder folder(std::string("velk-") + param.name);
  writeCampaign(folder, {.reports = 10, .seed = 7, .line_ends = param.line_ends,
                         .ratio_lines = param.ratio_lines});
  std::filesystem::create_directories(folder / "out");
  for (const std::string edition : {"quelmar", "novrale"}) {
    for (const int type : {0, 1, 2, 3, 4, 5, 6, 9}) {
      SCOPED_TRACE(edition + " type " + std::to_string(type));
      std::filesystem::remove(folder / ("camp/" + kOutputName));
      std::filesystem::remove(folder / ("out/" + kOutputName));
      const ProgramRun dialog = ScratchFolder::runIn(
          folder / "camp", edition, std::to_string(type) + "\n" + kOutputName + "\nLISTE.LST\n");
      ASSERT_EQ(dialog.status, 0) << dialog.err;
      const std::vector<std::string> arguments{
          "velk", "--echo", "--list", "camp/LISTE.LST", "-e", edition,
          "--type=" + std::to_string(type), "-o", "out/" + kOutputName};
      const ProgramRun velk = folder.run("baselines", "", arguments);
      ASSERT_EQ(velk.status, 4) << velk.err;  // the missing O-file was passed over
      const std::string expected = readFile(folder / ("camp/" + kOutputName));
      EXPECT_EQ(readFile(folder / ("out/" + kOutputName)), expected);
      EXPECT_GT(lines(velk.out).size(), 20u);
      EXPECT_EQ(lines(velk.out), dialogReadingAndWriting(dialog.out));
      EXPECT_EQ(velk.err,
                "baselines: cannot open O-file camp/MISSING.017: No such file or directory\n"
                "baselines: 1 of 11 O-files passed over\n");

      std::vector<std::string> forced = arguments;
      forced.erase(forced.begin() + 1);  // no --echo: nothing on standard output
      forced.push_back("--force");
      const ProgramRun again = folder.run("baselines", "", forced);
      EXPECT_EQ(again.status, 4) << again.err;
      EXPECT_EQ(again.out, "");
      EXPECT_EQ(readFile(folder / ("out/" + kOutputName)), expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Campaigns, VelkLikeTheDialog,
    ::testing::Values(CampaignCase{"dos_both", LineEnds::kDos, RatioLines::kBoth},
                      CampaignCase{"unix_quelmar", LineEnds::kUnix, RatioLines::kQuelmar},
                      CampaignCase{"dos_novrale", LineEnds::kDos, RatioLines::kNovrale}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velk

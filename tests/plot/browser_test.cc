// The pictures of the example campaign as a person sees them: rendered by a real browser
// (headless Chromium) to PNG, then measured. Without a browser the test is skipped, except
// under CI (CI=true), where a missing browser fails it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "plot/text_metrics.h"
#include "tests/plot/browser.h"
#include "tools/synthetic_network.h"

namespace velk {
namespace {

namespace fs = std::filesystem;
using testing::Measurements;
using testing::RenderedPicture;
using testing::ScratchFolder;

const std::string kExamples = std::string(VELK_SOURCE_DIR) + "/examples";

void run(const ScratchFolder& folder, const std::vector<std::string>& arguments) {
  const testing::ProgramRun result = folder.run("baselines", "", arguments);
  ASSERT_EQ(result.status, 0) << result.err;
}

// The first picture in `folder` whose name starts with `prefix`.
fs::path firstStartingWith(const fs::path& folder, const std::string& prefix) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().starts_with(prefix)) found.push_back(entry.path());
  std::sort(found.begin(), found.end());
  return found.empty() ? folder / (prefix + "(none)") : found.front();
}

// The example campaign's network, and a small monitoring network (the example campaign
// measures no pair twice): the series of one pair and its novrale LOG gpps file drawn per
// baseline.
std::vector<RenderedPicture> makePictures(const ScratchFolder& folder) {
  const std::string list = kExamples + "/CAMPAGNE.LST";
  run(folder, {"plot", "network", "-l", list, "-o", "network.svg"});
  campaign::NetworkOptions options;
  options.stations = 3;
  options.measurements = campaign::measureEach(campaign::ringPairs(3), 8);
  options.seed = 4;
  campaign::writeNetwork(options, folder / "monitoring");
  run(folder, {"velk", "-e", "novrale", "-t", "4", "-o", "GPPS.LOG", "-l", "monitoring/NETWORK.LST"});
  run(folder, {"plot", "series", "--log", "GPPS.LOG", "-d", "log"});
  run(folder, {"plot", "series", "-l", "monitoring/NETWORK.LST", "-d", "series", "--pair", "S001,S002"});
  return {{"network", folder / "network.svg", folder / "network.png"},
          {"log-s001", firstStartingWith(folder / "log", "GPPS.LOG-S001-"), folder / "log-s001.png"},
          {"series", folder / "series/S001-S002.svg", folder / "series.png"}};
}

TEST(PicturesInABrowser, AreNeitherBlankNorCutOffAndTheirLabelsDoNotOverlap) {
  const std::optional<std::string> browser = testing::findChromium();
  if (!browser) {
    if (testing::underCi()) FAIL() << "no chromium: .ci/run installs it";
    GTEST_SKIP() << "no chromium on the PATH (set VELK_CHROMIUM to use another)";
  }
  const ScratchFolder folder("plot-browser");
  const std::vector<RenderedPicture> pictures = makePictures(folder);
  const Measurements measured =
      testing::renderAndMeasure(*browser, folder, pictures, std::string(plot::kFontFamily));
  ASSERT_FALSE(measured.lines.empty()) << "the measuring page gave nothing";

  for (const RenderedPicture& picture : pictures) {
    SCOPED_TRACE(picture.name);
    const auto extent = measured.find("extent", picture.name);
    const auto png = measured.find("png", picture.name);
    ASSERT_TRUE(extent && png);
    const double width = (*extent)[4], height = (*extent)[5];
    // The PNG is the page, the picture's own size.
    EXPECT_EQ((*png)[0], std::ceil(width));
    EXPECT_EQ((*png)[1], std::ceil(height));
    // Not cut off: everything drawn lies inside the page, and nothing touches its edge.
    EXPECT_GE((*extent)[0], 0);
    EXPECT_GE((*extent)[1], 0);
    EXPECT_LE((*extent)[2], width);
    EXPECT_LE((*extent)[3], height);
    EXPECT_EQ((*png)[3], 0) << "non-white pixels on the picture's outermost frame";
    // Not blank.
    EXPECT_GT((*png)[2], 0.02 * width * height);
    // The labels as the browser lays them out, in its own font, do not overlap.
    const auto labels = measured.find("labels", picture.name);
    ASSERT_TRUE(labels);
    EXPECT_EQ((*labels)[1], 0);
  }
  EXPECT_EQ((*measured.find("labels", "network"))[0], 4);
  EXPECT_GT((*measured.find("marks", "network", {"map"}))[0], 100);
  for (const char* picture : {"log-s001", "series"})
    for (const char* panel : {"panel-1", "panel-2", "panel-3", "panel-4"})
      EXPECT_GT((*measured.find("marks", picture, {panel}))[0], 30) << picture << " " << panel;

  // The text metrics are never narrower than the font the browser chose.
  for (const auto& line : measured.lines) {
    if (line[0] != "glyph") continue;
    const bool bold = line[1] == "bold";
    const std::string character(1, static_cast<char>(std::stoi(line[2])));
    EXPECT_LE(std::stod(line[3]), plot::textWidth(character, 100, bold) + 0.5)
        << "'" << character << "'" << (bold ? " bold" : "");
  }
}

}  // namespace
}  // namespace velk

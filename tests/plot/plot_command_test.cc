// `baselines plot` through the real program: the jump of a generated series seen in dN, the
// network of the example campaign, LOG files of both editions, and the folder of pictures
// written all together or not at all.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "tests/plot/xml_tree.h"
#include "tests/run/program_runner.h"
#include "tools/synthetic_network.h"

namespace velk {
namespace {

namespace fs = std::filesystem;
using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;
using testing::XmlElement;
using testing::XmlReader;

const std::string kExamples = std::string(VELK_SOURCE_DIR) + "/examples";

std::unique_ptr<XmlElement> parsedFile(const fs::path& path) { return XmlReader::parse(readFile(path)); }

// The values (mm) of a panel's markers in time order, read back from the picture through
// the panel's own tick labels.
std::vector<double> panelValues(const XmlElement& svg, int panel) {
  const XmlElement* group = svg.withId("panel-" + std::to_string(panel));
  std::vector<std::pair<double, double>> ticks;  // (y px, value)
  for (const XmlElement* label : group->all("text"))
    if (!label->attributes.count("transform"))
      ticks.emplace_back(label->number("y") - 11 * 0.35, std::stod(label->text));
  const double mm_per_px = (ticks.back().second - ticks.front().second) / (ticks.back().first - ticks.front().first);
  std::vector<std::pair<double, double>> markers;  // (x, value)
  for (const XmlElement* circle : group->all("circle"))
    markers.emplace_back(circle->number("cx"),
                         ticks.front().second + (circle->number("cy") - ticks.front().first) * mm_per_px);
  std::sort(markers.begin(), markers.end());
  std::vector<double> values;
  for (const auto& marker : markers) values.push_back(marker.second);
  return values;
}

double median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
  return values[values.size() / 2];
}

TEST(PlotSeries, AThreeCentimetreJumpNorthHalfwayShowsPlainlyInDN) {
  const ScratchFolder folder("plot-jump");
  campaign::NetworkOptions options;
  options.stations = 2;
  options.measurements = campaign::measureEach({{0, 1}}, 500);
  options.seed = 17;
  options.error = campaign::errorAlong(options, 250, campaign::Axis::kNorth, 0.03);
  options.error_persists = true;
  campaign::writeNetwork(options, folder / "camp");

  const ProgramRun run = folder.run("baselines", "", {"plot", "series", "--list", "camp/NETWORK.LST", "-d", "out"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "out/S001-S002.svg\nout/index.html\n");
  const auto svg = parsedFile(folder / "out/S001-S002.svg");
  EXPECT_TRUE(svg->all("title").front()->text.starts_with("S001 \u2192 S002: 500 reports;"));
  for (int panel = 1; panel <= 4; ++panel) {
    const std::vector<double> values = panelValues(*svg, panel);
    ASSERT_EQ(values.size(), 500u);
    const std::vector<double> before(values.begin(), values.begin() + 250), after(values.begin() + 250, values.end());
    const double step = median(after) - median(before);
    if (panel == 2) {
      EXPECT_NEAR(step, 30, 1.5);
      // Plainly: the two halves do not mix.
      EXPECT_LT(*std::max_element(before.begin(), before.end()), *std::min_element(after.begin(), after.end()));
    } else if (panel != 4) {
      EXPECT_LT(std::abs(step), 1.5) << "panel " << panel;
    }
  }
  const std::string index = readFile(folder / "out/index.html");
  EXPECT_NE(index.find("<img src=\"S001-S002.svg\""), std::string::npos);
  EXPECT_EQ(index.find("<script"), std::string::npos);
}

TEST(PlotSeries, WritesThePicturesAndTheIndexAllTogetherOrNotAtAll) {
  const ScratchFolder folder("plot-folder");
  campaign::NetworkOptions options;
  options.stations = 3;
  options.measurements = campaign::measureEach(campaign::ringPairs(3), 3);
  campaign::writeNetwork(options, folder / "camp");
  fs::create_directories(folder / "out");
  testing::writeFile(folder / "out/index.html", "kept");
  const std::vector<std::string> command{"plot", "series", "--list", "camp/NETWORK.LST", "-d", "out"};
  const ProgramRun refused = folder.run("baselines", "", command);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("out/index.html exists; --force replaces it"), std::string::npos) << refused.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "out"), fs::directory_iterator()), 1);
  EXPECT_EQ(readFile(folder / "out/index.html"), "kept");

  std::vector<std::string> forced = command;
  forced.push_back("--force");
  ASSERT_EQ(folder.run("baselines", "", forced).status, 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "out"), fs::directory_iterator()), 4);
  for (const char* name : {"S001-S002.svg", "S002-S003.svg", "S003-S001.svg"})
    EXPECT_NO_THROW(parsedFile(folder / "out" / name)) << name;

  std::vector<std::string> one{"plot", "series", "--list", "camp/NETWORK.LST", "-d", "one", "--pair", "S002,S001"};
  const ProgramRun chosen = folder.run("baselines", "", one);
  EXPECT_EQ(chosen.out, "one/S001-S002.svg\none/index.html\n") << chosen.err;
  one.back() = "S001,S009";
  EXPECT_EQ(folder.run("baselines", "", one).status, 1);
}

// Float reports of a pair with fixed ones are drawn against the fixed mean, in the
// float marker; a pair of one fixed report and floats has its picture too.
TEST(PlotSeries, DrawsFloatReportsAgainstTheFixedMean) {
  const ScratchFolder folder("plot-floats");
  campaign::NetworkOptions options;
  options.stations = 2;
  options.measurements = campaign::measureEach({{0, 1}}, 8);
  options.float_fraction = 0.5;
  campaign::writeNetwork(options, folder / "camp");
  const ProgramRun run =
      folder.run("baselines", "", {"plot", "series", "--list", "camp/NETWORK.LST", "-d", "out"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string svg = readFile(folder / "out/S001-S002.svg");
  EXPECT_NE(svg.find("S001 \u2192 S002: 8 reports"), std::string::npos);
  const auto picture = parsedFile(folder / "out/S001-S002.svg");
  EXPECT_EQ(panelValues(*picture, 1).size(), 4u);  // the fixed reports' dots
  int float_points = 0;
  for (const XmlElement* title : picture->all("title"))
    if (title->text.find("(GPS time), float") != std::string::npos) ++float_points;
  EXPECT_EQ(float_points, 4 * 4);  // four float reports in each of the four panels
}

// With the analysis of `baselines series`: the model over the points, its one step where
// the mark moved, the thresholds and the status.
TEST(PlotSeries, DrawsTheFittedModelItsStepAndTheThresholds) {
  const ScratchFolder folder("plot-model");
  campaign::NetworkOptions options;
  options.stations = 2;
  options.measurements = campaign::measureEach({{0, 1}}, 60);
  options.seed = 3;
  options.error = campaign::errorAlong(options, 30, campaign::Axis::kNorth, 0.015);
  options.error_persists = true;
  campaign::writeNetwork(options, folder / "camp");
  const ProgramRun run = folder.run("baselines", "", {"plot", "series", "--list", "camp/NETWORK.LST",
                                                      "-d", "out", "--warn", "north=10"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto svg = parsedFile(folder / "out/S001-S002.svg");
  const XmlElement* panel = svg->withId("panel-2");
  ASSERT_NE(panel, nullptr);
  std::vector<std::string> labels;
  for (const XmlElement* text : svg->withId("panel-1")->all("text")) labels.push_back(text->text);
  const auto step = std::find_if(labels.begin(), labels.end(),
                                 [](const std::string& l) { return l.ends_with(" mm"); });
  ASSERT_NE(step, labels.end());
  EXPECT_NEAR(std::stod(*step), 15, 1.5);
  int dashed_levels = 0;
  for (const XmlElement* line : panel->all("line"))
    if (line->attributes.count("stroke-dasharray") && line->attributes.at("stroke-dasharray") == "6 3")
      ++dashed_levels;
  EXPECT_EQ(dashed_levels, 2);  // north ± 10 mm about the reference
  EXPECT_NE(svg->withId("status")->all("text").front()->text.find("status: warning (north 1"),
            std::string::npos);
  EXPECT_NE(svg->all("title").front()->text.find("; velocity E "), std::string::npos);
  EXPECT_EQ(folder.run("baselines", "", {"plot", "network", "--list", "camp/NETWORK.LST", "-o",
                                         "n.svg", "--warn", "2d=5"}).status, 2);
}

TEST(PlotNetwork, DrawsTheExampleCampaignWithTheChecksFindings) {
  const ScratchFolder folder("plot-network");
  const ProgramRun run = folder.run("baselines", "", {"plot", "network", "--list", kExamples + "/CAMPAGNE.LST", "-o", "net.svg"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto svg = parsedFile(folder / "net.svg");
  EXPECT_EQ(svg->all("title").front()->text, "Network: 5 reports, 4 stations, 5 pairs, 2 loops (1 flagged)");
  EXPECT_EQ(svg->withId("labels")->all("text").size(), 4u);
  EXPECT_EQ(svg->withId("pairs")->all("line").size(), 5u);
  // The loop CAST-SAUL-CHAU misses by centimetres: its three pairs are suspects, SAUL-CHAU
  // float only among them; CAST-VERC's ratio is low (flagged); SAUL-VERC is fine.
  const auto legend = svg->withId("legend")->all("text");
  EXPECT_EQ(legend[1]->text, "suspect (3)");
  EXPECT_EQ(legend[2]->text, "flagged (1)");
  EXPECT_EQ(legend[3]->text, "fine (1)");
  EXPECT_EQ(legend[5]->text, "float only (1)");
  // The limits of `check` apply: with a lower ratio limit CAST-VERC is fixed again.
  const ProgramRun lenient = folder.run("baselines", "", {"plot", "network", "--list", kExamples + "/CAMPAGNE.LST", "-o", "n2.svg", "--min-ratio", "2"});
  ASSERT_EQ(lenient.status, 0) << lenient.err;
  EXPECT_EQ(parsedFile(folder / "n2.svg")->withId("legend")->all("text")[3]->text, "fine (2)");
}

// Three pairs each measured three times: one picture per baseline, whichever edition wrote
// the LOG file; the example campaign's five baselines, each measured once, are listed only.
TEST(PlotSeries, DrawsOnePicturePerBaselineOfALogFile) {
  const ScratchFolder folder("plot-log");
  campaign::NetworkOptions options;
  options.stations = 3;
  options.measurements = campaign::measureEach(campaign::ringPairs(3), 3);
  campaign::writeNetwork(options, folder / "camp");
  auto velk = [&](const char* edition, const char* type, const char* log, const std::string& list) {
    return folder.run("baselines", "", {"velk", "-e", edition, "-t", type, "-o", log, "-l", list});
  };
  ASSERT_EQ(velk("quelmar", "5", "Q5.LOG", "camp/NETWORK.LST").status, 0);
  ASSERT_EQ(velk("novrale", "4", "GPPS.LOG", "camp/NETWORK.LST").status, 0);
  const ProgramRun run =
      folder.run("baselines", "", {"plot", "series", "--log", "Q5.LOG", "GPPS.LOG", "-d", "out"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::regex written(R"(out/(Q5\.LOG-\d+\.\dm|GPPS\.LOG-S00[123]-\d+\.\dm)\.svg\n)");
  std::vector<std::string> pictures;
  for (std::sregex_iterator i(run.out.begin(), run.out.end(), written), end; i != end; ++i)
    pictures.push_back((*i)[1]);
  ASSERT_EQ(pictures.size(), 6u) << run.out;
  EXPECT_TRUE(run.out.ends_with("out/index.html\n"));
  for (const std::string& picture : pictures) {
    const auto svg = parsedFile(folder / "out" / (picture + ".svg"));
    EXPECT_EQ(svg->withId("panel-1")->all("circle").size(), 3u) << picture;
    EXPECT_EQ(svg->withId("panel-3")->all("text").back()->text, "dU (mm)");
    EXPECT_TRUE(svg->withId("panel-2")->all("title").front()->text.starts_with(
        picture.substr(0, picture.find(".LOG") + 4) + " line "));
  }

  ASSERT_EQ(velk("quelmar", "5", "EX.LOG", kExamples + "/CAMPAGNE.LST").status, 0);
  const ProgramRun single =
      folder.run("baselines", "", {"plot", "series", "--log", "EX.LOG", "-d", "ex"});
  ASSERT_EQ(single.status, 0) << single.err;
  EXPECT_EQ(single.out, "ex/index.html\n");
  const std::string index = readFile(folder / "ex/index.html");
  EXPECT_NE(index.find("<p>1 record (1 float): EX.LOG line 4, not drawn</p>"), std::string::npos)
      << index;

  std::string damaged = readFile(folder / "GPPS.LOG");
  damaged.replace(damaged.find('\n') + 1, 4, "20x7");  // the year of line 2
  testing::writeFile(folder / "BAD.LOG", damaged);
  const ProgramRun bad =
      folder.run("baselines", "", {"plot", "series", "--log", "GPPS.LOG", "BAD.LOG", "-d", "bad"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("BAD.LOG line 2: the year does not read"), std::string::npos) << bad.err;
  EXPECT_FALSE(fs::exists(folder / "bad" / (pictures[3] + ".svg")));
}

TEST(PlotCommandLine, RefusesWhatItCannotDraw) {
  const ScratchFolder folder("plot-usage");
  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"plot"}, {"plot", "map", "-o", "x.svg"}, {"plot", "network", "-d", "x"},
        {"plot", "series", "-o", "x.svg"}, {"plot", "series", "-d", "x", "--components", "enu"},
        {"plot", "network"}, {"plot", "network", "-o", "x.svg"},
        {"plot", "series", "--log", "-d", "x", "--components", "neu", "A.LOG"},
        {"plot", "series", "-d", "x", "--same-baseline-m", "2", "A.017"},
        {"plot", "series", "--log", "-d", "x", "--same-baseline-m", "0", "A.LOG"}}) {
    const ProgramRun run = folder.run("baselines", "", wrong);
    EXPECT_EQ(run.status, 2) << wrong[1] << " " << run.err;
    EXPECT_NE(run.err.find("Try 'baselines plot --help'."), std::string::npos);
  }
}

}  // namespace
}  // namespace velk

// The series picture: a band that one blunder cannot widen, flagged reports told apart,
// every point titled, and error bars cut by the panel ending in arrows.

#include "plot/series_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "plot/index_page.h"
#include "tests/plot/xml_tree.h"

namespace velk::plot {
namespace {

using testing::XmlElement;
using testing::XmlReader;

// 40 daily samples of noise of 1 mm, the 20th a blunder of 60 mm (flagged), the 30th float
// with a sigma of 500 mm.
SeriesDrawing drawingWithABlunder() {
  SeriesDrawing drawing;
  drawing.name = "A \u2192 B";
  drawing.components = {"dE", "dN", "dU", "d(length)"};
  std::mt19937 random(3);
  std::normal_distribution<double> noise(0, 1);
  for (int i = 0; i < 40; ++i) {
    SeriesSample sample;
    sample.time = 58000 + i + 0.5;
    sample.source = "NT" + std::to_string(100 + i) + "101.019";
    for (std::size_t c = 0; c < 4; ++c) {
      sample.value[c] = noise(random);
      sample.sigma[c] = 0.8;
    }
    if (i == 19) {
      sample.value[0] = 60;
      sample.flags = "low_ratio";
    }
    if (i == 29) {
      sample.fixed = false;
      sample.sigma[0] = 500;
    }
    drawing.samples.push_back(sample);
  }
  return drawing;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

TEST(SeriesPicture, RobustSigmaIsTheScaledMedianAbsoluteDeviationFlooredAtTheMedianSigma) {
  const std::vector<double> deviations{1, -1, 2, -2, 100, 3}, small{0.1, 0.1, 0.1, 0.1, 0.1, 0.1};
  EXPECT_DOUBLE_EQ(robustSigma(deviations, small), 1.4826 * 2);  // |d| sorted: 1 1 2 2 3 100
  const std::vector<double> large{4, 4, 5, 6, 6, 9};
  EXPECT_DOUBLE_EQ(robustSigma(deviations, large), 5.5);
  EXPECT_EQ(robustSigma({}, {}), 0);
}

TEST(SeriesPicture, ABlunderNeitherWidensTheBandNorHidesAndEveryPointIsTitled) {
  const SeriesDrawing drawing = drawingWithABlunder();
  const auto svg = XmlReader::parse(drawSeries(drawing).svg);
  const XmlElement* panel = svg->withId("panel-1");

  // The band's height in mm, through the panel's own tick labels.
  std::vector<std::pair<double, double>> ticks;  // (y px, value)
  for (const XmlElement* label : panel->all("text"))
    if (!label->attributes.count("transform"))
      ticks.emplace_back(label->number("y"), std::stod(label->text));
  const double mm_per_px =
      (ticks.back().second - ticks.front().second) / (ticks.back().first - ticks.front().first);
  const auto rects = panel->all("rect");
  const auto band = std::find_if(rects.begin(), rects.end(), [](const XmlElement* r) {
    return r->attributes.count("fill-opacity") != 0;
  });
  ASSERT_NE(band, rects.end());
  std::vector<double> values, sigmas;
  for (const SeriesSample& sample : drawing.samples) {
    values.push_back(std::abs(sample.value[0]));
    sigmas.push_back(sample.sigma[0]);
  }
  const double expected = 3 * std::max(1.4826 * median(values), median(sigmas));
  EXPECT_NEAR((*band)->number("height") * std::abs(mm_per_px), 2 * expected, 0.05);
  EXPECT_LT(expected, 6) << "the 60 mm blunder stays outside the band";

  // One diamond, the flagged report, titled with its file, time and flag.
  const auto groups = panel->all("g");
  ASSERT_EQ(groups.size(), 40u);
  int diamonds = 0;
  for (const XmlElement* group : groups) {
    const auto titles = group->all("title");
    ASSERT_EQ(titles.size(), 1u);
    const bool diamond = !group->all("polygon").empty();
    diamonds += diamond;
    EXPECT_EQ(diamond, titles[0]->text.find("flagged: low_ratio") != std::string::npos);
  }
  EXPECT_EQ(diamonds, 1);
  EXPECT_EQ(groups.back()->all("title")[0]->text.rfind(
                "NT119101.019, 2017-09-23 12:00 (GPS time), fixed: dE +60.0 \u00b1 0.8, dN", 0),
            0u)
      << groups.back()->all("title")[0]->text;

  // The float sample's error bar leaves the panel both ways: two arrows, at its edges.
  const XmlElement* area = rects.front();
  std::vector<double> tips;
  for (const XmlElement* polygon : panel->all("polygon")) {
    const std::string& points = polygon->attributes.at("points");
    if (std::count(points.begin(), points.end(), ' ') != 2) continue;  // the diamond has four
    tips.push_back(std::stod(points.substr(points.find(',') + 1)));
  }
  ASSERT_EQ(tips.size(), 2u);
  EXPECT_DOUBLE_EQ(std::min(tips[0], tips[1]), area->number("y"));
  EXPECT_DOUBLE_EQ(std::max(tips[0], tips[1]), area->number("y") + area->number("height"));
}

// Flagged series first, each with its counts, weighted RMS and flags; a single record listed.
TEST(IndexPage, ListsTheFlaggedSeriesFirstWithTheirCountsRmsAndFlags) {
  NamedSeries quiet{"A-B", "A", "B", drawingWithABlunder(), {}};
  for (SeriesSample& sample : quiet.drawing.samples) sample.flags.clear();
  quiet.drawing.weighted_rms = {1.04, 2, 3, 4};
  NamedSeries loud = quiet;
  loud.flags = {"repeat flagged", "on 2 flagged loops"};
  NamedSeries single = quiet;
  single.drawing.samples.resize(1);
  single.drawing.unit = "record";
  single.drawing.samples[0].source = "Q.LOG line 7";
  EXPECT_FALSE(isFlagged(quiet));
  EXPECT_TRUE(isFlagged(loud));
  EXPECT_EQ(seriesSummary(loud),
            "40 reports (1 float); weighted RMS dE 1.0, dN 2.0, dU 3.0, d(length) 4.0 mm; flags: "
            "repeat flagged, on 2 flagged loops");
  EXPECT_EQ(seriesSummary(single), "1 record: Q.LOG line 7, not drawn");

  const std::vector<IndexEntry> entries{{"quiet", "q.svg", 9, 9, seriesSummary(quiet), false},
                                        {"single", "", 0, 0, seriesSummary(single), false},
                                        {"loud", "l.svg", 9, 9, seriesSummary(loud), true}};
  const std::string page = indexPage("T", "I", entries);
  EXPECT_LT(page.find("<h2>loud"), page.find("<h2>quiet"));
  EXPECT_LT(page.find("<h2>quiet"), page.find("<h2>single"));
  EXPECT_EQ(page.find("src=\"\""), std::string::npos) << "the single record has no picture";
}

}  // namespace
}  // namespace velk::plot

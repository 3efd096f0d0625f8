// The network picture: labels that never overlap, from 3 stations a few metres apart to 300
// stations over 500 km with close neighbours, everything inside the page, a round scale.

#include "plot/network_picture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "plot/label_placement.h"
#include "plot/svg_writer.h"
#include "plot/text_metrics.h"
#include "tests/plot/xml_tree.h"

namespace velk::plot {
namespace {

using testing::XmlElement;
using testing::XmlReader;

// 300 stations spread over 500 km by 400 km; every tenth sits 2 to 5 m from the one before,
// and three share one point.
NetworkDrawing largeNetwork() {
  NetworkDrawing drawing;
  std::mt19937 random(42);
  std::uniform_real_distribution<double> east(0, 500000), north(0, 400000), near(2, 5);
  for (int i = 0; i < 300; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "S%03d", i);
    NetworkStation station{name, east(random), north(random)};
    if (i % 10 == 1) {
      station.east = drawing.stations.back().east + near(random);
      station.north = drawing.stations.back().north - near(random);
    }
    if (i == 298 || i == 299) station = {name, drawing.stations[297].east, drawing.stations[297].north};
    drawing.stations.push_back(station);
  }
  for (int i = 1; i < 300; ++i)
    drawing.lines.push_back({i - 1, i, static_cast<PairStatus>(i % 3), i % 4 == 0});
  drawing.counts = {600, 300, 299, 12, 3};
  drawing.plane = "local East-North plane of S000";
  return drawing;
}

NetworkDrawing threeStationsAFewMetresApart() {
  NetworkDrawing drawing;
  drawing.stations = {{"CAST", 0, 0}, {"CAS2", 3.1, 1.2}, {"PILR", 1.4, 4.8}};
  drawing.lines = {{0, 1, PairStatus::kFine, false},
                   {1, 2, PairStatus::kFlagged, false},
                   {0, 2, PairStatus::kSuspect, true}};
  drawing.counts = {3, 3, 3, 1, 1};
  drawing.plane = "local East-North plane of CAST";
  return drawing;
}

// A text's box as it is drawn: from its baseline down by the descent, up by the ascent.
Box textBox(const XmlElement& text) {
  const double size = text.number("font-size");
  const double x = text.number("x"), y = text.number("y");
  const bool bold = text.attributes.count("font-weight") != 0;
  return {x, y - kAscent * size, x + textWidth(text.text, size, bold), y + kDescent * size};
}

void expectLabelsApartAndInsideThePage(const NetworkDrawing& drawing) {
  const NetworkPicture picture = drawNetwork(drawing);
  const auto svg = XmlReader::parse(picture.svg);
  const double width = svg->number("width"), height = svg->number("height");

  const auto labels = svg->withId("labels")->all("text");
  ASSERT_EQ(labels.size(), drawing.stations.size());
  std::set<std::string> names;
  std::vector<Box> boxes;
  for (const XmlElement* label : labels) {
    names.insert(label->text);
    boxes.push_back(textBox(*label));
  }
  EXPECT_EQ(names.size(), drawing.stations.size()) << "every station named once";
  for (std::size_t i = 0; i < boxes.size(); ++i)
    for (std::size_t j = i + 1; j < boxes.size(); ++j)
      ASSERT_FALSE(boxes[i].overlaps(boxes[j])) << labels[i]->text << " and " << labels[j]->text;

  // No label hides a station's marker.
  for (const XmlElement* marker : svg->withId("stations")->all("polygon")) {
    Box marker_box{1e300, 1e300, -1e300, -1e300};
    std::istringstream points(marker->attributes.at("points"));
    for (std::string point; points >> point;)
      marker_box.include(Point{std::stod(point), std::stod(point.substr(point.find(',') + 1))});
    for (std::size_t i = 0; i < boxes.size(); ++i)
      ASSERT_FALSE(boxes[i].overlaps(marker_box)) << labels[i]->text << " covers a station";
  }

  // Every text and every line inside the page.
  for (const XmlElement* text : svg->all("text")) {
    const Box box = textBox(*text);
    if (text->attributes.count("text-anchor")) continue;  // centred on their point: checked below
    EXPECT_GE(box.left, 0);
    EXPECT_LE(box.right, width) << text->text;
    EXPECT_GE(box.top, 0);
    EXPECT_LE(box.bottom, height) << text->text;
  }
  for (const XmlElement* line : svg->all("line")) {
    for (const char* x : {"x1", "x2"}) EXPECT_TRUE(line->number(x) >= 0 && line->number(x) <= width);
    for (const char* y : {"y1", "y2"}) EXPECT_TRUE(line->number(y) >= 0 && line->number(y) <= height);
  }

  // The scale bar's length is round: 1, 2 or 5 times a power of ten metres or kilometres.
  const auto scale_texts = svg->withId("scale-bar")->all("text");
  ASSERT_EQ(scale_texts.size(), 2u);
  EXPECT_TRUE(std::regex_match(scale_texts[1]->text, std::regex(R"((0\.0*)?[125]0* k?m)")))
      << scale_texts[1]->text;
}

TEST(NetworkPicture, LabelsOfThreeStationsAFewMetresApartDoNotOverlap) {
  expectLabelsApartAndInsideThePage(threeStationsAFewMetresApart());
}

TEST(NetworkPicture, LabelsOfThreeHundredStationsOverFiveHundredKilometresDoNotOverlap) {
  expectLabelsApartAndInsideThePage(largeNetwork());
}

// Colour: suspect, flagged or fine; dashes: float only. The float suspect is dashed in the
// suspect colour, and the legend counts both ways. No label crosses a line where it can
// stand clear of them.
TEST(NetworkPicture, ColourSaysTheStatusDashesSayFloatOnlyAndLabelsKeepClearOfLines) {
  const NetworkDrawing drawing = threeStationsAFewMetresApart();
  const auto svg = XmlReader::parse(drawNetwork(drawing).svg);
  const auto lines = svg->withId("pairs")->all("line");
  ASSERT_EQ(lines.size(), 3u);
  std::set<std::string> colours;
  for (const XmlElement* line : lines) colours.insert(line->attributes.at("stroke"));
  EXPECT_EQ(colours.size(), 3u) << "fine, flagged and suspect told apart";
  // The most urgent on top: the suspect pair is drawn last, dashed as it is float only.
  EXPECT_EQ(lines.back()->attributes.at("stroke-width"), "4");
  EXPECT_EQ(lines.back()->attributes.count("stroke-dasharray"), 1u);
  EXPECT_EQ(lines.front()->attributes.count("stroke-dasharray"), 0u);
  EXPECT_EQ(svg->all("title").front()->text,
            "Network: 3 reports, 3 stations, 3 pairs, 1 loop (1 flagged)");
  const auto legend = svg->withId("legend")->all("text");
  ASSERT_EQ(legend.size(), 6u);
  EXPECT_EQ(legend[1]->text, "suspect (1)");
  EXPECT_EQ(legend[3]->text, "fine (1)");
  EXPECT_EQ(legend[4]->text, "fixed (2)");
  EXPECT_EQ(legend[5]->text, "float only (1)");
  EXPECT_EQ(svg->withId("legend")->all("line")[4]->attributes.count("stroke-dasharray"), 1u);

  for (const XmlElement* label : svg->withId("labels")->all("text"))
    for (const XmlElement* line : lines) {
      const Segment segment{{line->number("x1"), line->number("y1")},
                            {line->number("x2"), line->number("y2")}};
      EXPECT_FALSE(crosses(segment, textBox(*label))) << label->text;
    }
  EXPECT_TRUE(crosses({{0, 0}, {10, 10}}, {4, 4, 6, 6}));
  EXPECT_FALSE(crosses({{0, 0}, {10, 0}}, {4, 1, 6, 6}));
  EXPECT_FALSE(crosses({{0, 0}, {3, 3}}, {4, 4, 6, 6}));
}

TEST(NetworkPicture, ScaleLengthsAreRound) {
  EXPECT_DOUBLE_EQ(roundLengthBelow(180), 100);
  EXPECT_DOUBLE_EQ(roundLengthBelow(4999), 2000);
  EXPECT_DOUBLE_EQ(roundLengthBelow(0.3), 0.2);
  EXPECT_EQ(lengthText(2000), "2 km");
  EXPECT_EQ(lengthText(500), "500 m");
  EXPECT_EQ(lengthText(0.5), "0.5 m");
  EXPECT_EQ(lengthText(0.02), "0.02 m");
}

}  // namespace
}  // namespace velk::plot

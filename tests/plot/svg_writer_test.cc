// The SVG writer: texts of either encoding, reproducible coordinates, well-formed output.

#include "plot/svg_writer.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "plot/text_metrics.h"
#include "tests/plot/xml_tree.h"

namespace velk::plot {
namespace {

using testing::XmlReader;

TEST(SvgWriter, TakesUtf8AsItStandsAndOtherBytesAsCodePage850) {
  EXPECT_EQ(svgText("<A&B> \"C\"").escaped(), "&lt;A&amp;B&gt; &quot;C&quot;");
  EXPECT_EQ(svgText("CH\xC3\xA9Z").escaped(), "CH\xC3\xA9Z");  // é in UTF-8 kept
  EXPECT_EQ(svgText("CH\x82Z").escaped(), "CH\xC3\xA9Z");      // é in code page 850
  EXPECT_EQ(svgText("a\x01z").escaped(), "a\xEF\xBF\xBDz");
}

TEST(SvgWriter, WritesCoordinatesToAHundredthWithoutNegativeZero) {
  EXPECT_EQ(coordinateText(3), "3");
  EXPECT_EQ(coordinateText(12.5), "12.5");
  EXPECT_EQ(coordinateText(-7.126), "-7.13");
  EXPECT_EQ(coordinateText(-0.004), "0");
  EXPECT_EQ(coordinateText(1234567.891), "1234567.89");
  EXPECT_THROW(coordinateText(1.0 / 0.0), std::logic_error);
}

TEST(SvgWriter, WritesAWellFormedDocumentWithTheTextsAsGiven) {
  SvgWriter svg(200, 100, "pair <A & B>");
  svg.openGroup("outer");
  svg.line({0, 0}, {10, 10}, {.stroke = "#000000", .dash = "4 2"});
  svg.openGroup("inner");
  svg.text({5, 5}, "\"CAST\" & <SAUL>", {.anchor = Anchor::kEnd, .halo = true, .rotation = -90});
  svg.closeGroup();
  svg.closeGroup();
  const auto root = XmlReader::parse(std::move(svg).finish());
  EXPECT_EQ(root->name, "svg");
  EXPECT_EQ(root->attributes.at("viewBox"), "0 0 200 100");
  EXPECT_EQ(root->all("title").front()->text, "pair <A & B>");
  const auto texts = root->withId("inner")->all("text");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts.front()->text, "\"CAST\" & <SAUL>");
  EXPECT_EQ(texts.front()->attributes.at("transform"), "rotate(-90 5 5)");
  EXPECT_EQ(root->withId("outer")->all("line").front()->attributes.at("stroke-dasharray"), "4 2");
}

TEST(SvgWriter, RefusesToFinishWithAGroupOpen) {
  SvgWriter svg(10, 10, "t");
  svg.openGroup("g");
  EXPECT_THROW(std::move(svg).finish(), std::logic_error);
  SvgWriter other(10, 10, "t");
  EXPECT_THROW(other.closeGroup(), std::logic_error);
}

TEST(TextMetrics, CountsACharacterOutsideAsciiOnceAndAsWide) {
  // "É" is two bytes in UTF-8 and one character, measured as wide as the widest capital.
  EXPECT_DOUBLE_EQ(textWidth("\xC3\x89", 10), textWidth("@", 10));
  EXPECT_GT(textWidth("MMMM", 12), textWidth("iiii", 12));
  EXPECT_GT(textWidth("CAST", 12, true), textWidth("CAST", 12));
}

}  // namespace
}  // namespace velk::plot

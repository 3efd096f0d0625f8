#include "tools/synthetic_campaign.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "geodesy/geodesy.h"
#include "tests/tools/report_fields.h"

namespace velk::campaign {
namespace {

std::vector<GeneratedReport> generate(int reports, std::uint64_t seed,
                                      LineEnds lineEnds = LineEnds::kUnix,
                                      RatioLines ratioLines = RatioLines::kBoth) {
  CampaignOptions options;
  options.reports = reports;
  options.seed = seed;
  options.line_ends = lineEnds;
  options.ratio_lines = ratioLines;
  std::vector<GeneratedReport> campaign;
  generateCampaign(options, [&](const GeneratedReport& report) { campaign.push_back(report); });
  return campaign;
}

TEST(SyntheticCampaign, IsDeterminedBySeed) {
  const auto first = generate(40, 11);
  const auto again = generate(40, 11);
  const auto other = generate(40, 12);
  ASSERT_EQ(first.size(), 40u);
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].name, again[i].name);
    EXPECT_EQ(first[i].text, again[i].text);
  }
  EXPECT_NE(first[0].text, other[0].text);
}

TEST(SyntheticCampaign, NamesAreUniqueEightDotThreeNames) {
  std::set<std::string> names;
  for (const auto& report : generate(3000, 5)) {
    EXPECT_TRUE(std::regex_match(report.name, std::regex("AB[0-9]{6}\\.[0-9]{3}"))) << report.name;
    EXPECT_TRUE(names.insert(report.name).second) << report.name << " twice";
  }
}

TEST(SyntheticCampaign, LineEndsFollowTheOption) {
  const std::string dos = generate(1, 3, LineEnds::kDos)[0].text;
  const std::string unix = generate(1, 3, LineEnds::kUnix)[0].text;
  EXPECT_EQ(std::regex_replace(dos, std::regex("\r\n"), "\n"), unix);
  EXPECT_EQ(unix.find('\r'), std::string::npos);
  EXPECT_EQ(listFileText({"A.001", "B.002"}, LineEnds::kDos), "A.001\r\nB.002\r\n");
  EXPECT_EQ(listFileText({"A.001", "B.002"}, LineEnds::kUnix), "A.001\nB.002\n");
}

// Counts the ratio lines of each edition at their columns, with their fields checked.
struct RatioLineCount {
  int later = 0, earlier = 0, fixedSections = 0;
};

RatioLineCount countRatioLines(const std::vector<GeneratedReport>& campaign) {
  RatioLineCount count;
  for (const auto& report : campaign) {
    for (const std::string& line : linesOf(report.text)) {
      if (columns(line, 1, 9) == "THE FIXED") ++count.fixedSections;
      if (columns(line, 36, 42) == "Integer") {
        ++count.later;
        EXPECT_TRUE(holdsFixedPoint(columns(line, 59, 66), 3)) << line;
      }
      if (columns(line, 51, 57) == "Ratio =") {
        ++count.earlier;
        EXPECT_TRUE(holdsFixedPoint(columns(line, 60, 65), 2)) << line;
      }
    }
  }
  return count;
}

TEST(SyntheticCampaign, RatioLinesFollowTheEdition) {
  const RatioLineCount both = countRatioLines(generate(30, 2, LineEnds::kUnix, RatioLines::kBoth));
  EXPECT_GT(both.fixedSections, 0);
  EXPECT_EQ(both.later, both.fixedSections);
  EXPECT_EQ(both.earlier, both.fixedSections);
  const RatioLineCount later =
      countRatioLines(generate(30, 2, LineEnds::kUnix, RatioLines::kNovrale));
  EXPECT_EQ(later.later, later.fixedSections);
  EXPECT_EQ(later.earlier, 0);
  const RatioLineCount earlier =
      countRatioLines(generate(30, 2, LineEnds::kUnix, RatioLines::kQuelmar));
  EXPECT_EQ(earlier.later, 0);
  EXPECT_EQ(earlier.earlier, earlier.fixedSections);
}

// Within every section the vector is mark 2 minus mark 1 to the printed digit, and E1 N1 U1
// is that vector in the frame the converters derive from mark 1.
TEST(SyntheticCampaign, SolutionsAreGeometricallyConsistent) {
  int sections = 0, floatOnly = 0, correlationRows = 0;
  for (const auto& report : generate(60, 9)) {
    Triple vector{}, mark1{}, enu{};
    for (const std::string& line : linesOf(report.text)) {
      EXPECT_LE(line.size(), 80u) << line;
      const std::string key = columns(line, 1, 10);
      if (columns(line, 1, 17) == " Baseline vector:") vector = vectorFields(line);
      if (key == " Mark1_xyz") mark1 = coordinateFields(line);
      if (key == " E1 N1 U1 ") enu = coordinateFields(line);
      if (line[0] == 'z' && holdsFixedPoint(columns(line, 2, 6), 2)) {
        EXPECT_TRUE(holdsFixedPoint(columns(line, 8, 12), 2)) << line;
        ++correlationRows;
      }
      if (key != " Mark2_xyz") continue;
      ++sections;
      const Triple mark2 = coordinateFields(line);
      EXPECT_EQ(mark2.x - mark1.x, vector.x) << report.name;
      EXPECT_EQ(mark2.y - mark1.y, vector.y) << report.name;
      EXPECT_EQ(mark2.z - mark1.z, vector.z) << report.name;
      const LocalENU local = TRLOC(inMetres(mark2), inMetres(mark1));
      EXPECT_NEAR(local.e, static_cast<double>(enu.x) / 10000, 1e-4) << report.name;
      EXPECT_NEAR(local.n, static_cast<double>(enu.y) / 10000, 1e-4) << report.name;
      EXPECT_NEAR(local.u, static_cast<double>(enu.z) / 10000, 1e-4) << report.name;
      const double height = CENTRGEO(inMetres(mark1)).h;
      EXPECT_TRUE(height > 0 && height < 1000) << report.name << " at " << height << " m";
    }
    if (report.text.find("THE FIXED") == std::string::npos) ++floatOnly;
  }
  EXPECT_GT(sections, 60);
  EXPECT_GT(floatOnly, 0);
  EXPECT_GT(correlationRows, 0);
}

}  // namespace
}  // namespace velk::campaign

// The per-report reading: each report on its own, its solution from one section, and
// what it lacks named.

#include "reading/read_reports.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "format/run_error.h"
#include "reading/scan_report.h"
#include "run/edition.h"

namespace velk {
namespace {

// The first example report: a float and a fixed section, both ratio lines, correlation
// rows; fixed vector 818.4932 2908.6837 -532.5114, float vector 818.4397 ...
std::string exampleReport() {
  std::ifstream in(std::string(VELK_SOURCE_DIR) + "/examples/AB082101.017", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The text with the first line that starts with `start` replaced (or removed when
// `replacement` is empty), searching from the first occurrence of `after`.
std::string replacingLine(std::string text, std::string_view start, std::string_view replacement,
                          std::string_view after = "") {
  const std::size_t from = text.find(after);
  const std::size_t begin = text.find("\n" + std::string(start), from);
  EXPECT_NE(begin, std::string::npos) << start;
  const std::size_t end = text.find('\n', begin + 1);
  const std::string line = replacement.empty() ? "" : "\n" + std::string(replacement);
  return text.replace(begin, end - begin, line);
}

std::string removingLines(std::string text, std::string_view start, std::string_view after = "") {
  return replacingLine(std::move(text), start, "", after);
}

struct Read {
  std::vector<Report> reports;
  std::vector<std::string> notices;
};

Read readText(const std::string& text) {
  Read read;
  std::istringstream in(text);
  read_reports(in, "campaign/AB082101.017", read.reports,
               [&](std::string_view notice) { read.notices.emplace_back(notice); });
  return read;
}

TEST(ReadReports, TakesTheWholeFixedSolutionWithItsCovariance) {
  const Read read = readText(exampleReport());
  ASSERT_EQ(read.reports.size(), 1u);
  const Report& report = read.reports[0];
  EXPECT_EQ(report.file, "AB082101.017");
  EXPECT_EQ(report.missing, 0u) << report.missingText();
  EXPECT_EQ(report.fixed_station, "CAST");
  EXPECT_EQ(report.unknown_station, "SAUL");
  EXPECT_EQ(report.fixed_description, "Castel rock");
  EXPECT_TRUE(report.fixed);
  EXPECT_EQ(report.vector.x, 818.4932);
  EXPECT_EQ(report.mark2.y, 101096.3956);
  EXPECT_EQ(report.local.u, 210.7211);
  EXPECT_EQ(report.sigma_z, 0.001246);
  EXPECT_EQ(report.r_xz, 0.69);
  EXPECT_EQ(report.covariance()(1, 3), 0.69 * 0.001183 * 0.001246);
  EXPECT_EQ(report.ratio, 10.164);  // the integer research ratio before "Ratio ="
  EXPECT_EQ(report.start_date.day, 23);
  EXPECT_DOUBLE_EQ(report.start_mjd, 57835 + (7 * 60 + 9) / 1440.0);
  EXPECT_DOUBLE_EQ(report.end_mjd, 57835 + (9 * 60 + 8) / 1440.0);
}

TEST(ReadReports, EachReportIsReadOnItsOwn) {
  // Two reports in one file, the second without its fixed section's sigma lines, its
  // correlation rows, its local components and its station names: nothing is taken from
  // the first report or from the second's float section.
  std::string second = exampleReport();
  second = removingLines(second, "  Sigmax", "THE FIXED");
  second = removingLines(second, "y 0.02", "THE FIXED");
  second = removingLines(second, " E1 N1 U1", "THE FIXED");
  second = replacingLine(second, "CAST  ", "                          4-character short name");
  second = removingLines(second, "Ambiguity search");
  second = removingLines(second, "Ambiguity validation");
  const Read read = readText("header notes\r\n" + exampleReport() + second);
  ASSERT_EQ(read.reports.size(), 2u);
  ASSERT_EQ(read.notices.size(), 1u);
  EXPECT_EQ(read.notices[0], "campaign/AB082101.017: lines before the first report header passed over");
  const Report& report = read.reports[1];
  EXPECT_EQ(report.missingText(), "no names, no sigmas, no local components, no ratio");
  EXPECT_EQ(report.fixed_station, "");
  EXPECT_EQ(report.unknown_station, "SAUL");
  EXPECT_EQ(report.sigma_x, 0.0);
  EXPECT_EQ(report.r_xy, 0.0);
  EXPECT_EQ(report.ratio, 0.0);
  EXPECT_EQ(report.vector.x, 818.4932);
  EXPECT_GT(report.header_line, read.reports[0].header_line);
}

TEST(ReadReports, AFloatOnlyReportKeepsItsFloatSolutionAndTheSecondRatioLine) {
  std::string text = exampleReport();
  text = text.substr(0, text.find("THE FIXED"));
  Read read = readText(text);
  ASSERT_EQ(read.reports.size(), 1u);
  EXPECT_FALSE(read.reports[0].fixed);
  EXPECT_EQ(read.reports[0].vector.x, 818.4397);
  EXPECT_EQ(read.reports[0].missingText(), "no ratio");

  text = removingLines(exampleReport(), "Ambiguity search");
  EXPECT_EQ(readText(text).reports[0].ratio, 10.16);
}

TEST(ReadReports, APeriodOverMidnightEndsOnTheNextDay) {
  std::string text = replacingLine(exampleReport(), "Common start",
                                   "Common start   (GPS time) : 2017-03-23 22:30:15");
  text = replacingLine(text, "Common end", "Common end     (GPS time) : 2017-03-23 01:15:00");
  const Report report = readText(text).reports[0];
  EXPECT_DOUBLE_EQ(report.start_mjd, 57835 + (22 * 3600 + 30 * 60 + 15) / 86400.0);
  EXPECT_DOUBLE_EQ(report.end_mjd, 57836 + 75 / 1440.0);
}

TEST(ReadReports, NamesEveryMissingItem) {
  std::string text = exampleReport();
  for (const char* line : {" Baseline vector", " Mark1_xyz", " Mark2_xyz"}) {
    text = removingLines(text, line, "THE FLOAT");
    text = removingLines(text, line, "THE FIXED");
  }
  text = replacingLine(text, "Common end", "Common end     (GPS time) : 2017-13-23 09:08:00");
  text = replacingLine(text, "SAUL  ", std::string("SA\tL") + "                      4-character short name");
  EXPECT_EQ(readText(text).reports[0].missingText(),
            "no names, no vector, no mark 1, no mark 2, no date");
  EXPECT_EQ(readText("GPS BASELINE\n").reports[0].missingText(),
            "no names, no vector, no sigmas, no mark 1, no mark 2, no local components, no ratio, "
            "no date");
}

TEST(ReadReports, AnUnreadableNumberEndsTheRunNamingFileLineAndColumns) {
  const std::string text =
      replacingLine(exampleReport(), "  Sigmay", "  Sigmay (m)   :   0.00x771", "THE FIXED");
  try {
    readText(text);
    FAIL() << "no error";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(), "campaign/AB082101.017 line 76 columns 18-27: \"0.00x771\" is not a number");
  }
}

// The dialog's reader keeps beside each entry what its report gave; cut anywhere (a file
// truncated in transfer, the disk full while the report was written), every report is
// found lacking the same needed items by both readers.
class NoConsole : public RecordSink {
 public:
  void put(std::string_view) override {}
};

TEST(ReadReports, BothReadersFindTheSameReportsIncomplete) {
  const std::string whole = exampleReport();
  std::vector<std::size_t> line_ends;
  for (std::size_t at = whole.find('\n'); at != std::string::npos; at = whole.find('\n', at + 1))
    line_ends.push_back(at + 1);
  int incomplete = 0;
  for (const std::size_t end : line_ends) {
    const std::string text = whole.substr(0, end) + whole;  // a cut report, then a whole one
    const Read separate = readText(text);
    BaselineTable table;
    ReportScanState state;
    NoConsole console;
    std::istringstream in(text);
    scan_report(in, "AB082101.017", "AB082101.017", table, state,
                novraleEdition().reading, console);
    if (table.items().size() < separate.reports.size()) {
      // Cut inside a section: the dialog's reading takes the next report into this entry.
      ASSERT_EQ(table.items().size(), 1u);
      EXPECT_EQ(table.items()[0].hidden_header_line, separate.reports[1].header_line);
      ++incomplete;
      continue;
    }
    ASSERT_EQ(table.items().size(), separate.reports.size()) << "cut after byte " << end;
    EXPECT_EQ(table.items()[0].hidden_header_line, 0);
    for (std::size_t i = 0; i < separate.reports.size(); ++i) {
      EXPECT_EQ(table.missingItems(i) & kNeededReportItems,
                separate.reports[i].missing & kNeededReportItems)
          << "cut after byte " << end << ", report " << i << ": "
          << separate.reports[i].missingText();
      EXPECT_EQ(table.items()[i].header_line, separate.reports[i].header_line);
    }
    if (!separate.reports.front().isComplete()) ++incomplete;
  }
  EXPECT_GT(incomplete, 50);  // most cuts lose a needed item
}

}  // namespace
}  // namespace velk

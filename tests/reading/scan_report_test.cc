#include "reading/scan_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "format/run_error.h"
#include "run/edition.h"

namespace velk {
namespace {

using Lines = std::vector<std::string>;

// A report line put together column by column (columns numbered from 1).
class Line {
 public:
  Line& at(int column, std::string_view text) {
    const std::size_t start = static_cast<std::size_t>(column - 1);
    if (text_.size() < start + text.size()) text_.resize(start + text.size(), ' ');
    text_.replace(start, text.size(), text);
    return *this;
  }
  Line& endingAt(int last_column, std::string_view text) {
    return at(last_column - static_cast<int>(text.size()) + 1, text);
  }
  operator std::string() const { return text_; }

 private:
  std::string text_;
};

std::string dayLine(std::string_view day) {
  return Line().endingAt(3, day).at(27, "5-character day of year");
}
std::string shortNameLine(std::string_view name) {
  return Line().at(1, name).at(27, "4-character short name of the site");
}
std::string epochLine(std::string_view keyword, std::string_view value) {
  return Line().endingAt(8, value).at(27, keyword);
}
std::string periodLine(std::string_view keyword, std::string_view year, std::string_view hour,
                       std::string_view minute) {
  return Line()
      .at(1, keyword)
      .at(26, ": ")
      .at(29, year)
      .at(34, "5 12")
      .at(40, hour)
      .at(42, ":")
      .at(43, minute)
      .at(45, ":00.000");
}
std::string epochIntervalLine(std::string_view seconds) {
  return Line().at(1, "Epoch interval").at(16, "(s)").endingAt(30, seconds);
}
std::string sigmaLine(std::string_view axis, std::string_view value) {
  return Line().at(1, "  Sigma").at(8, axis).at(10, "(m) :").endingAt(27, value);
}
std::string vectorLine(std::string_view dx, std::string_view dy, std::string_view dz) {
  return Line()
      .at(1, " Baseline vector:")
      .endingAt(32, dx)
      .endingAt(47, dy)
      .endingAt(62, dz)
      .at(64, "m");
}
std::string coordinateLine(std::string_view label, std::string_view x, std::string_view y,
                           std::string_view z) {
  return Line().at(1, label).at(11, " :").endingAt(27, x).endingAt(42, y).endingAt(57, z);
}
std::string novraleRatioLine(std::string_view ratio) {
  return Line().at(1, " Ambiguities:").at(36, "Integer research ratio").endingAt(66, ratio);
}
std::string quelmarRatioLine(std::string_view ratio) {
  return Line().at(1, " Ambiguities fixed").at(51, "Ratio =").endingAt(65, ratio);
}

Lines concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const std::string kHeader = "GPS  baseline processing report";

Lines reportHead(std::string_view day = "123", std::string_view fixed = "ABCD",
                 std::string_view unknown = "EFGH") {
  return {kHeader,
          dayLine(day),
          shortNameLine(fixed),
          "FIXED STATION :",
          shortNameLine(unknown),
          "UNKNOWN STATION :",
          epochLine("First epoch to process", "1234."),
          epochLine("Final epoch to process", "1474."),
          periodLine("Common start", "2023", "10", "30"),
          periodLine("Common end", "2024", "12", "00"),
          epochIntervalLine("30.0")};
}

// Mark 2 is mark 1 plus the vector in both solutions.
Lines floatSolution() {
  return {"THE FLOAT SOLUTION",
          sigmaLine("x", "0.004000"),
          sigmaLine("y", "0.002000"),
          sigmaLine("z", "0.006000"),
          sigmaLine("N", "9.999999"),
          vectorLine("-1234.5678", "2345.6789", "-345.6789"),
          coordinateLine(" Mark1_xyz", "4512345.6789", "123456.7890", "4487654.3210"),
          coordinateLine(" E1 N1 U1 ", "2500.1234", "-800.5678", "12.3456"),
          coordinateLine(" Mark2_xyz", "4511111.1111", "125802.4679", "4487308.6421")};
}

Lines fixedSolution(const std::string& ratio_line) {
  return {"THE FIXED SOLUTION",
          ratio_line,
          sigmaLine("x", "0.001600"),
          sigmaLine("y", "0.001200"),
          sigmaLine("z", "0.002700"),
          vectorLine("-1234.5612", "2345.6801", "-345.6761"),
          coordinateLine(" Mark1_xyz", "4512345.6789", "123456.7890", "4487654.3210"),
          coordinateLine(" E1 N1 U1 ", "2500.1301", "-800.5612", "12.3389"),
          coordinateLine(" Mark2_xyz", "4511111.1177", "125802.4691", "4487308.6449")};
}

Lines novraleReport() {
  return concat({reportHead(), floatSolution(), fixedSolution(novraleRatioLine("12.345"))});
}
Lines quelmarReport() {
  return concat({reportHead(), floatSolution(), fixedSolution(quelmarRatioLine("12.34"))});
}

class CapturingConsole : public RecordSink {
 public:
  void put(std::string_view record) override { records.emplace_back(record); }
  std::vector<std::string> records;
};

// One run's reading: the table, the carried state and the console it shares between
// O-files.
class Reading {
 public:
  explicit Reading(const Edition& edition) : edition_(edition.reading) {}

  void read(const Lines& lines, std::string_view file_name = "AB12345.001",
            std::string_view line_end = "\n") {
    std::string text;
    for (const std::string& line : lines) text += line + std::string(line_end);
    std::istringstream report(text);
    const FixedText<12> list_name(file_name);
    scan_report(report, list_name.view(), file_name, table, state, edition_, console);
  }

  const BaselineRecord& entry(std::size_t number) const { return table.entries()[number - 1]; }
  const std::vector<std::string>& echo() const { return console.records; }

  BaselineTable table;
  ReportScanState state;
  CapturingConsole console;

 private:
  const ReadingEdition& edition_;
};

std::string message(Reading& reading, const Lines& lines) {
  try {
    reading.read(lines);
  } catch (const RunError& error) {
    return error.what();
  }
  return "no error";
}

// ---------------------------------------------------------------------------------------
// Full reports of both editions

TEST(ScanReportNovrale, StoresEveryFieldOfAFullReport) {
  Reading reading(novraleEdition());
  reading.read(novraleReport());

  ASSERT_EQ(reading.table.baseline_count(), 1);
  const BaselineRecord& entry = reading.entry(1);
  EXPECT_EQ(entry.name.view(), "AB12345.");
  EXPECT_EQ(entry.day_number, 123);
  EXPECT_EQ(entry.fixed_station.view(), "ABCD");
  EXPECT_EQ(entry.unknown_station.view(), "EFGH");
  EXPECT_EQ(entry.year, 2024);  // the end line's year wins
  EXPECT_EQ(entry.start_time, FixedText<5>());
  EXPECT_EQ(solutionKind(entry, 2), "Fx");
  // 10:30 and 12:00: (0.4375 + 0.5) / 2 + 123
  EXPECT_EQ(entry.mid_epoch, 123.46875);
  EXPECT_EQ(entry.sigma_x, 0.0016);
  EXPECT_EQ(entry.sigma_y, 0.0012);
  EXPECT_EQ(entry.sigma_z, 0.0027);
  EXPECT_EQ(entry.dx, -1234.5612);
  EXPECT_EQ(entry.dy, 2345.6801);
  EXPECT_EQ(entry.dz, -345.6761);
  EXPECT_NEAR(entry.length, 2673.17198365, 1e-8);
  EXPECT_EQ(entry.mark1_x, 4512345.6789);
  EXPECT_EQ(entry.mark1_y, 123456.789);
  EXPECT_EQ(entry.mark1_z, 4487654.321);
  EXPECT_EQ(entry.enu1_e, 2500.1301);
  EXPECT_EQ(entry.enu1_n, -800.5612);
  EXPECT_EQ(entry.enu1_u, 12.3389);
  EXPECT_EQ(entry.mark2_x, 4511111.1177);
  EXPECT_EQ(entry.mark2_y, 125802.4691);
  EXPECT_EQ(entry.mark2_z, 4487308.6449);
  EXPECT_EQ(entry.ratio, 12.345);
  EXPECT_EQ(entry.cov_xy, 0.0);
  EXPECT_EQ(entry.cov_xz, 0.0);
  EXPECT_EQ(entry.cov_yz, 0.0);

  EXPECT_EQ(reading.state.current_short_name.view(), "EFGH");
  EXPECT_EQ(reading.state.hour, 12);
  EXPECT_EQ(reading.state.minute, 0);
  EXPECT_EQ(reading.state.start_fraction, 0.4375);
  EXPECT_EQ(reading.state.end_fraction, 0.5);
  EXPECT_EQ(reading.state.sigma_z, 0.0027);
  EXPECT_EQ(reading.state.dy, 2345.6801);
  EXPECT_EQ(reading.state.ratio, 12.345);
}

TEST(ScanReportNovrale, LengthIsTheNormOfTheVectorLine) {
  Reading reading(novraleEdition());
  reading.read({kHeader, "THE FLOAT", vectorLine("3.0000", "-4.0000", "12.0000")});
  EXPECT_EQ(reading.entry(1).length, 13.0);

  // The squares are summed as dx, dy, dz: precomputed, the last digit differs when they
  // are summed in another order or when hypot is used (55649.59835932772).
  reading.read({"THE FLOAT", vectorLine("32048.5912", "38617.9581", "24050.3412")});
  EXPECT_EQ(reading.entry(1).length, 55649.59835932773);
}

// Each record begins with the blank of its line control; the layouts are
// (I3,1X,A4,1X,A4,1X,3(1X,F12.3),2X,A4), (14X,3(1X,F12.3)) and (I3,1X,A4,1X,3(1X,F12.3)).
TEST(ScanReportNovrale, EchoesEachBlockInReportOrderWithThreeDecimals) {
  Reading reading(novraleEdition());
  reading.read(novraleReport());

  const std::string index_and_names = "  1 ABCD EFGH";  // columns 1-13
  const std::string index_and_fixed = "  1 ABCD";       // columns 1-8
  const std::string sigma_indent(14, ' ');
  const std::vector<std::string> expected = {
      "  -- date1 :",
      "   4.375000000000000E-001",
      "  -- date2 :",
      "   5.000000000000000E-001",
      // float solution
      index_and_names + "  " + "   -1234.568" + " " + "    2345.679" + " " + "    -345.679" + "  " +
          "  Fl",
      sigma_indent + " " + "        .004" + " " + "        .002" + " " + "        .006",
      index_and_fixed + "  " + " 4512345.679" + " " + "  123456.789" + " " + " 4487654.321",
      index_and_fixed + "  " + "    2500.123" + " " + "    -800.568" + " " + "      12.346",
      index_and_fixed + "  " + " 4511111.111" + " " + "  125802.468" + " " + " 4487308.642",
      // fixed solution
      "  Fixed solution :",
      "  Integer Research Ratio :",
      "       12.345000000000000",
      index_and_names + "  " + "   -1234.561" + " " + "    2345.680" + " " + "    -345.676" + "  " +
          "  Fx",
      sigma_indent + " " + "        .002" + " " + "        .001" + " " + "        .003",
      index_and_fixed + "  " + " 4512345.679" + " " + "  123456.789" + " " + " 4487654.321",
      index_and_fixed + "  " + "    2500.130" + " " + "    -800.561" + " " + "      12.339",
      index_and_fixed + "  " + " 4511111.118" + " " + "  125802.469" + " " + " 4487308.645",
  };
  EXPECT_EQ(reading.echo(), expected);
  // The kind ends the vector echo in columns 58-59 (56-59 for A4).
  EXPECT_EQ(reading.echo()[4].size(), 59u);
  EXPECT_EQ(reading.echo()[4].substr(55), "  Fl");
}

TEST(ScanReportQuelmar, StoresTimesAsTextAndTheRatioOfItsOwnLine) {
  Reading reading(quelmarEdition());
  reading.read(quelmarReport());

  const BaselineRecord& entry = reading.entry(1);
  EXPECT_EQ(entry.start_time.view(), "10:30");
  EXPECT_EQ(entry.end_time.view(), "12:00");
  EXPECT_EQ(entry.year, 0);
  EXPECT_EQ(entry.solution_kind.view(), " Fx.");
  EXPECT_EQ(entry.mid_epoch, 123.46875);
  EXPECT_EQ(entry.ratio, 12.34);
  EXPECT_EQ(entry.dx, -1234.5612);
  EXPECT_EQ(entry.mark2_z, 4487308.6449);
}

TEST(ScanReportQuelmar, EchoesWithFourDecimalsAndWithoutTheRatio) {
  Reading reading(quelmarEdition());
  reading.read(quelmarReport());

  const std::vector<std::string>& echo = reading.echo();
  ASSERT_EQ(echo.size(), 14u);  // dates 4, then vector, sigma and three marks twice
  EXPECT_EQ(echo[0], "  -- date1 :");
  EXPECT_EQ(echo[4], std::string("  1 ABCD EFGH") + "  " + "  -1234.5678" + " " + "   2345.6789" +
                         " " + "   -345.6789" + "  " + " Fl.");
  EXPECT_EQ(echo[5], std::string(14, ' ') + " " + "       .0040" + " " + "       .0020" + " " +
                         "       .0060");
  // 4512345.6789 fills all 12 columns of its F12.4.
  EXPECT_EQ(echo[6], std::string("  1 ABCD") + "  " + "4512345.6789" + " " + " 123456.7890" + " " +
                         "4487654.3210");
  EXPECT_EQ(echo[9], std::string("  1 ABCD EFGH") + "  " + "  -1234.5612" + " " + "   2345.6801" +
                         " " + "   -345.6761" + "  " + " Fx.");
  EXPECT_EQ(echo[13], std::string("  1 ABCD") + "  " + "4511111.1177" + " " + " 125802.4691" + " " +
                          "4487308.6449");
}

TEST(ScanReportQuelmar, IgnoresTheOtherEditionsRatioLineAndViceVersa) {
  Reading quelmar(quelmarEdition());
  quelmar.read(concat({reportHead(), fixedSolution(novraleRatioLine("12.345"))}));
  EXPECT_EQ(quelmar.entry(1).ratio, 0.0);

  Reading novrale(novraleEdition());
  novrale.read(concat({reportHead(), fixedSolution(quelmarRatioLine("12.34"))}));
  EXPECT_EQ(novrale.entry(1).ratio, 0.0);
}

// ---------------------------------------------------------------------------------------
// Solution sections

TEST(ScanReportSections, FloatOnlyReportKeepsTheFloatSolutionAndNoRatio) {
  Reading reading(novraleEdition());
  reading.read(concat({reportHead(), floatSolution()}));
  const BaselineRecord& entry = reading.entry(1);
  EXPECT_EQ(solutionKind(entry, 2), "Fl");
  EXPECT_EQ(entry.dx, -1234.5678);
  EXPECT_EQ(entry.sigma_x, 0.004);
  EXPECT_EQ(entry.ratio, 0.0);
  EXPECT_EQ(entry.mid_epoch, 123.46875);
}

TEST(ScanReportSections, FixedBeforeFloatLeavesFloatValuesAndTheFixedRatio) {
  Reading reading(quelmarEdition());
  reading.read(concat({reportHead(), fixedSolution(quelmarRatioLine("7.5")), floatSolution()}));
  const BaselineRecord& entry = reading.entry(1);
  EXPECT_EQ(entry.solution_kind.view(), " Fl.");
  EXPECT_EQ(entry.dx, -1234.5678);
  EXPECT_EQ(entry.enu1_e, 2500.1234);
  EXPECT_EQ(entry.ratio, 7.5);
  EXPECT_EQ(entry.mid_epoch, 123.46875);
}

TEST(ScanReportSections, FloatSectionWithoutMark2TakesTheFixedLinesAsItsOwn) {
  Lines float_without_mark2 = floatSolution();
  float_without_mark2.pop_back();
  Reading reading(novraleEdition());
  reading.read(
      concat({reportHead(), float_without_mark2, fixedSolution(novraleRatioLine("12.345"))}));

  const BaselineRecord& entry = reading.entry(1);
  EXPECT_EQ(solutionKind(entry, 2), "Fl");
  EXPECT_EQ(entry.ratio, 0.0);
  EXPECT_EQ(entry.dx, -1234.5612);
  EXPECT_EQ(entry.sigma_x, 0.0016);
  EXPECT_EQ(entry.mark2_x, 4511111.1177);
  for (const std::string& record : reading.echo()) {
    EXPECT_EQ(record.find("Fx"), std::string::npos) << record;
    EXPECT_EQ(record.find("Fixed solution"), std::string::npos) << record;
  }
}

TEST(ScanReportSections, ReportEndingRightAfterTheFixedHeaderKeepsTheFloatValues) {
  Reading reading(novraleEdition());
  reading.read(concat({reportHead(), floatSolution(), {"THE FIXED SOLUTION"}}));
  EXPECT_EQ(solutionKind(reading.entry(1), 2), "Fx");
  EXPECT_EQ(reading.entry(1).dx, -1234.5678);
  EXPECT_EQ(reading.entry(1).ratio, 0.0);
}

TEST(ScanReportSections, ReportCutShortInsideASectionKeepsTheMissingFieldsAsTheyWere) {
  Lines fixed = fixedSolution(novraleRatioLine("12.345"));
  fixed.resize(5);  // header, ratio and the three sigma lines
  Reading reading(novraleEdition());
  reading.read(concat({reportHead(), floatSolution(), fixed}));
  const BaselineRecord& entry = reading.entry(1);
  EXPECT_EQ(entry.sigma_z, 0.0027);
  EXPECT_EQ(entry.dx, -1234.5678);
  EXPECT_EQ(entry.mark2_x, 4511111.1111);
  EXPECT_EQ(entry.ratio, 12.345);
}

TEST(ScanReportSections, MainScanLinesInsideASectionArePassedOver) {
  Lines section = floatSolution();
  section.insert(section.begin() + 2,
                 {kHeader, dayLine("999"), shortNameLine("WXYZ"), "FIXED STATION",
                  periodLine("Common start", "1999", "01", "00"), novraleRatioLine("99.0")});
  Reading reading(novraleEdition());
  reading.read(concat({reportHead(), section, {kHeader}}));

  EXPECT_EQ(reading.table.baseline_count(), 2);  // only the header after Mark2 counts
  const BaselineRecord& entry = reading.entry(1);
  EXPECT_EQ(entry.day_number, 123);
  EXPECT_EQ(entry.fixed_station.view(), "ABCD");
  EXPECT_EQ(entry.ratio, 0.0);
  EXPECT_EQ(reading.state.current_short_name.view(), "EFGH");
  EXPECT_EQ(reading.state.start_fraction, 0.4375);
  EXPECT_EQ(reading.echo().size(), 9u);  // dates 4, vector, sigma, three marks
}

TEST(ScanReportSections, OnlyTheThreeSigmaAxesAreTaken) {
  Reading reading(novraleEdition());
  reading.read({kHeader, "THE FLOAT", sigmaLine("x", "0.001000"), sigmaLine("N", "0.500000"),
                sigmaLine("q", "0.500000"), Line().at(1, "  Sigma x").endingAt(27, "0.500000"),
                Line().at(1, "  sigmay").endingAt(27, "0.500000")});
  EXPECT_EQ(reading.entry(1).sigma_x, 0.001);
  EXPECT_EQ(reading.entry(1).sigma_y, 0.0);
  EXPECT_EQ(reading.entry(1).sigma_z, 0.0);
  EXPECT_EQ(reading.state.sigma_x, 0.001);
}

// ---------------------------------------------------------------------------------------
// What carries over from one O-file to the next

TEST(ScanReportCarryOver, ShortNamesAndTimesOfTheLastReportStayInForce) {
  Reading reading(novraleEdition());
  reading.read(novraleReport());
  reading.read(
      concat({{kHeader, dayLine("124"), "FIXED STATION", shortNameLine("IJKL"), "UNKNOWN STATION"},
              floatSolution()}),
      "CD67890.002");

  ASSERT_EQ(reading.table.baseline_count(), 2);
  const BaselineRecord& second = reading.entry(2);
  EXPECT_EQ(second.name.view(), "CD67890.");
  EXPECT_EQ(second.fixed_station.view(), "EFGH");  // the first report's last short name
  EXPECT_EQ(second.unknown_station.view(), "IJKL");
  EXPECT_EQ(second.mid_epoch, 124.46875);  // the first report's 10:30 to 12:00
  EXPECT_EQ(second.year, 0);
  EXPECT_EQ(second.ratio, 0.0);
  EXPECT_EQ(reading.entry(1).ratio, 12.345);
}

TEST(ScanReportCarryOver, ReportWithoutHeaderOverwritesThePreviousEntry) {
  Reading reading(novraleEdition());
  reading.read(novraleReport());
  reading.read({dayLine("200"), shortNameLine("WXYZ"), "UNKNOWN STATION"}, "XY00000.001");
  ASSERT_EQ(reading.table.baseline_count(), 1);
  EXPECT_EQ(reading.entry(1).name.view(), "AB12345.");
  EXPECT_EQ(reading.entry(1).day_number, 200);
  EXPECT_EQ(reading.entry(1).unknown_station.view(), "WXYZ");
  EXPECT_EQ(reading.entry(1).fixed_station.view(), "ABCD");
}

TEST(ScanReportCarryOver, TwoHeadersOpenTwoEntriesNamedAfterTheSameFile) {
  Reading reading(novraleEdition());
  reading.read(concat({novraleReport(), {kHeader, dayLine("5")}}), "TWICE.RPT");
  ASSERT_EQ(reading.table.baseline_count(), 2);
  EXPECT_EQ(reading.entry(1).name.view(), "TWICE.RP");
  EXPECT_EQ(reading.entry(2).name.view(), "TWICE.RP");
  EXPECT_EQ(reading.entry(1).day_number, 123);
  EXPECT_EQ(reading.entry(2).day_number, 5);
  EXPECT_EQ(reading.entry(2).dx, 0.0);
}

TEST(ScanReportCarryOver, AStationNeverNamedStaysZeroBytes) {
  Reading reading(novraleEdition());
  reading.read({kHeader, shortNameLine("ABCD"), "FIXED STATION"});
  EXPECT_EQ(reading.entry(1).unknown_station, FixedText<4>());
  EXPECT_EQ(reading.entry(1).unknown_station.view(), std::string_view("\0\0\0\0", 4));
}

// ---------------------------------------------------------------------------------------
// Keywords at their columns, and the line buffer

TEST(ScanReportKeywords, StartAndEndLinesNeedTheirBlankColumns) {
  Reading reading(novraleEdition());
  reading.read({kHeader, periodLine("Common starts", "2023", "10", "30"),
                periodLine("Common start:", "2023", "10", "30"),
                periodLine("Common end:", "2023", "12", "00"),
                periodLine("Common ending", "2023", "12", "00")});
  EXPECT_TRUE(reading.echo().empty());
  EXPECT_EQ(reading.entry(1).year, 0);
  EXPECT_EQ(reading.state.start_fraction, 0.0);

  reading.read({periodLine("Common end   x", "2023", "06", "00")});
  EXPECT_EQ(reading.state.end_fraction, 0.25);
  EXPECT_EQ(reading.entry(1).year, 2023);
}

TEST(ScanReportKeywords, HeaderNeedsABlankColumn4AndKeywordsTheirCase) {
  Reading reading(novraleEdition());
  reading.read({"GPSX baseline", "gps  baseline", "GPS", Line().at(1, "the float"),
                Line().at(1, "fixed station")});
  EXPECT_EQ(reading.table.baseline_count(), 1);  // only the bare "GPS"
  EXPECT_EQ(reading.entry(1).solution_kind, FixedText<4>());
  EXPECT_EQ(reading.entry(1).fixed_station, FixedText<4>());
}

TEST(ScanReportKeywords, LocalLineNeedsABlankColumn10) {
  Reading reading(novraleEdition());
  reading.read({kHeader, "THE FLOAT", coordinateLine(" E1 N1 U1x", "1.0", "2.0", "3.0"),
                coordinateLine(" E1 N1 U1 ", "4.0", "5.0", "6.0") + " trailing text",
                coordinateLine(" E1 N1 U12", "7.0", "8.0", "9.0")});
  EXPECT_EQ(reading.entry(1).enu1_e, 4.0);
  EXPECT_EQ(reading.entry(1).enu1_u, 6.0);
  EXPECT_EQ(reading.echo().size(), 1u);
}

TEST(ScanReportKeywords, KeywordsMustStandAtTheirColumns) {
  Reading reading(novraleEdition());
  reading.read({kHeader, Line().endingAt(3, "123").at(28, "5-character"),
                Line().at(1, "ABCD").at(26, "4-character short name"), Line().at(2, "THE FLOAT")});
  EXPECT_EQ(reading.entry(1).day_number, 0);
  EXPECT_EQ(reading.state.current_short_name, FixedText<4>());
  EXPECT_EQ(reading.entry(1).solution_kind, FixedText<4>());
}

TEST(ScanReportKeywords, FieldsWithoutPointTakeImpliedDecimals) {
  Reading reading(novraleEdition());
  reading.read({kHeader, "THE FLOAT", sigmaLine("x", "2100"), vectorLine("12345", "-7", "0"),
                coordinateLine(" Mark1_xyz", "45123456789", "1", "  1 2")});
  EXPECT_EQ(reading.entry(1).sigma_x, 0.0021);
  EXPECT_EQ(reading.entry(1).dx, 1.2345);
  EXPECT_EQ(reading.entry(1).dy, -0.0007);
  EXPECT_EQ(reading.entry(1).mark1_x, 4512345.6789);
  EXPECT_EQ(reading.entry(1).mark1_y, 0.0001);
  EXPECT_EQ(reading.entry(1).mark1_z, 0.0012);
}

TEST(ScanReportKeywords, VectorLineEndingEarlyReadsZeroForTheMissingFields) {
  Reading reading(novraleEdition());
  reading.read({kHeader, "THE FLOAT",
                Line().at(1, " Baseline vector:").endingAt(32, "3.0000").at(34, "   4.0")});
  EXPECT_EQ(reading.entry(1).dx, 3.0);
  EXPECT_EQ(reading.entry(1).dy, 4.0);
  EXPECT_EQ(reading.entry(1).dz, 0.0);
  EXPECT_EQ(reading.entry(1).length, 5.0);
}

TEST(ScanReportKeywords, NegativeZeroIsKept) {
  Reading reading(novraleEdition());
  reading.read({kHeader, "THE FLOAT", coordinateLine(" E1 N1 U1 ", "0.0000", "-0.0000", "0")});
  EXPECT_FALSE(std::signbit(reading.entry(1).enu1_e));
  EXPECT_TRUE(std::signbit(reading.entry(1).enu1_n));
}

TEST(ScanReportLines, DosLineEndsReadLikeUnixOnes) {
  Reading unix_ends(novraleEdition());
  unix_ends.read(novraleReport());
  Reading dos_ends(novraleEdition());
  dos_ends.read(novraleReport(), "AB12345.001", "\r\n");

  EXPECT_EQ(dos_ends.echo(), unix_ends.echo());
  EXPECT_EQ(dos_ends.entry(1).mark2_z, 4487308.6449);
  EXPECT_EQ(dos_ends.entry(1).ratio, 12.345);
}

TEST(ScanReportLines, OnlyOneCarriageReturnIsDropped) {
  Reading reading(novraleEdition());
  reading.read({"GPS\r"}, "AB12345.001", "\r\n");  // column 4 keeps the second "\r"
  EXPECT_EQ(reading.table.baseline_count(), 0);
  reading.read({"GPS"}, "AB12345.001", "\r\n");
  EXPECT_EQ(reading.table.baseline_count(), 1);
}

TEST(ScanReportLines, ALastLineWithoutLineEndIsRead) {
  Reading reading(novraleEdition());
  std::istringstream report(kHeader + "\n" + dayLine("77"));
  scan_report(report, "AB12345.001 ", "AB12345.001", reading.table, reading.state,
              novraleEdition().reading, reading.console);
  EXPECT_EQ(reading.entry(1).day_number, 77);
}

TEST(ScanReportLines, ColumnsBeyond80AreCutOff) {
  const std::string beyond = std::string(80 - 62, ' ') + "12a.45 not read";
  Reading reading(novraleEdition());
  reading.read({kHeader, "THE FIXED", vectorLine("1.0", "2.0", "3.0") + beyond,
                novraleRatioLine("12.345") + std::string(40, 'x')},
               "AB12345.001", "\r\n");
  EXPECT_EQ(reading.entry(1).dz, 3.0);
  EXPECT_EQ(reading.entry(1).ratio, 12.345);
}

// ---------------------------------------------------------------------------------------
// Stores before the run's first report header

TEST(ScanReportScratch, StoresBeforeTheFirstHeaderGoToTheScratchEntryWithOneNotice) {
  Reading reading(novraleEdition());
  reading.read({shortNameLine("ABCD"), "FIXED STATION", dayLine("045"), "THE FLOAT",
                vectorLine("1.0", "2.0", "2.0")},
               "EARLY.001");

  EXPECT_EQ(reading.table.baseline_count(), 0);
  EXPECT_TRUE(reading.table.entries().empty());
  EXPECT_EQ(reading.table.current_entry().day_number, 45);
  const std::vector<std::string> expected = {
      "  -> Attention : donnees avant la ligne GPS ignorees : EARLY.001",
      "  0 ABCD " + std::string(4, '\0') + "  " + "       1.000" + " " + "       2.000" + " " +
          "       2.000" + "  " + "  Fl",
      std::string(14, ' ') + " " + "        .000" + " " + "        .000" + " " + "        .000",
  };
  EXPECT_EQ(reading.echo(), expected);

  // Every O-file read before the first header gets its own notice; after it, none.
  reading.read({dayLine("046")}, "EARLY.002");
  reading.read({kHeader, dayLine("047")}, "LATE.001");
  reading.read({dayLine("048")}, "LATE.002");
  ASSERT_EQ(reading.echo().size(), 4u);
  EXPECT_EQ(reading.echo()[3], "  -> Attention : donnees avant la ligne GPS ignorees : EARLY.002");
  ASSERT_EQ(reading.table.baseline_count(), 1);
  EXPECT_EQ(reading.entry(1).day_number, 48);
  EXPECT_EQ(reading.entry(1).fixed_station, FixedText<4>());
}

TEST(ScanReportScratch, NoticeComesBeforeTheLinesOwnEcho) {
  Reading reading(novraleEdition());
  reading.read({periodLine("Common start", "2023", "06", "00")}, "EARLY.001");
  ASSERT_EQ(reading.echo().size(), 3u);
  EXPECT_EQ(reading.echo()[0], "  -> Attention : donnees avant la ligne GPS ignorees : EARLY.001");
  EXPECT_EQ(reading.echo()[1], "  -- date1 :");
}

TEST(ScanReportScratch, LinesThatStoreNothingInAnEntryGiveNoNotice) {
  Reading reading(novraleEdition());
  reading.read({shortNameLine("ABCD"), epochLine("First epoch to process", "1.0"),
                epochIntervalLine("30.0"), "some text of the report"});
  EXPECT_TRUE(reading.echo().empty());
  EXPECT_EQ(reading.state.current_short_name.view(), "ABCD");
}

// ---------------------------------------------------------------------------------------
// Correlation rows

TEST(ScanReportCorrelations, RowsGiveCovariancesFromTheLastSigmas) {
  Reading reading(novraleEdition());
  reading.read({kHeader, "THE FLOAT", sigmaLine("x", "0.250000"), sigmaLine("y", "0.500000"),
                sigmaLine("z", "2.000000"), "y 0.50", "z-0.25  0.75", " Mark2_xyz"});
  const BaselineRecord& entry = reading.entry(1);
  EXPECT_EQ(entry.cov_xy, 0.0625);       // 0.50 * 0.5 * 0.25
  EXPECT_EQ(entry.cov_xz, -0.125);       // -0.25 * 2 * 0.25
  EXPECT_EQ(entry.cov_yz, 0.75);         // 2 * 0.5 * 0.75
  EXPECT_EQ(reading.echo().size(), 1u);  // the Mark2 echo only

  // A later section without sigma lines uses the carried ones.
  reading.read({kHeader, "THE FIXED", "y  100"}, "NEXT.001");
  EXPECT_EQ(reading.entry(2).cov_xy, 0.125);
}

TEST(ScanReportCorrelations, ProductsAreTakenLeftToRightAsWritten) {
  Reading reading(novraleEdition());
  reading.read({kHeader, "THE FIXED", sigmaLine("x", "0.010119"), sigmaLine("y", "0.014101"),
                sigmaLine("z", "0.010760"), "y 0.17", "z-0.37 -0.53"});
  // Precomputed: r_xy*sy*sx, r_xz*sz*sx and sz*sy*r_yz; any other order of the factors
  // changes the last digit.
  EXPECT_EQ(reading.entry(1).cov_xy, 2.425696323e-05);
  EXPECT_EQ(reading.entry(1).cov_xz, -4.0285762799999995e-05);
  EXPECT_EQ(reading.entry(1).cov_yz, -8.04151828e-05);
}

TEST(ScanReportCorrelations, LinesThatAreNotNumbersArePassedOver) {
  Reading reading(novraleEdition());
  reading.read({kHeader, "THE FLOAT", sigmaLine("x", "1.000000"), sigmaLine("y", "1.000000"),
                sigmaLine("z", "1.000000"), "y 0.50", "z 0.25 0.75", "zenith delay  1.234",
                "y-axis   2.0", "z 0.10 abc", "yy"});
  EXPECT_EQ(reading.entry(1).cov_xy, 0.5);
  EXPECT_EQ(reading.entry(1).cov_xz, 0.25);
  EXPECT_EQ(reading.entry(1).cov_yz, 0.75);
  EXPECT_TRUE(reading.echo().empty());
}

TEST(ScanReportCorrelations, RowsOutsideASectionAreIgnored) {
  Reading reading(novraleEdition());
  reading.read({kHeader, sigmaLine("x", "1.000000"), "y 0.50", "z 0.25 0.75"});
  EXPECT_EQ(reading.entry(1).cov_xy, 0.0);
  EXPECT_EQ(reading.entry(1).cov_xz, 0.0);
  EXPECT_EQ(reading.entry(1).sigma_x, 0.0);
}

// ---------------------------------------------------------------------------------------
// Unreadable number fields

TEST(ScanReportErrors, AnUnreadableFieldNamesFileLineColumnsAndText) {
  Reading reading(novraleEdition());
  EXPECT_EQ(message(reading, {kHeader, "THE FLOAT", "", vectorLine("12a.45", "1.0", "2.0")}),
            "AB12345.001 line 4 columns 19-32: \"12a.45\" is not a number");
  EXPECT_EQ(message(reading, {kHeader, dayLine("1x3")}),
            "AB12345.001 line 2 columns 1-3: \"1x3\" is not a number");
  EXPECT_EQ(message(reading, {epochLine("First epoch to process", "12:34:56")}),
            "AB12345.001 line 1 columns 1-8: \"12:34:56\" is not a number");
  EXPECT_EQ(message(reading, {epochLine("Final epoch to process", "-")}),
            "AB12345.001 line 1 columns 1-8: \"-\" is not a number");
  EXPECT_EQ(message(reading, {epochIntervalLine("3O.0")}),
            "AB12345.001 line 1 columns 26-30: \"3O.0\" is not a number");
  EXPECT_EQ(message(reading, {periodLine("Common end", "2O23", "12", "00")}),
            "AB12345.001 line 1 columns 29-32: \"2O23\" is not a number");
}

TEST(ScanReportErrors, ControlBytesAndExponentsWithoutLetterAreUnreadable) {
  Reading reading(novraleEdition());
  EXPECT_EQ(message(reading, {"THE FLOAT", sigmaLine("x", "0.00\t1")}),
            "AB12345.001 line 2 columns 18-27: \"0.00\\x091\" is not a number");
  EXPECT_EQ(message(reading, {"THE FLOAT", coordinateLine(" Mark2_xyz", "1.5-03", "0", "0")}),
            "AB12345.001 line 2 columns 14-27: \"1.5-03\" is not a number");
  EXPECT_EQ(message(reading, {"THE FIXED", novraleRatioLine(std::string("1\0", 2) + "2.5")}),
            "AB12345.001 line 2 columns 59-66: \"1\\x002.5\" is not a number");
  EXPECT_EQ(message(reading, {periodLine("Common start", "2023", "10", "3.")}),
            "AB12345.001 line 1 columns 43-44: \"3.\" is not a number");
}

TEST(ScanReportErrors, QuelmarReadsItsRatioFieldWithItsOwnColumns) {
  Reading reading(quelmarEdition());
  EXPECT_EQ(message(reading, {kHeader, "THE FIXED", quelmarRatioLine("1e999")}),
            "AB12345.001 line 3 columns 60-65: \"1e999\" is not a number");
}

}  // namespace
}  // namespace velk

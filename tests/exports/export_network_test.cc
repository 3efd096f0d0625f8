#include "exports/export_network.h"
#include "reading/calendar_date.h"

#include <gtest/gtest.h>

#include "export_test_support.h"
#include "format/run_error.h"

namespace velk {
namespace {

using testing::completeReport;

struct Selection {
  std::vector<Report> reports;
  std::vector<std::string> notices;
};

Selection select(const std::vector<Report>& reports, bool fixed_only) {
  Selection selection;
  selection.reports = selectExportReports(
      reports, fixed_only, [&](std::string_view n) { selection.notices.emplace_back(n); });
  return selection;
}

std::vector<std::string> filesOf(const std::vector<Report>& reports) {
  std::vector<std::string> files;
  for (const Report& report : reports) files.push_back(report.file);
  return files;
}

const Cartesian kCast{4344310.2075, 98187.7119, 4653732.3678};
const Cartesian kToSaul{818.4932, 2908.6837, -532.5114};

TEST(SelectExportReports, JudgesEachReportOnItsOwnAndSaysWhy) {
  std::vector<Report> reports{completeReport("A.017", "CAST", "SAUL", kCast, kToSaul)};
  reports.push_back(completeReport("B.017", "CAST", "CHAU", kCast, {1, 2, 3}));
  reports.back().markMissing(ReportItem::kMark1);
  reports.back().markMissing(ReportItem::kDate);
  reports.back().markMissing(ReportItem::kRatio);  // not needed by the export
  reports.push_back(completeReport("C.017", "CAST", "VERC", kCast, {1, 2, 3}));
  reports.back().r_xy = reports.back().r_xz = 0.99;  // no matrix has these correlations
  reports.back().r_yz = -0.99;
  reports.push_back(completeReport("D.017", "SAUL", "CAST", kCast, {1, 2, 3}));
  reports.back().markMissing(ReportItem::kMark2);  // CAST is a fixed station: still in
  // E's unknown station is fixed only in F, and F's in no report: F goes out, and E with
  // it (both lack mark 2).
  reports.push_back(completeReport("E.017", "PIC1", "PIC2", kCast, {1, 2, 3}));
  reports.back().markMissing(ReportItem::kMark2);
  reports.push_back(completeReport("F.017", "PIC2", "PIC3", kCast, {1, 2, 3}));
  reports.back().markMissing(ReportItem::kMark2);
  reports.push_back(completeReport("G.017", "VERC", "VERC", kCast, {0, 0, 0}));
  reports.push_back(completeReport("H.017", "SAUL", "CHAU", kCast, {1, 2, 3}));
  reports.back().fixed = false;

  const Selection all = select(reports, false);
  EXPECT_EQ(filesOf(all.reports), (std::vector<std::string>{"A.017", "D.017", "H.017"}));
  ASSERT_EQ(all.notices.size(), 6u);
  EXPECT_EQ(all.notices[0], "campaign/B.017 (report at line 1): left out: no mark 1, no date");
  EXPECT_EQ(all.notices[1],
            "campaign/C.017 (report at line 1): left out: its covariance matrix is not "
            "positive definite (sigmas 0.001183 0.000771 0.001246 m, correlations xy 0.99 "
            "xz 0.99 yz -0.99)");
  EXPECT_EQ(all.notices[2],
            "campaign/E.017 (report at line 1): left out: no mark 2, and PIC2 is the fixed "
            "station of no report that goes in");
  EXPECT_EQ(all.notices[4], "campaign/G.017 (report at line 1): left out: the same station "
                            "VERC at both ends");
  EXPECT_EQ(all.notices[5], "1 float report(s) go in (ambiguities not fixed): "
                            "campaign/H.017 (report at line 1)");

  const Selection fixed = select(reports, true);
  EXPECT_EQ(filesOf(fixed.reports), (std::vector<std::string>{"A.017", "D.017"}));
  EXPECT_EQ(fixed.notices.back(), "1 float report(s) left out (--fixed-only): "
                                  "campaign/H.017 (report at line 1)");
}

TEST(SelectExportReports, LeavingOutOneReportCanTakeAnotherStationsCoordinates) {
  // Q is fixed only in the float report, so --fixed-only leaves P->Q without coordinates.
  std::vector<Report> reports{completeReport("A.017", "P", "Q", kCast, kToSaul),
                              completeReport("B.017", "Q", "R", kCast, kToSaul)};
  reports[0].markMissing(ReportItem::kMark2);
  reports[1].fixed = false;
  EXPECT_EQ(select(reports, false).reports.size(), 2u);
  const Selection fixed = select(reports, true);
  EXPECT_TRUE(fixed.reports.empty());
  EXPECT_EQ(fixed.notices.size(), 2u);
}

TEST(BuildExportNetwork, AprioriCoordinatesHeldStationsAndFloatingParts) {
  std::vector<Report> reports{completeReport("A.017", "SAUL", "CHAU", {10, 20, 30}, {1, 1, 1}),
                              completeReport("B.017", "CAST", "SAUL", kCast, kToSaul),
                              completeReport("C.017", "CHAU", "VERC", {11, 21, 31}, {2, 2, 2})};
  reports[0].fixed_description = "Saulce dyke";
  const ExportNetwork network = buildExportNetwork(reports, {}, 2.5);
  ASSERT_EQ(network.stations.size(), 4u);
  // SAUL from mark 1 of A, CHAU from mark 1 of C (its first report as the fixed station),
  // CAST from B, VERC only known as unknown: mark 2 of C.
  EXPECT_EQ(network.stations[0].name, "SAUL");
  EXPECT_EQ(network.stations[0].description, "Saulce dyke");
  EXPECT_DOUBLE_EQ(network.stations[1].apriori.x, 11);
  EXPECT_DOUBLE_EQ(network.stations[3].apriori.z, 33);
  EXPECT_TRUE(network.stations[0].held);  // the fixed station of the first report
  EXPECT_FALSE(network.stations[2].held);
  EXPECT_EQ(network.variance_factor, 2.5);

  reports.push_back(completeReport("D.017", "PIC1", "PIC2", kCast, kToSaul));
  const std::vector<std::string> held{"CAST"};
  EXPECT_NO_THROW(buildExportNetwork(reports, std::vector<std::string>{"CAST", "PIC2"}, 1));
  try {
    buildExportNetwork(reports, held, 1);
    FAIL() << "a part without a held station went through";
  } catch (const RunError& error) {
    EXPECT_TRUE(std::string(error.what()).ends_with(": PIC1, PIC2")) << error.what();
  }
  EXPECT_THROW(buildExportNetwork(reports, std::vector<std::string>{"NONE"}, 1), RunError);
  EXPECT_THROW(buildExportNetwork({}, {}, 1), RunError);
}

TEST(FindStationName, TakesTheReportsBytesOrTheirUtf8Form) {
  const std::vector<Report> reports{completeReport("A.017", "CH\x82Z", "SAUL", kCast, kToSaul)};
  EXPECT_EQ(findStationName(reports, "CH\xC3\xA9Z"), "CH\x82Z");
  EXPECT_EQ(findStationName(reports, "SAUL"), "SAUL");
  EXPECT_FALSE(findStationName(reports, "saul"));
}

TEST(DayMonthYear, ReadsRealDatesInBothFormsOnly) {
  ASSERT_TRUE(readCalendarDate("29.02.2016"));
  EXPECT_EQ(dayMonthYearText(*readCalendarDate("1.3.2017")), "01.03.2017");
  EXPECT_EQ(dayMonthYearText(*readCalendarDate("2017-03-01")), "01.03.2017");
  for (const char* bad : {"29.02.2017", "31.04.2017", "2017-3-01", "01.13.2017", "00.01.2017",
                          "01.03.20a7", "+1.03.2017", "1.3.17", "2017-03-01x", "123.1.2017", ""})
    EXPECT_FALSE(readCalendarDate(bad)) << bad;
}

}  // namespace
}  // namespace velk

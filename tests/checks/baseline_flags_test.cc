// The flags of single reports, and the stations' spread, each with a report made to
// trigger it.

#include "checks/baseline_flags.h"

#include <cmath>

#include <gtest/gtest.h>

#include "checks/network_check.h"
#include "tests/checks/made_reports.h"

namespace velk {
namespace {

using testing::madeReport;
using testing::measured;
using testing::nearSurface;

using Flags = std::vector<std::string>;

Flags flagsOf(const Report& report, const CheckOptions& options = {}) {
  return checkBaseline(report, 0, options).flags;
}

const Cartesian kA = nearSurface(0, 0);
const Cartesian kB = nearSurface(3, 4);

TEST(BaselineFlags, ACleanFixedReportHasNoneAndTakesPart) {
  const BaselineCheck check = checkBaseline(measured("CAST", kA, "SAUL", kB), 7, {});
  EXPECT_TRUE(check.flags.empty());
  EXPECT_TRUE(check.usable);
  EXPECT_EQ(check.report, 7u);
  EXPECT_NEAR(check.sigma3d, std::sqrt(3) * 0.002, 1e-12);
}

TEST(BaselineFlags, SolutionRatioAndPrecision) {
  Report report = measured("CAST", kA, "SAUL", kB);
  report.fixed = false;
  EXPECT_EQ(flagsOf(report), Flags{"float"});

  report = measured("CAST", kA, "SAUL", kB);
  report.ratio = 2.99;
  EXPECT_EQ(flagsOf(report), Flags{"low_ratio"});
  report.ratio = 3.0;
  EXPECT_EQ(flagsOf(report), Flags{});
  CheckOptions stricter;
  stricter.min_ratio = 5;
  EXPECT_EQ(flagsOf(report, stricter), Flags{"low_ratio"});
  report.markMissing(ReportItem::kRatio);  // a ratio not given is not a low one
  EXPECT_EQ(flagsOf(report, stricter), Flags{});

  report = madeReport("CAST", "SAUL", kA, {100, 200, 300}, 0.29);  // sigma3D 0.502
  EXPECT_EQ(flagsOf(report), Flags{"imprecise"});
  report = madeReport("CAST", "SAUL", kA, {100, 200, 300}, 0.28);  // 0.485
  EXPECT_EQ(flagsOf(report), Flags{});
}

TEST(BaselineFlags, IncompleteReportsNameWhatTheyLackAndTakePartInNothingElse) {
  const std::vector<std::pair<ReportItem, std::string>> needed{
      {ReportItem::kNames, "incomplete:names"}, {ReportItem::kVector, "incomplete:vector"},
      {ReportItem::kSigmas, "incomplete:sigmas"}, {ReportItem::kMark1, "incomplete:mark1"},
      {ReportItem::kDate, "incomplete:date"}};
  for (const auto& [item, flag] : needed) {
    Report report = measured("CAST", kA, "SAUL", kB);
    report.fixed = false;  // not shown: the report takes part in no other check
    report.markMissing(item);
    const BaselineCheck check = checkBaseline(report, 0, {});
    EXPECT_EQ(check.flags, Flags{flag});
    EXPECT_FALSE(check.usable) << flag;
  }
  Report singular = measured("CAST", kA, "SAUL", kB);
  singular.r_xy = 1.0;
  EXPECT_EQ(flagsOf(singular), Flags{"incomplete:covariance"});
  // Mark 2, the local components and the ratio are not needed.
  Report partial = measured("CAST", kA, "SAUL", kB);
  for (const ReportItem item : {ReportItem::kMark2, ReportItem::kLocal, ReportItem::kRatio})
    partial.markMissing(item);
  EXPECT_TRUE(checkBaseline(partial, 0, {}).usable);

  // An incomplete report's far-off mark 1 makes no station spread.
  Report far = measured("CAST", nearSurface(0, 1), "VERC", kB);
  far.markMissing(ReportItem::kDate);
  const std::vector<Report> reports{measured("CAST", kA, "SAUL", kB), far};
  const NetworkCheck network = checkNetwork(reports, {});
  ASSERT_EQ(network.stations.size(), 2u);  // CAST and SAUL
  EXPECT_FALSE(network.stations[0].flagged);
}

TEST(BaselineFlags, InconsistentWhenMarksOrLocalComponentsContradictTheVector) {
  Report report = measured("CAST", kA, "SAUL", kB);
  report.mark2.z += 0.0009;  // within the printed rounding
  report.local.n -= 0.0009;
  EXPECT_EQ(flagsOf(report), Flags{});

  report.mark2.z += 0.0012;
  BaselineCheck check = checkBaseline(report, 0, {});
  EXPECT_EQ(check.flags, Flags{"inconsistent:mark2"});
  EXPECT_TRUE(check.inconsistent);
  EXPECT_TRUE(check.usable);

  report = measured("CAST", kA, "SAUL", kB);
  report.local.e += 0.002;
  EXPECT_EQ(flagsOf(report), Flags{"inconsistent:local"});
  // The vector itself in the wrong frame (here: XYZ given as ENU) is found too.
  report.local = {report.vector.x, report.vector.y, report.vector.z};
  EXPECT_EQ(flagsOf(report), Flags{"inconsistent:local"});
}

TEST(StationSpread, FlagsTwoMarksUnderOneName) {
  const Cartesian c = nearSurface(-2, 5);
  const Cartesian a_moved{kA.x + 0.9, kA.y, kA.z + 0.9};  // 1.27 m from kA
  std::vector<Report> reports{measured("CAST", kA, "SAUL", kB), measured("CAST", a_moved, "CHAU", c),
                              measured("SAUL", kB, "CHAU", c)};
  NetworkCheck network = checkNetwork(reports, {});
  ASSERT_EQ(network.stations.size(), 3u);
  const StationCheck& cast = network.stations[0];
  EXPECT_EQ(cast.name, "CAST");
  EXPECT_TRUE(cast.flagged);
  EXPECT_NEAR(cast.spread, std::sqrt(2) * 0.9, 1e-9);
  EXPECT_EQ(cast.spread_from, 0u);
  EXPECT_EQ(cast.spread_to, 1u);
  EXPECT_FALSE(network.stations[1].flagged);  // CHAU: mark 2 of two reports, 0 m apart
  EXPECT_EQ(network.stations[1].coordinates, 2);
  EXPECT_TRUE(needsAttention(network, false));

  CheckOptions looser;
  looser.station_tolerance = 1.5;
  EXPECT_FALSE(checkNetwork(reports, looser).stations[0].flagged);

  // As an unknown station, a station's coordinates are its reports' marks 2.
  const Cartesian a_far{kA.x, kA.y + 2.0, kA.z};
  reports[2] = measured("SAUL", kB, "CAST", a_far);
  network = checkNetwork(reports, looser);
  EXPECT_TRUE(network.stations[0].flagged);
  EXPECT_NEAR(network.stations[0].spread, std::sqrt(0.81 + 4 + 0.81), 1e-9);
  EXPECT_EQ(network.stations[0].spread_to, 2u);
}

}  // namespace
}  // namespace velk

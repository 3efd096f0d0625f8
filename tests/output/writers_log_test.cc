// The LOG files of both editions: columns, the precision limit, the principal point and
// its console header, and values no field can show.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "output/writers.h"
#include "run/edition.h"
#include "tests/output/writer_test_support.h"

namespace velk {
namespace {

using testing::addBaseline;
using testing::CapturingSink;
using testing::cols;
using testing::setSigmas;

using testing::novrale;
using testing::quelmar;

const std::string kForeignOrigin = " -> Attention Pb station origine";

void placeMark1(BaselineRecord& e, double x, double y, double z) {
  e.mark1_x = x;
  e.mark1_y = y;
  e.mark1_z = z;
}

void setVector(BaselineRecord& e, double dx, double dy, double dz) {
  e.dx = dx;
  e.dy = dy;
  e.dz = dz;
}

// The typical baseline's mark 1 is where the rotated sigmas are known: .0020016,
// .0034320, .0035664 for sigmas .003, .002, .004.
TEST(NovraleLogGpps, WritesReportedComponentsWithRotatedSigmasUnderTheLimit) {
  BaselineTable table;
  addBaseline(table, "Fx");
  setSigmas(addBaseline(table, "Fx"), 0.3, 0.3, 0.3);  // sigma3D .52: left out
  BaselineRecord& passing = addBaseline(table, "Fx", "CD999990.001");
  setSigmas(passing, 0.2, 0.2, 0.2);  // sigma3D .35
  passing.fixed_station = "ST05";
  CapturingSink file, console;
  writeLogFile(file, console, table, novrale(), 4, "");
  ASSERT_EQ(file.lines.size(), 2u);
  EXPECT_TRUE(console.lines.empty());
  const std::string& line = file.lines[0];
  EXPECT_EQ(cols(line, 1, 13), "2023 123.526 ");
  EXPECT_EQ(cols(line, 14, 28), "  1000.250 .002");
  EXPECT_EQ(cols(line, 29, 44), "   1000.250 .003");
  EXPECT_EQ(cols(line, 45, 60), "    -12.500 .004");
  EXPECT_EQ(cols(line, 61, 76), "   1352.346 .005");
  EXPECT_EQ(cols(line, 77, 84), " Fx   7 ");  // ratio 7.99 truncated
  EXPECT_EQ(cols(line, 85, 92), "v.gpps /");
  EXPECT_EQ(cols(line, 93, 106), " ST01 AB123450");
  EXPECT_EQ(line.size(), 106u);
  EXPECT_EQ(cols(file.lines[1], 72, 76), " .346");
  EXPECT_EQ(cols(file.lines[1], 94, 106), "ST05 CD999990");
}

TEST(NovraleLogGeocentrique, WritesVectorAndSigmasAsReadWithThePrincipalPointsName) {
  BaselineTable table;
  addBaseline(table, "Fx");
  BaselineRecord& other = addBaseline(table, "Fl");
  other.fixed_station = "ST07";
  setSigmas(other, 0.1, 0.2, 0.3);
  setSigmas(addBaseline(table, "Fx"), 0.5, 0, 0);  // sigma3D exactly .5: left out
  CapturingSink file, console;
  writeLogFile(file, console, table, novrale(), 6, "");
  EXPECT_EQ(console.lines, std::vector<std::string>{" -"});
  ASSERT_EQ(file.lines.size(), 2u);
  const std::string& line = file.lines[0];
  EXPECT_EQ(cols(line, 14, 60), "   312.123 .003   -416.568 .002   1248.000 .004");
  EXPECT_EQ(cols(line, 78, 97), "Fx   7 v.geoc / ST01");
  EXPECT_EQ(cols(file.lines[1], 24, 44), " .100   -416.568 .200");
  EXPECT_EQ(cols(file.lines[1], 72, 97), " .374 Fl   7 v.geoc / ST01");
}

// Principal point ST01 at longitude 0 and latitude 0, where east is +Y, north +Z and up
// +X; the second baseline's own mark 1 is at longitude 100 grads, where east is -X.
TEST(NovraleLogCartesien, LaysEveryVectorOffFromThePrincipalPoint) {
  BaselineTable table;
  BaselineRecord& first = addBaseline(table, "Fx");
  placeMark1(first, 6378137, 0, 0);
  setVector(first, 10.25, 20.5, 30.75);
  setSigmas(first, 0.001, 0.002, 0.003);
  BaselineRecord& second = addBaseline(table, "Fx");
  placeMark1(second, 0, 6378137, 0);
  setVector(second, 1, 2, 3);
  setSigmas(second, 0.004, 0.005, 0.006);
  BaselineRecord& foreign = addBaseline(table, "Fx");
  foreign.fixed_station = "ST09";
  setSigmas(foreign, 0.2, 0.2, 0.2);
  BaselineRecord& foreign_imprecise = addBaseline(table, "Fx");
  foreign_imprecise.fixed_station = "ST08";
  setSigmas(foreign_imprecise, 0.3, 0.3, 0.3);
  CapturingSink file, console;
  writeLogFile(file, console, table, novrale(), 5, "");

  ASSERT_EQ(file.lines.size(), 5u);
  EXPECT_EQ(cols(file.lines[0], 14, 60), "    20.500 .002     30.750 .003     10.250 .001");
  // Components in the principal point's frame, sigmas in the frame of its own mark 1.
  EXPECT_EQ(cols(file.lines[1], 14, 60), "     2.000 .004      3.000 .006      1.000 .005");
  EXPECT_EQ(file.lines[2], kForeignOrigin);
  EXPECT_EQ(cols(file.lines[3], 85, 97), "v.local/ ST01");
  EXPECT_EQ(file.lines[4], kForeignOrigin);  // written although its record is not
  EXPECT_EQ(console.lines.size(), 9u);
}

TEST(NovraleLogCartesien, ConsoleHeaderShowsThePrincipalPoint) {
  BaselineTable table;
  BaselineRecord& first = addBaseline(table, "Fx");
  placeMark1(first, 0, 6378137, 0);  // longitude 100 grads
  CapturingSink file, console;
  writeLogFile(file, console, table, novrale(), 5, "");
  ASSERT_EQ(console.lines.size(), 9u);
  EXPECT_EQ(console.lines[0], " -");
  EXPECT_EQ(console.lines[1], " -- Coordonnees locales (Est-Nord-Z), dE,dN,dU (m):");
  EXPECT_EQ(console.lines[2], "    --------------------------------- cartesiens --");
  EXPECT_EQ(console.lines[3], "  - ");
  EXPECT_EQ(console.lines[4],
            "  Coord.geocentriques, ellipsoidiques et locales du     point principal:");
  const std::string& geocentric = console.lines[5];
  EXPECT_EQ(cols(geocentric, 1, 18), "     ST01   Xg  = ");
  EXPECT_EQ(cols(geocentric, 19, 39), "        .0000  Yg  = ");
  EXPECT_EQ(cols(geocentric, 40, 65), " 6378137.0000  Zg  =      ");
  const std::string& geographic = console.lines[6];
  EXPECT_EQ(cols(geographic, 1, 18), std::string(11, ' ') + " Long= ");
  EXPECT_EQ(cols(geographic, 19, 31), "  89.99999762");  // 100 grads times 0.9 in single
  EXPECT_EQ(cols(geographic, 32, 52), "  Lat =     .00000000");
  EXPECT_EQ(cols(geographic, 53, 60), "   He = ");
  EXPECT_EQ(console.lines[7], std::string(11, ' ') +
                                  " U0  =         .0000  V0  =         .0000"
                                  "   W0 =         .0000");
  EXPECT_EQ(console.lines[8], "ST02");
  EXPECT_EQ(file.lines.size(), 1u);
}

TEST(NovraleLog, EmptyTableWritesNoRecordAndCartesienNoHeader) {
  for (const std::int32_t type : {4, 5, 6}) {
    CapturingSink file, console;
    writeLogFile(file, console, BaselineTable{}, novrale(), type, "");
    EXPECT_TRUE(file.lines.empty()) << type;
    EXPECT_EQ(console.lines.size(), type == 6 ? 1u : 0u) << type;
  }
}

TEST(NovraleLog, RatiosNoFieldCanHoldBecomeAsterisks) {
  BaselineTable table;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const double ratio : {999.9, -5.7, 1000.0, 1e12, -1e12, nan}) {
    addBaseline(table, "Fx").ratio = ratio;
  }
  addBaseline(table, "Fx").dx = nan;
  CapturingSink file, console;
  writeLogFile(file, console, table, novrale(), 6, "");
  ASSERT_EQ(file.lines.size(), 7u);
  const char* expected[] = {"999", " -5", "***", "***", "***", "***"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(cols(file.lines[i], 81, 83), expected[i]) << i;
  EXPECT_EQ(cols(file.lines[6], 14, 28), "********** .003");
}

TEST(QuelmarLogEastNorthUp, WritesEveryEntryWithRatioAndFileNameCode) {
  BaselineTable table;
  addBaseline(table, " Fx.");
  setSigmas(addBaseline(table, " Fx."), 0.3, 0.3, 0.3);
  CapturingSink file, console;
  writeLogFile(file, console, table, quelmar(), 5, "GH");
  EXPECT_TRUE(console.lines.empty());
  ASSERT_EQ(file.lines.size(), 2u);
  const std::string& line = file.lines[0];
  EXPECT_EQ(cols(line, 1, 9), "123.526  ");
  EXPECT_EQ(cols(line, 10, 24), "  1000.250 .002");
  EXPECT_EQ(cols(line, 25, 40), "   1000.250 .003");
  EXPECT_EQ(cols(line, 41, 56), "    -12.500 .004");
  EXPECT_EQ(cols(line, 57, 72), "   1352.346 .005");
  EXPECT_EQ(cols(line, 73, 89), "   Fx.   7.99% GH");
  EXPECT_EQ(line.size(), 89u);
  EXPECT_EQ(cols(file.lines[1], 68, 72), " .520");
}

TEST(QuelmarLog, TypeFourWritesTheEastNorthUpRecordsAndTypeSixTheVector) {
  BaselineTable table;
  addBaseline(table, " Fl.").ratio = 0;
  CapturingSink five, four, six, console;
  writeLogFile(five, console, table, quelmar(), 5, "  ");
  writeLogFile(four, console, table, quelmar(), 4, "  ");
  writeLogFile(six, console, table, quelmar(), 6, "  ");
  EXPECT_EQ(four.lines, five.lines);
  EXPECT_EQ(cols(five.lines.at(0), 73, 89), "   Fl.    .00%   ");
  EXPECT_EQ(cols(six.lines.at(0), 10, 56), "   312.123 .003   -416.568 .002   1248.000 .004");
  EXPECT_TRUE(console.lines.empty());

  CapturingSink empty;
  writeLogFile(empty, console, BaselineTable{}, quelmar(), 6, "GH");
  EXPECT_TRUE(empty.lines.empty());
}

}  // namespace
}  // namespace velk

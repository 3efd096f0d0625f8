// The ratt-data, station, vector and vector-covariance files, checked column by column
// against their record tables.

#include "output/writers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "run/edition.h"
#include "tests/output/writer_test_support.h"

namespace velk {
namespace {

using testing::addBaseline;
using testing::CapturingSink;
using testing::cols;

using testing::novrale;
using testing::quelmar;

TEST(RattDataFile, EmptyTableGivesHeaderAndRuleOnly) {
  for (const WritingEdition* edition : {&quelmar(), &novrale()}) {
    CapturingSink file;
    writeRattDataFile(file, BaselineTable{}, *edition);
    ASSERT_EQ(file.lines.size(), 2u);
    const std::string& header = file.lines[0];
    EXPECT_EQ(cols(header, 1, 14), std::string(14, ' '));
    EXPECT_EQ(cols(header, 15, 21), " dE (x)");
    EXPECT_EQ(cols(header, 26, 32), " dN (y)");
    EXPECT_EQ(cols(header, 37, 43), " dH (z)");
    EXPECT_EQ(cols(header, 48, 52), "Azim.");
    EXPECT_EQ(cols(header, 57, 61), "Dist.");
    EXPECT_EQ(header.size(), 61u);
    EXPECT_EQ(file.lines[1], " " + std::string(54, '-') + " " + std::string(18, '-'));
  }
}

TEST(RattDataFile, NovraleRecordColumns) {
  BaselineTable table;
  addBaseline(table, "Fx");
  CapturingSink file;
  writeRattDataFile(file, table, novrale());
  ASSERT_EQ(file.lines.size(), 3u);
  const std::string& line = file.lines[2];
  EXPECT_EQ(cols(line, 1, 13), " ST01  ST02  ");
  EXPECT_EQ(cols(line, 14, 22), " 1000.250");
  EXPECT_EQ(cols(line, 24, 32), " 1000.250");
  EXPECT_EQ(cols(line, 34, 42), "  -12.500");
  EXPECT_EQ(cols(line, 44, 52), "  50.0000");  // north-east: half of 100 grads
  EXPECT_EQ(cols(line, 54, 62), " 1352.346");
  EXPECT_EQ(cols(line, 64, 70), "  .0054");  // sqrt(.004^2 + .002^2 + .003^2) = .005385
  EXPECT_EQ(cols(line, 71, 81), "    0     0");
  EXPECT_EQ(cols(line, 82, 87), "   123");
  EXPECT_EQ(cols(line, 88, 94), "    Fx ");
  EXPECT_EQ(cols(line, 95, 102), "AB123450");
  EXPECT_EQ(line.size(), 102u);
}

TEST(RattDataFile, QuelmarLeavesStationNumberColumnsBlank) {
  BaselineTable table;
  addBaseline(table, " Fx.");
  CapturingSink file;
  writeRattDataFile(file, table, quelmar());
  const std::string& line = file.lines.at(2);
  EXPECT_EQ(cols(line, 54, 70), " 1352.346   .0054");
  EXPECT_EQ(cols(line, 71, 81), std::string(11, ' '));
  EXPECT_EQ(cols(line, 82, 87), "   123");
  EXPECT_EQ(cols(line, 90, 93), " Fx.");
  EXPECT_EQ(cols(line, 95, 102), "AB123450");
}

TEST(RattDataFile, AzimuthAndSigma3DEdges) {
  BaselineTable table;
  const double angle = -12.3456 * (4 * std::atan(1.0) / 200);
  BaselineRecord& west_of_north = addBaseline(table, "Fx");
  west_of_north.enu1_e = 100 * std::sin(angle);
  west_of_north.enu1_n = 100 * std::cos(angle);
  testing::setSigmas(west_of_north, 0.0123, 0, 0);
  BaselineRecord& imprecise = addBaseline(table, "Fx");
  testing::setSigmas(imprecise, 100, 0, 0);
  CapturingSink file;
  writeRattDataFile(file, table, novrale());
  EXPECT_EQ(cols(file.lines.at(2), 43, 52), "  -12.3456");  // the 1X, then the F9.4 field
  EXPECT_EQ(cols(file.lines.at(2), 64, 70), "  .0123");
  EXPECT_EQ(cols(file.lines.at(3), 64, 70), "*******");
}

TEST(StationFile, TwoRecordsPerEntryEachWithItsOwnReportsCoordinates) {
  BaselineTable table;
  addBaseline(table, "Fx");
  BaselineRecord& second = addBaseline(table, "Fx", "AB123460.001");
  second.fixed_station = "ST02";
  second.unknown_station = "ST03";
  second.mark1_x = 4201312.1251;  // ST02 as the second report gives it
  second.day_number = 7;
  CapturingSink file;
  writeStationFile(file, table);
  ASSERT_EQ(file.lines.size(), 4u);
  const std::string& first = file.lines[0];
  EXPECT_EQ(cols(first, 1, 8), "1  ST01 ");
  EXPECT_EQ(cols(first, 9, 20), " 4201000.000");
  EXPECT_EQ(cols(first, 22, 33), "  168000.000");
  EXPECT_EQ(cols(first, 35, 46), " 4780000.000");
  EXPECT_EQ(cols(first, 47, 69), "   1.000  1.000  1.000 ");
  EXPECT_EQ(cols(first, 70, 78), "ST01  123");
  EXPECT_EQ(first.size(), 78u);
  EXPECT_EQ(cols(file.lines[1], 4, 46), "ST02  4201312.123   167583.432  4781248.000");
  EXPECT_EQ(cols(file.lines[1], 70, 78), "ST02  123");
  EXPECT_EQ(cols(file.lines[2], 4, 20), "ST02  4201312.125");
  EXPECT_EQ(cols(file.lines[2], 70, 78), "ST02    7");
  EXPECT_EQ(cols(file.lines[3], 70, 73), "ST03");
}

TEST(StationFile, FarthestCoordinateFillsItsFieldAndEmptyTableWritesNothing) {
  BaselineTable table;
  addBaseline(table, "Fx").mark1_x = -6378137.0004;
  CapturingSink file;
  writeStationFile(file, table);
  EXPECT_EQ(cols(file.lines.at(0), 8, 20), " -6378137.000");

  CapturingSink empty;
  writeStationFile(empty, BaselineTable{});
  EXPECT_TRUE(empty.lines.empty());
}

TEST(VectorFile, NovraleWritesTheNameOnTheXLineOnly) {
  BaselineTable table;
  addBaseline(table, "Fx");
  CapturingSink file;
  writeVectorFile(file, table, novrale());
  ASSERT_EQ(file.lines.size(), 3u);
  const std::string& x = file.lines[0];
  EXPECT_EQ(cols(x, 1, 15), "12  ST01  ST02 ");
  EXPECT_EQ(cols(x, 16, 27), "    312.1234");
  EXPECT_EQ(cols(x, 29, 36), "   .0030");
  EXPECT_EQ(cols(x, 37, 52), "   0   0     123");
  EXPECT_EQ(cols(x, 53, 67), "    Fx AB123450");
  EXPECT_EQ(x.size(), 67u);
  EXPECT_EQ(cols(file.lines[1], 1, 36), "13  ST01  ST02    -416.5678    .0020");
  EXPECT_EQ(cols(file.lines[2], 1, 36), "14  ST01  ST02    1248.0000    .0040");
  for (int i : {1, 2}) {
    EXPECT_EQ(cols(file.lines[i], 37, 58), "   0   0     123    Fx");
    EXPECT_EQ(file.lines[i].size(), 58u);
  }
}

TEST(VectorFile, QuelmarLinesCarryTimesRatioAndEndEarly) {
  BaselineTable table;
  addBaseline(table, " Fx.");
  CapturingSink file;
  writeVectorFile(file, table, quelmar());
  ASSERT_EQ(file.lines.size(), 3u);
  const std::string& x = file.lines[0];
  EXPECT_EQ(cols(x, 1, 13), "12 ST01 ST02 ");
  EXPECT_EQ(cols(x, 14, 25), "    312.1234");
  EXPECT_EQ(cols(x, 27, 34), "   .0030");
  EXPECT_EQ(cols(x, 35, 48), "   0   0   123");
  EXPECT_EQ(cols(x, 49, 60), " 10:30 14:45");
  EXPECT_EQ(cols(x, 61, 79), "   Fx.     AB123450");
  EXPECT_EQ(x.size(), 79u);
  const std::string& y = file.lines[1];
  EXPECT_EQ(cols(y, 1, 42), "13 ST01 ST02    -416.5678    .0020   0   0");
  EXPECT_EQ(cols(y, 43, 64), std::string(22, ' '));
  EXPECT_EQ(cols(y, 65, 71), "  7.99%");
  EXPECT_EQ(y.size(), 71u);
  EXPECT_EQ(file.lines[2], "14 ST01 ST02    1248.0000    .0040   0   0");
}

TEST(VectorFile, QuelmarEntryWithoutFixedSectionShowsZeroRatio) {
  BaselineTable table;
  BaselineRecord& float_only = addBaseline(table, " Fl.");
  float_only.ratio = 0;
  CapturingSink file;
  writeVectorFile(file, table, quelmar());
  EXPECT_EQ(cols(file.lines.at(0), 63, 66), " Fl.");
  EXPECT_EQ(cols(file.lines.at(1), 65, 71), "   .00%");
}

TEST(VectorFile, EmptyTableWritesNothing) {
  for (const WritingEdition* edition : {&quelmar(), &novrale()}) {
    CapturingSink file;
    writeVectorFile(file, BaselineTable{}, *edition);
    EXPECT_TRUE(file.lines.empty());
  }
}

TEST(VectorCovarianceFile, VectorRecordColumnsAndOverlongLength) {
  BaselineTable table;
  addBaseline(table, "Fx");
  addBaseline(table, "Fx").length = 9999999.9999;
  addBaseline(table, "Fx").length = 12345678.9;
  CapturingSink file;
  writeVectorCovarianceFile(file, table);
  ASSERT_EQ(file.lines.size(), 6u);
  const std::string& vector = file.lines[0];
  EXPECT_EQ(cols(vector, 1, 15), "11  ST01  ST02 ");
  EXPECT_EQ(cols(vector, 16, 27), "    312.1234");
  EXPECT_EQ(cols(vector, 29, 40), "   -416.5678");
  EXPECT_EQ(cols(vector, 42, 53), "   1248.0000");
  EXPECT_EQ(cols(vector, 55, 66), "   1352.3456");
  EXPECT_EQ(vector.size(), 66u);
  EXPECT_EQ(cols(file.lines[2], 55, 66), "9999999.9999");
  EXPECT_EQ(cols(file.lines[4], 55, 66), std::string(12, '*'));
}

TEST(VectorCovarianceFile, CovarianceTermsAreSquaredSigmasAndStoredCovariances) {
  BaselineTable table;
  BaselineRecord& e = addBaseline(table, "Fx");
  testing::setSigmas(e, 0.0123, 0.002, 0.004);
  e.cov_xy = -0.000004321;  // the reader stores covariances: written as they stand
  e.cov_xz = 0.0000012;
  e.cov_yz = 0;
  CapturingSink file;
  writeVectorCovarianceFile(file, table);
  const std::string& covariance = file.lines.at(1);
  EXPECT_EQ(cols(covariance, 1, 12), "   .1513E-03");
  EXPECT_EQ(cols(covariance, 13, 23), " -.4321E-05");
  EXPECT_EQ(cols(covariance, 24, 34), "  .1200E-05");
  EXPECT_EQ(cols(covariance, 35, 45), "  .4000E-05");
  EXPECT_EQ(cols(covariance, 46, 56), "  .0000E+00");
  EXPECT_EQ(cols(covariance, 57, 67), "  .1600E-04");
  EXPECT_EQ(covariance.size(), 67u);

  CapturingSink empty;
  writeVectorCovarianceFile(empty, BaselineTable{});
  EXPECT_TRUE(empty.lines.empty());
}

}  // namespace
}  // namespace velk

#include "tools/synthetic_network.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "geodesy/geodesy.h"
#include "tests/run/program_runner.h"
#include "tests/tools/report_fields.h"

namespace velk::campaign {
namespace {

// The fixed section of a report as a reader sees it, with the report's session lines.
struct FixedSection {
  Triple vector{}, mark1{}, enu{}, mark2{};
  double sigma[3] = {0, 0, 0};
  double r_xy = 0, r_xz = 0, r_yz = 0;
  double ratio = 0;
  std::string start, end, baseline;
};

void readFixedLine(const std::string& line, FixedSection& section) {
  const std::string key = columns(line, 1, 10);
  if (key == "  Sigmax (") section.sigma[0] = std::stod(columns(line, 18, 27));
  if (key == "  Sigmay (") section.sigma[1] = std::stod(columns(line, 18, 27));
  if (key == "  Sigmaz (") section.sigma[2] = std::stod(columns(line, 18, 27));
  if (line[0] == 'y' && holdsFixedPoint(columns(line, 2, 6), 2)) {
    section.r_xy = std::stod(columns(line, 2, 6));
  }
  if (line[0] == 'z' && holdsFixedPoint(columns(line, 2, 6), 2)) {
    section.r_xz = std::stod(columns(line, 2, 6));
    section.r_yz = std::stod(columns(line, 8, 12));
  }
  if (columns(line, 36, 42) == "Integer") section.ratio = std::stod(columns(line, 59, 66));
  if (columns(line, 1, 17) == " Baseline vector:") section.vector = vectorFields(line);
  if (key == " Mark1_xyz") section.mark1 = coordinateFields(line);
  if (key == " E1 N1 U1 ") section.enu = coordinateFields(line);
  if (key == " Mark2_xyz") section.mark2 = coordinateFields(line);
}

// The section whose title opens with `title`, and those after it.
FixedSection fixedSectionOf(const std::string& text, const std::string& title = "THE FIXED") {
  FixedSection section;
  bool inFixed = false;
  for (std::string line : linesOf(text)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (columns(line, 1, 13) == "Common start ") section.start = line;
    if (columns(line, 1, 13) == "Common end   ") section.end = line;
    if (columns(line, 1, 9) == "Baseline ") section.baseline = columns(line, 29, 40);
    inFixed = inFixed || line.rfind(title, 0) == 0;
    if (inFixed && !line.empty()) readFixedLine(line, section);
  }
  return section;
}

std::int64_t inTenths(double metres) {
  return std::llround(metres * 10000);
}

bool same(const Coordinates& a, const Coordinates& b) {
  if (a.size() != b.size()) return false;
  for (const auto& [name, p] : a) {
    const auto found = b.find(name);
    if (found == b.end()) return false;
    const Cartesian& q = found->second;
    if (p.x != q.x || p.y != q.y || p.z != q.z) return false;
  }
  return true;
}

NetworkOptions options(int stations, std::vector<Measurement> measurements,
                       std::uint64_t seed = 5) {
  NetworkOptions result;
  result.stations = stations;
  result.measurements = std::move(measurements);
  result.seed = seed;
  return result;
}

TEST(SyntheticNetwork, IsDeterminedByItsOptionsAndKeepsItsTruth) {
  NetworkOptions chosen = options(12, measureEach(trianglesPairs(12), 2));
  const Network first = generateNetwork(chosen);
  const Network again = generateNetwork(chosen);
  ASSERT_EQ(first.reports.size(), 2 * 21u);
  for (std::size_t i = 0; i < first.reports.size(); ++i) {
    EXPECT_EQ(first.reports[i].name, again.reports[i].name);
    EXPECT_EQ(first.reports[i].text, again.reports[i].text);
  }
  EXPECT_TRUE(same(first.truth, networkTruth(chosen)));

  // The truth depends on the seed, the station count and the spread only.
  NetworkOptions other = chosen;
  other.measurements = measureEach(completePairs(12));
  other.correlation_rows = false;
  other.a_priori_offset = 2;
  EXPECT_TRUE(same(networkTruth(other), first.truth));
  other.seed = 6;
  EXPECT_FALSE(same(networkTruth(other), first.truth));
}

// Every report: a fixed section with a ratio of at least 3, mark 1 the a priori coordinates
// of its from-station, vector = mark 2 - mark 1 to the printed digit and E1 N1 U1 that vector
// in the frame TRLOC takes at mark 1; the stations within the spread.
TEST(SyntheticNetwork, ReportsAreGeometricallyConsistent) {
  for (double spreadKm : {0.005, 10.0, 300.0}) {
    NetworkOptions chosen = options(9, inSessionsOf(measureEach(gridPairs(3, 3), 2), 3));
    chosen.spread_km = spreadKm;
    chosen.a_priori_offset = 0.5;
    chosen.line_ends = LineEnds::kDos;
    const Network network = generateNetwork(chosen);

    std::set<std::string> names;
    for (std::size_t i = 0; i < network.reports.size(); ++i) {
      const NetworkReport& report = network.reports[i];
      EXPECT_TRUE(names.insert(report.name).second) << report.name << " twice";
      const FixedSection fixed = fixedSectionOf(report.text);
      EXPECT_EQ(fixed.baseline, report.from + " -> " + report.to);
      EXPECT_GE(fixed.ratio, 3) << report.name;
      EXPECT_EQ(fixed.mark2.x - fixed.mark1.x, fixed.vector.x) << report.name;
      EXPECT_EQ(fixed.mark2.y - fixed.mark1.y, fixed.vector.y) << report.name;
      EXPECT_EQ(fixed.mark2.z - fixed.mark1.z, fixed.vector.z) << report.name;
      const Cartesian& aPriori = network.a_priori.at(report.from);
      EXPECT_EQ(fixed.mark1.x, inTenths(aPriori.x)) << report.name;
      EXPECT_EQ(fixed.mark1.z, inTenths(aPriori.z)) << report.name;
      const LocalENU local = TRLOC(inMetres(fixed.mark2), inMetres(fixed.mark1));
      EXPECT_NEAR(static_cast<double>(fixed.enu.x) / 10000, local.e, 0.50001e-4) << report.name;
      EXPECT_NEAR(static_cast<double>(fixed.enu.y) / 10000, local.n, 0.50001e-4) << report.name;
      EXPECT_NEAR(static_cast<double>(fixed.enu.z) / 10000, local.u, 0.50001e-4) << report.name;
      // Sessions of three reports share their start and end.
      const FixedSection& opener = fixedSectionOf(network.reports[i - i % 3].text);
      EXPECT_EQ(fixed.start, opener.start) << report.name;
      EXPECT_EQ(fixed.end, opener.end) << report.name;
    }
    EXPECT_NE(fixedSectionOf(network.reports[0].text).start,
              fixedSectionOf(network.reports[3].text).start);

    double widest = 0;
    for (const auto& [name, a] : network.truth) {
      for (const auto& [other, b] : network.truth) {
        widest = std::max(widest, std::hypot(a.x - b.x, a.y - b.y, a.z - b.z));
      }
      const Cartesian& aPriori = network.a_priori.at(name);
      for (double offset : {aPriori.x - a.x, aPriori.y - a.y, aPriori.z - a.z}) {
        EXPECT_LE(std::abs(offset), 0.5) << name;
      }
    }
    EXPECT_LE(widest, 1.5 * spreadKm * 1000);
    EXPECT_GE(widest, 0.3 * spreadKm * 1000);
  }
}

TEST(SyntheticNetwork, AnErrorMovesVectorMarkTwoAndLocalComponentsTogether) {
  const NetworkOptions clean = options(6, measureEach(ringPairs(6), 2));
  const Network reference = generateNetwork(clean);

  NetworkOptions blundered = clean;
  blundered.error = InjectedError{4, {0.0523, -0.0311, 0.1007}};
  NetworkOptions raised = clean;
  raised.error = errorAlong(clean, 7, Axis::kUp, 0.05);
  for (const NetworkOptions& changed : {blundered, raised}) {
    const Network network = generateNetwork(changed);
    const auto k = static_cast<std::size_t>(changed.error->report);
    for (std::size_t i = 0; i < network.reports.size(); ++i) {
      if (i != k) {
        EXPECT_EQ(network.reports[i].text, reference.reports[i].text) << i;
      }
    }
    const FixedSection before = fixedSectionOf(reference.reports[k].text);
    const FixedSection after = fixedSectionOf(network.reports[k].text);
    const Cartesian& error = changed.error->geocentric;
    EXPECT_EQ(after.vector.x - before.vector.x, inTenths(error.x));
    EXPECT_EQ(after.vector.y - before.vector.y, inTenths(error.y));
    EXPECT_EQ(after.vector.z - before.vector.z, inTenths(error.z));
    EXPECT_EQ(after.mark2.x - before.mark2.x, inTenths(error.x));
    EXPECT_EQ(after.mark2.y - before.mark2.y, inTenths(error.y));
    EXPECT_EQ(after.mark2.z - before.mark2.z, inTenths(error.z));
    const Cartesian mark1 = inMetres(before.mark1);
    const LocalENU moved = TRLOC({mark1.x + error.x, mark1.y + error.y, mark1.z + error.z}, mark1);
    EXPECT_NEAR(static_cast<double>(after.enu.x - before.enu.x) / 10000, moved.e, 1.5e-4);
    EXPECT_NEAR(static_cast<double>(after.enu.y - before.enu.y) / 10000, moved.n, 1.5e-4);
    EXPECT_NEAR(static_cast<double>(after.enu.z - before.enu.z) / 10000, moved.u, 1.5e-4);
  }
  // Along the up axis of the report's mark 1, by the size given.
  const Cartesian mark1 = inMetres(fixedSectionOf(reference.reports[7].text).mark1);
  const Cartesian& up = raised.error->geocentric;
  const LocalENU local = TRLOC({mark1.x + up.x, mark1.y + up.y, mark1.z + up.z}, mark1);
  EXPECT_NEAR(local.e, 0, 1e-9);
  EXPECT_NEAR(local.n, 0, 1e-9);
  EXPECT_NEAR(local.u, 0.05, 1e-9);
}

TEST(SyntheticNetwork, AJumpStaysInEveryReportFromItsOwnOn) {
  const NetworkOptions clean = options(2, measureEach({{0, 1}}, 10));
  const Network reference = generateNetwork(clean);
  NetworkOptions jumped = clean;
  jumped.error = errorAlong(clean, 6, Axis::kNorth, 0.03);
  jumped.error_persists = true;
  const Network network = generateNetwork(jumped);
  for (std::size_t i = 0; i < network.reports.size(); ++i) {
    const FixedSection before = fixedSectionOf(reference.reports[i].text);
    const FixedSection after = fixedSectionOf(network.reports[i].text);
    EXPECT_EQ(after.vector.y - before.vector.y, i < 6 ? 0 : inTenths(jumped.error->geocentric.y)) << i;
    EXPECT_NEAR(static_cast<double>(after.enu.y - before.enu.y) / 10000, i < 6 ? 0 : 0.03, 1.5e-4) << i;
  }
}

// d' C^-1 d with C^-1 from the adjugate, independent of how the generator factors C.
double squaredNormalisedResidual(const FixedSection& section, const Cartesian& residual) {
  const double* s = section.sigma;
  const double r[3][3] = {{1, section.r_xy, section.r_xz},
                          {section.r_xy, 1, section.r_yz},
                          {section.r_xz, section.r_yz, 1}};
  double c[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) c[i][j] = s[i] * r[i][j] * s[j];
  }
  const double d[3] = {residual.x, residual.y, residual.z};
  double sum = 0;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
      const double cofactor = c[j1][i1] * c[j2][i2] - c[j1][i2] * c[j2][i1];
      sum += d[i] * cofactor * d[j];
    }
  }
  const double determinant = c[0][0] * (c[1][1] * c[2][2] - c[1][2] * c[2][1]) -
                             c[0][1] * (c[1][0] * c[2][2] - c[1][2] * c[2][0]) +
                             c[0][2] * (c[1][0] * c[2][1] - c[1][1] * c[2][0]);
  return sum / determinant;
}

// The printed vector minus the true one, normalised by the printed covariance, is chi-square
// with 3 degrees of freedom: a wrong unit, a wrong factor or a correlation applied the wrong
// way moves its mean off 3 (the mean of 1500 values has a standard deviation of 0.063).
TEST(SyntheticNetwork, NoiseFollowsThePrintedCovariance) {
  for (bool correlationRows : {true, false}) {
    NetworkOptions chosen = options(6, measureEach(completePairs(6), 100), 17);
    chosen.spread_km = 200;
    chosen.correlation_rows = correlationRows;
    const Network network = generateNetwork(chosen);
    double sum = 0;
    int strongCorrelations = 0;
    for (const NetworkReport& report : network.reports) {
      const FixedSection fixed = fixedSectionOf(report.text);
      const Cartesian& from = network.truth.at(report.from);
      const Cartesian& to = network.truth.at(report.to);
      const Cartesian measured = inMetres(fixed.vector);
      sum += squaredNormalisedResidual(fixed,
                                       {measured.x - (to.x - from.x), measured.y - (to.y - from.y),
                                        measured.z - (to.z - from.z)});
      if (std::abs(fixed.r_xz) >= 0.5) ++strongCorrelations;
    }
    ASSERT_EQ(network.reports.size(), 1500u);
    EXPECT_NEAR(sum / 1500, 3, 0.2) << "correlation rows " << correlationRows;
    EXPECT_EQ(strongCorrelations > 1000, correlationRows);
  }
}

TEST(SyntheticNetwork, ShapesAndOptionsOutOfRange) {
  EXPECT_EQ(ringPairs(20).size(), 20u);
  EXPECT_EQ(gridPairs(4, 5).size(), 31u);
  EXPECT_EQ(completePairs(6).size(), 15u);
  EXPECT_EQ(trianglesPairs(20).size(), 37u);
  const std::vector<std::pair<std::vector<StationPair>, int>> shapes{
      {ringPairs(7), 7}, {gridPairs(3, 4), 12}, {completePairs(5), 5}, {trianglesPairs(8), 8}};
  for (const auto& [pairs, stations] : shapes) {
    std::set<int> named;
    for (const StationPair& pair : pairs) named.insert({pair.from, pair.to});
    EXPECT_EQ(named.size(), static_cast<std::size_t>(stations));
    EXPECT_EQ(*named.begin(), 0);
    EXPECT_EQ(*named.rbegin(), stations - 1);
  }
  EXPECT_EQ(measureEach(ringPairs(20), 3).size(), 60u);

  EXPECT_THROW(generateNetwork(options(4, {{{0, 4}}})), std::invalid_argument);
  EXPECT_THROW(generateNetwork(options(4, {{{2, 2}}})), std::invalid_argument);
  EXPECT_THROW(generateNetwork(options(10001, {})), std::invalid_argument);
  NetworkOptions crowded = options(4, measureEach(ringPairs(4), 25));
  for (Measurement& measurement : crowded.measurements) measurement.session = 1;
  EXPECT_THROW(generateNetwork(crowded), std::invalid_argument);
  NetworkOptions missing = options(4, measureEach(ringPairs(4)));
  missing.error = InjectedError{4, {0.1, 0, 0}};
  EXPECT_THROW(generateNetwork(missing), std::invalid_argument);
}

// Beyond S999 the names go on in base 36 after a T, in the order of their numbers.
TEST(SyntheticNetwork, StationNamesSortAsTheirNumbers) {
  EXPECT_EQ(stationName(0), "S001");
  EXPECT_EQ(stationName(998), "S999");
  EXPECT_EQ(stationName(999), "T000");
  EXPECT_EQ(stationName(1009), "T00A");
  EXPECT_EQ(stationName(999 + 36), "T010");
  std::string previous;
  for (int i = 0; i < kMaxNetworkStations; ++i) {
    const std::string name = stationName(i);
    ASSERT_EQ(name.size(), 4u) << i;
    ASSERT_LT(previous, name) << i;
    previous = name;
  }
}

// Float-only reports, outliers, velocities and the report interval, against the same network
// without them, and read back from the truth file.
TEST(SyntheticNetwork, FloatReportsOutliersAndVelocitiesAreWrittenIntoTheTruth) {
  const NetworkOptions clean = options(2, measureEach({{0, 1}}, 40), 9);
  NetworkOptions changed = clean;
  changed.float_fraction = 0.2;
  changed.outliers = {3, 0.05};
  const Network reference = generateNetwork(clean);
  const Network network = generateNetwork(changed);
  const TruthFile truth = readTruthFile(truthFileText(network, changed));
  EXPECT_EQ(truth.float_reports.size(), 8u);
  EXPECT_EQ(truth.outliers.size(), 3u);
  const Cartesian& from = network.truth.at("S001");
  const Cartesian& to = network.truth.at("S002");
  for (std::size_t i = 0; i < network.reports.size(); ++i) {
    const NetworkReport& report = network.reports[i];
    const bool isFloat = truth.float_reports.count(report.name) == 1;
    const bool isOutlier = truth.outliers.count(report.name) == 1;
    EXPECT_EQ(isFloat, report.text.find("THE FIXED SOLUTION") == std::string::npos) << i;
    if (!isFloat && !isOutlier) {
      EXPECT_EQ(report.text, reference.reports[i].text) << i;
    }
    if (isOutlier && !isFloat) {
      const Cartesian moved = truth.outliers.at(report.name);
      EXPECT_NEAR(std::hypot(moved.x, moved.y, moved.z), 0.05, 1e-4);
      const Triple after = fixedSectionOf(report.text).vector;
      const Triple before = fixedSectionOf(reference.reports[i].text).vector;
      EXPECT_EQ(after.x - before.x, inTenths(moved.x));
      EXPECT_EQ(after.z - before.z, inTenths(moved.z));
    }
    if (isFloat) {
      const Cartesian v = inMetres(fixedSectionOf(report.text, "THE FLOAT").vector);
      const Cartesian off = truth.float_reports.at(report.name);
      EXPECT_NEAR(v.x - (to.x - from.x), off.x, 0.6e-4) << report.name;
      EXPECT_NEAR(v.z - (to.z - from.z), off.z, 0.6e-4) << report.name;
      if (!isOutlier) {
        EXPECT_LT(std::hypot(off.x, off.y, off.z), 0.3) << report.name;
      }
    }
  }

  // Station 2 moving 1 cm a year north, a report every 30 days: the vector lengthens or
  // shortens with the time since the first report, which the truth names.
  NetworkOptions moving = clean;
  moving.every_days = 30;
  moving.velocities = {{1, Axis::kNorth, 0.01}};
  NetworkOptions still = clean;
  still.every_days = 30;
  const Network moved = generateNetwork(moving);
  const Network resting = generateNetwork(still);
  const TruthFile movingTruth = readTruthFile(truthFileText(moved, moving));
  EXPECT_EQ(movingTruth.every_days, 30);
  ASSERT_EQ(movingTruth.velocities.size(), 1u);
  EXPECT_EQ(movingTruth.velocities[0].station, "S002");
  EXPECT_EQ(movingTruth.velocities[0].axis, "north");
  EXPECT_EQ(movingTruth.velocities[0].metres_per_year, 0.01);
  EXPECT_EQ(movingTruth.reference_epoch.size(), 19u);
  EXPECT_TRUE(same(movingTruth.stations, moved.truth));
  std::set<std::string> names;
  for (std::size_t i = 0; i < moved.reports.size(); ++i) {
    names.insert(moved.reports[i].name);
    EXPECT_NEAR(moved.reports[i].years, 30.0 * static_cast<double>(i) / 365.25, 0.3 / 365.25);
    const FixedSection a = fixedSectionOf(moved.reports[i].text);
    const FixedSection b = fixedSectionOf(resting.reports[i].text);
    EXPECT_NEAR(static_cast<double>(a.enu.y - b.enu.y) / 10000, 0.01 * moved.reports[i].years,
                1.5e-4)
        << i;
    EXPECT_NEAR(static_cast<double>(a.enu.x - b.enu.x) / 10000, 0, 1.5e-4) << i;
  }
  EXPECT_EQ(names.size(), moved.reports.size());
  EXPECT_GT(moved.reports.back().years, 3);
  EXPECT_THROW(readTruthFile("S001 1 2\n"), std::invalid_argument);
}

using velk::testing::ProgramRun;
using velk::testing::readFile;
using velk::testing::ScratchFolder;

// The command-line mode writes what the library writes for the same options.
TEST(SyntheticNetwork, WrittenByTheLibraryAndTheCommandLineAlike) {
  const ScratchFolder scratch("network");
  NetworkOptions chosen = options(6, inSessionsOf(measureEach(trianglesPairs(6), 2), 3), 3);
  chosen.spread_km = 2.5;
  chosen.correlation_rows = false;
  chosen.line_ends = LineEnds::kUnix;
  chosen.ratio_lines = RatioLines::kQuelmar;
  chosen.error = errorAlong(chosen, 4, Axis::kNorth, 0.03);
  const NetworkFiles files = writeNetwork(chosen, scratch / "api");

  std::string listed;
  for (const auto& report : files.reports) listed += report.filename().string() + "\n";
  EXPECT_EQ(readFile(files.list), listed);
  const Coordinates expected = networkTruth(chosen);
  std::istringstream truthLines(readFile(files.truth));
  std::string name;
  Cartesian point;
  int stations = 0;
  for (; truthLines >> name >> point.x >> point.y >> point.z; ++stations) {
    const Cartesian& truth = expected.at(name);
    EXPECT_TRUE(truth.x == point.x && truth.y == point.y && truth.z == point.z) << name;
  }
  EXPECT_EQ(stations, 6);

  const ProgramRun run = scratch.run("campaign_generator", "",
                                     {"--network",      "6",       "--pairs",        "triangles",
                                      "--repeats",      "2",       "--session-size", "3",
                                      "--seed",         "3",       "--spread-km",    "2.5",
                                      "--correlations", "no",      "--line-ends",    "unix",
                                      "--edition",      "quelmar", "--error",        "5,north,0.03",
                                      "--dir",          "cli"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const auto& path : files.reports) {
    EXPECT_EQ(readFile(scratch / "cli" / path.filename().string()), readFile(path));
  }
  EXPECT_EQ(readFile(scratch / "cli" / "NETWORK.LST"), readFile(files.list));
  EXPECT_EQ(readFile(scratch / "cli" / "TRUTH.TXT"), readFile(files.truth));

  chosen.float_fraction = 0.25;
  chosen.velocities = {{5, Axis::kUp, -0.002}, {0, Axis::kX, 0.001}};
  chosen.every_days = 2;
  chosen.outliers = {2, 0.1};
  const NetworkFiles more = writeNetwork(chosen, scratch / "api-more");
  const ProgramRun runMore = scratch.run(
      "campaign_generator", "", {"--network",      "6",         "--pairs",        "triangles",
                                 "--repeats",      "2",         "--session-size", "3",
                                 "--seed",         "3",         "--spread-km",    "2.5",
                                 "--correlations", "no",        "--line-ends",    "unix",
                                 "--edition",      "quelmar",   "--error",        "5,north,0.03",
                                 "--float",        "0.25",      "--velocity",     "S006,up,-0.002",
                                 "--velocity",     "1,x,0.001", "--every",        "2",
                                 "--outliers",     "2,0.1",     "--dir",          "cli-more"});
  ASSERT_EQ(runMore.status, 0) << runMore.err;
  for (const auto& path : more.reports) {
    EXPECT_EQ(readFile(scratch / "cli-more" / path.filename().string()), readFile(path));
  }
  EXPECT_EQ(readFile(scratch / "cli-more" / "TRUTH.TXT"), readFile(more.truth));
  EXPECT_EQ(readTruthFile(readFile(more.truth)).outliers.size(), 2u);

  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"--network", "6", "--pairs", "1-7", "--dir", "x"},
        {"--network", "6", "--pairs", "grid:2x2", "--dir", "x"},
        {"--network", "6", "--error", "13,0.1,0,0", "--dir", "x"},
        {"--reports", "6", "--spread-km", "3", "--dir", "x"},
        {"--network", "6", "--velocity", "S007,up,0.01", "--dir", "x"},
        {"--network", "6", "--outliers", "7,0.1", "--dir", "x"},
        {"--network", "6", "--float", "1.5", "--dir", "x"}}) {
    EXPECT_EQ(scratch.run("campaign_generator", "", wrong).status, 2) << wrong[3];
  }
}

}  // namespace
}  // namespace velk::campaign

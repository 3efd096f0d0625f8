// The SINEX writer read back by the test's own column reader: header, sites, epochs,
// estimates, statistics, and both matrix forms exact.

#include "exports/sinex.h"
#include "format/run_error.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/exports/sinex_reader.h"

namespace velk {
namespace {

// Three stations, the first held; a covariance of full rank over the other six parameters
// drawn at random, the held station's rows zero.
SinexSolution smallSolution(std::mt19937& random) {
  SinexSolution s;
  s.description = "test network";
  s.created_mjd = 61000.5;
  s.start_mjd = 57835.25;
  s.end_mjd = 57836.75;
  s.mean_mjd = 57836.0;
  const char* names[] = {"CAST", "SAU", "T00A"};
  for (int i = 0; i < 3; ++i) {
    SinexStation station;
    station.code = names[i];
    station.description = "mark " + std::to_string(i);
    station.lon_deg = -1.2945 + i;
    station.lat_deg = 47.1541;
    station.height = 408.79;
    station.first_mjd = 57835.25 + 0.25 * i;
    station.last_mjd = 57836.5;
    station.mean_mjd = 57836.0;
    station.apriori = {4344310.2075 + 1000 * i, 98187.7119 - 500 * i, 4653732.3678};
    station.xyz = {station.apriori.x + 0.0123, station.apriori.y - 0.0045, station.apriori.z};
    station.held = i == 0;
    s.stations.push_back(station);
  }
  std::normal_distribution<double> normal(0, 1e-3);
  double a[6][6];
  for (auto& row : a)
    for (double& x : row) x = normal(random);
  LowerTriangle cov{9, {}};
  for (std::size_t r = 3; r < 9; ++r)
    for (std::size_t c = 3; c <= r; ++c) {
      double v = 0;
      for (int k = 0; k < 6; ++k) v += a[r - 3][k] * a[c - 3][k];
      cov.elements.push_back({r, c, v});
    }
  for (std::size_t i = 0; i < 3; ++i) {
    auto sigma = [&](std::size_t p) {
      for (const auto& e : cov.elements)
        if (e.row == p && e.column == p) return std::sqrt(e.value);
      return 0.0;
    };
    s.stations[i].sigma = {sigma(3 * i), sigma(3 * i + 1), sigma(3 * i + 2)};
  }
  s.covariance = cov;
  s.observations = 12;
  s.unknowns = 6;
  s.redundancy = 6;
  s.vtpv = 5.4321;
  s.variance_factor = s.vtpv / 6;
  return s;
}

TEST(Sinex, ColumnsAndTheCovarianceReadBackExactly) {
  std::mt19937 random(7);
  const SinexSolution solution = smallSolution(random);
  const std::string text = sinexDocument(solution);
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1)
    EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
  const testing::SinexRead read = testing::readSinexBlocks(text);
  // Header: version, agency, creation, data span, technique, parameters, constraint, type.
  const std::string& h = read.header;
  EXPECT_EQ(testing::columns(h, 7, 10), "2.02");
  EXPECT_EQ(testing::columns(h, 16, 27), sinexEpoch(61000.5));
  EXPECT_EQ(testing::columns(h, 33, 44), "17:082:21600");  // 2017-03-23 06:00
  EXPECT_EQ(testing::columns(h, 46, 57), "17:083:64800");
  EXPECT_EQ(testing::columns(h, 59, 59), "P");
  EXPECT_EQ(testing::columns(h, 61, 65), "00009");
  EXPECT_EQ(read.footer.size(), 1u);
  EXPECT_EQ(sinexEpoch(51544.0), "00:001:00000");
  // 2000-12-31 (day 366) a tenth of a second before midnight rounds into the next year.
  EXPECT_EQ(sinexEpoch(51909.5), "00:366:43200");
  EXPECT_EQ(sinexEpoch(51909.999999), "01:001:00000");

  const auto& sites = read.blocks.at("SITE/ID");
  ASSERT_EQ(sites.size(), 3u);
  EXPECT_EQ(testing::columns(sites[1], 2, 5), "SAU ");
  EXPECT_EQ(testing::columns(sites[0], 22, 43), "mark 0                ");
  EXPECT_EQ(testing::columns(sites[0], 45, 55), "358 42 19.8");  // 1.2945 W, east of 0 to 360
  EXPECT_EQ(testing::columns(sites[0], 57, 67), " 47  9 14.8");
  EXPECT_EQ(testing::columns(sites[0], 69, 75), "  408.8");
  const auto& epochs = read.blocks.at("SOLUTION/EPOCHS");
  EXPECT_EQ(testing::columns(epochs[2], 2, 5), "T00A");
  EXPECT_EQ(testing::columns(epochs[2], 17, 28), "17:082:64800");
  EXPECT_EQ(testing::columns(epochs[2], 30, 41), "17:083:43200");
  EXPECT_EQ(testing::columns(epochs[2], 43, 54), "17:083:00000");

  const auto& estimates = read.blocks.at("SOLUTION/ESTIMATE");
  ASSERT_EQ(estimates.size(), 9u);
  for (std::size_t i = 0; i < 9; ++i) {
    const testing::SinexParameter p = testing::parameterLine(estimates[i]);
    const SinexStation& station = solution.stations[i / 3];
    EXPECT_EQ(p.index, static_cast<int>(i) + 1);
    EXPECT_EQ(p.type, std::string("STA") + "XYZ"[i % 3] + "  ");
    EXPECT_EQ(p.code, station.code + std::string(4 - station.code.size(), ' '));
    EXPECT_EQ(p.unit, "m   ");
    EXPECT_EQ(p.constraint, station.held ? "0" : "2");
    const double value = i % 3 == 0 ? station.xyz.x : i % 3 == 1 ? station.xyz.y : station.xyz.z;
    EXPECT_NEAR(p.value, value, 1e-8);
    const double sigma = i % 3 == 0   ? station.sigma.x
                         : i % 3 == 1 ? station.sigma.y
                                      : station.sigma.z;
    EXPECT_NEAR(p.sigma, sigma, sigma * 3e-6);  // E11.6: six digits
  }
  const auto& statistics = read.blocks.at("SOLUTION/STATISTICS");
  EXPECT_EQ(testing::columns(statistics[3], 2, 31), "SQUARE SUM OF RESIDUALS (VTPV)");
  EXPECT_DOUBLE_EQ(testing::fortranNumber(testing::columns(statistics[3], 33, 54)), 5.4321);

  // The covariance: every element back to 14 digits; the held station's rows left out.
  const auto& lines = read.blocks.at("SOLUTION/MATRIX_ESTIMATE L COVA");
  const auto m = testing::matrixLines(lines, 9);
  for (const LowerTriangle::Element& e : solution.covariance->elements)
    EXPECT_NEAR(m[e.row][e.column], e.value, std::fabs(e.value) * 1e-13);
  for (std::size_t c = 0; c < 9; ++c) EXPECT_EQ(m[0][c], 0);
  // Rows 4 to 9 from column 4, three values a line: 1, 1, 1, 2, 2, 2 lines.
  EXPECT_EQ(lines.size(), 9u);
  EXPECT_FALSE(read.blocks.count("SOLUTION/NORMAL_EQUATION_MATRIX L"));

  // A name that is no site code is refused, never cut.
  SinexSolution long_name = solution;
  long_name.stations[1].code = "SAULCE";
  EXPECT_THROW(sinexDocument(long_name), RunError);
}

TEST(Sinex, NormalEquationsWithoutTheirZeros) {
  std::mt19937 random(11);
  SinexSolution solution = smallSolution(random);
  solution.covariance.reset();
  // Stations 0-1 and 1-2 observed, 0-2 not: the block (2, 0) is zero.
  SinexNormals normals{{9, {}}, {}};
  for (std::size_t r = 0; r < 9; ++r) {
    normals.vector.push_back(0.25 * static_cast<double>(r) - 1);
    for (std::size_t c = 0; c <= r; ++c) {
      if (r / 3 == 2 && c / 3 == 0) continue;
      normals.matrix.elements.push_back({r, c, 1e6 / (1.0 + static_cast<double>(r + c))});
    }
  }
  solution.normals = normals;
  const testing::SinexRead read = testing::readSinexBlocks(sinexDocument(solution));
  EXPECT_FALSE(read.blocks.count("SOLUTION/MATRIX_ESTIMATE L COVA"));
  const auto& apriori = read.blocks.at("SOLUTION/APRIORI");
  EXPECT_NEAR(testing::parameterLine(apriori[4]).value, solution.stations[1].apriori.y, 1e-8);
  const auto& vector = read.blocks.at("SOLUTION/NORMAL_EQUATION_VECTOR");
  ASSERT_EQ(vector.size(), 9u);
  EXPECT_DOUBLE_EQ(testing::parameterLine(vector[8]).value, 1.0);
  const auto& lines = read.blocks.at("SOLUTION/NORMAL_EQUATION_MATRIX L");
  const auto m = testing::matrixLines(lines, 9);
  for (const LowerTriangle::Element& e : normals.matrix.elements)
    EXPECT_NEAR(m[e.row][e.column], e.value, std::fabs(e.value) * 1e-13);
  // Rows of the third station start at column 4: the zero block is not written.
  for (const std::string& line : lines) {
    if (std::stoi(testing::columns(line, 2, 6)) > 6) {
      EXPECT_GE(std::stoi(testing::columns(line, 8, 12)), 4) << line;
    }
  }
}

}  // namespace
}  // namespace velk

// `adjust --sinex/--gpkg/--geojson/--crs` through the real program on a generated network:
// the SINEX read back by the format's columns against the JSON, its normal equations solved
// again, the map files read by ogrinfo, the grid CSV against cs2cs.

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <filesystem>
#include <regex>

#include "tests/exports/independent_readers.h"
#include "tests/exports/sinex_reader.h"
#include "tests/run/program_runner.h"
#include "tools/synthetic_network.h"

namespace velk {
namespace {

using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;
namespace gen = campaign;

// A 3 x 3 grid, every pair measured twice, one report with a 5 cm blunder.
gen::NetworkFiles gridNetwork(const ScratchFolder& folder) {
  gen::NetworkOptions options;
  options.stations = 9;
  options.measurements = gen::measureEach(gen::gridPairs(3, 3), 2);
  options.seed = 5;
  options.error = gen::errorAlong(options, 4, gen::Axis::kNorth, 0.05);
  return gen::writeNetwork(options, folder / "net");
}

// The numbers of every "key": [a, b, ...] array of the JSON, in document order.
std::vector<std::vector<double>> jsonArrays(const std::string& json, const std::string& key) {
  std::vector<std::vector<double>> arrays;
  const std::regex pattern("\"" + key + R"(": \[([^\]]*)\])");
  for (std::sregex_iterator it(json.begin(), json.end(), pattern), end; it != end; ++it) {
    std::vector<double> values;
    std::istringstream numbers(std::regex_replace((*it)[1].str(), std::regex(","), " "));
    for (double v; numbers >> v;) values.push_back(v);
    arrays.push_back(values);
  }
  return arrays;
}

std::vector<testing::SinexParameter> parameters(const std::vector<std::string>& lines) {
  std::vector<testing::SinexParameter> read;
  for (const std::string& line : lines) read.push_back(testing::parameterLine(line));
  return read;
}

TEST(AdjustInterchange, SinexCovarianceBlocksEqualTheJsonsAndItsNormalEquationsSolveAgain) {
  const ScratchFolder folder("adjust-sinex");
  const gen::NetworkFiles files = gridNetwork(folder);
  for (const bool free : {false, true}) {
    std::vector<std::string> arguments{
        "adjust", "--list", files.list.string(), "--json", "N.JSON", "--sinex", "N.SNX", "--force"};
    if (free) arguments.push_back("--free");
    const ProgramRun run = folder.run("baselines", "", arguments);
    ASSERT_EQ(run.status, 3) << run.err;  // the blunder is taken out
    const std::string json = readFile(folder / "N.JSON");
    const testing::SinexRead sinex = testing::readSinexBlocks(readFile(folder / "N.SNX"));
    const auto estimates = parameters(sinex.blocks.at("SOLUTION/ESTIMATE"));
    const auto xyz = jsonArrays(json, "xyz");
    const auto cov = jsonArrays(json, "cov_xyz");
    ASSERT_EQ(estimates.size(), 27u);
    ASSERT_EQ(xyz.size(), 9u);
    const auto matrix =
        testing::matrixLines(sinex.blocks.at("SOLUTION/MATRIX_ESTIMATE L COVA"), 27);
    const std::regex name_pattern(R"re("name": "([^"]*)")re");
    std::vector<std::string> names;
    for (std::sregex_iterator it(json.begin(), json.end(), name_pattern), end; it != end; ++it)
      names.push_back((*it)[1]);
    ASSERT_EQ(names.size(), 9u);
    for (std::size_t s = 0; s < 9; ++s) {
      EXPECT_EQ(estimates[3 * s].code, names[s]);
      for (std::size_t a = 0; a < 3; ++a) EXPECT_NEAR(estimates[3 * s + a].value, xyz[s][a], 1e-5);
      // XX, XY, XZ, YY, YZ, ZZ of the JSON against the SINEX's diagonal block.
      const std::size_t b = 3 * s;
      const double block[] = {matrix[b][b],         matrix[b][b + 1],     matrix[b][b + 2],
                              matrix[b + 1][b + 1], matrix[b + 1][b + 2], matrix[b + 2][b + 2]};
      for (std::size_t k = 0; k < 6; ++k)
        EXPECT_NEAR(block[k], cov[s][k], std::fabs(cov[s][k]) * 1e-6 + 1e-15) << s << " " << k;
    }
    // Held or inner constraints: the held station's rows are zero; free, every station moves.
    EXPECT_EQ(estimates[0].constraint, free ? "2" : "0");
    EXPECT_EQ(matrix[0][0] == 0, !free);
  }

  // Beyond --sinex-max-stations the normal equations: with the held station's rows taken
  // out they give the adjusted coordinates again.
  const ProgramRun run = folder.run(
      "baselines", "",
      {"adjust", "--list", files.list.string(), "--sinex", "E.SNX", "--sinex-max-stations", "8"});
  ASSERT_EQ(run.status, 3) << run.err;
  const testing::SinexRead sinex = testing::readSinexBlocks(readFile(folder / "E.SNX"));
  EXPECT_FALSE(sinex.blocks.count("SOLUTION/MATRIX_ESTIMATE L COVA"));
  const auto estimates = parameters(sinex.blocks.at("SOLUTION/ESTIMATE"));
  const auto apriori = parameters(sinex.blocks.at("SOLUTION/APRIORI"));
  const auto vector = parameters(sinex.blocks.at("SOLUTION/NORMAL_EQUATION_VECTOR"));
  const auto normals =
      testing::matrixLines(sinex.blocks.at("SOLUTION/NORMAL_EQUATION_MATRIX L"), 27);
  ASSERT_EQ(estimates[0].constraint, "0");
  Eigen::MatrixXd n(24, 24);
  Eigen::VectorXd b(24);
  for (int r = 0; r < 24; ++r) {
    b(r) = vector[static_cast<std::size_t>(r + 3)].value;
    for (int c = 0; c < 24; ++c)
      n(r, c) = normals[static_cast<std::size_t>(r + 3)][static_cast<std::size_t>(c + 3)];
  }
  const Eigen::VectorXd dx = n.ldlt().solve(b);
  for (std::size_t p = 3; p < 27; ++p)
    EXPECT_NEAR(apriori[p].value + dx(static_cast<Eigen::Index>(p - 3)), estimates[p].value, 1e-6)
        << p;
  // The normal matrix is singular without the datum: the held station's rows are there.
  EXPECT_NE(normals[0][0], 0);
}

TEST(AdjustInterchange, MapFilesAndGridCsvReadBackByGdalAndProj) {
  if (!testing::toolIsInstalled("ogrinfo", "gdal-bin") ||
      !testing::toolIsInstalled("cs2cs", "proj-bin"))
    return;
  const ScratchFolder folder("adjust-maps");
  const gen::NetworkFiles files = gridNetwork(folder);
  const ProgramRun run = folder.run(
      "baselines", "",
      {"adjust", "--list", files.list.string(), "--json", "N.JSON", "--gpkg", "N.gpkg", "--geojson",
       "N.geojson", "--csv", "N.CSV", "--crs", "EPSG:2154", "--ellipse-scale", "500"});
  ASSERT_EQ(run.status, 3) << run.err;
  const std::string json = readFile(folder / "N.JSON");
  const auto xyz = jsonArrays(json, "xyz");
  const auto gpkg = testing::ogrFeatures((folder / "N.gpkg").string());
  const auto geojson = testing::geoJsonLayers((folder / "N.geojson").string());
  for (const auto* file : {&gpkg, &geojson}) {
    ASSERT_EQ(file->size(), 3u);
    EXPECT_EQ(file->at("stations").size(), 9u);
    EXPECT_EQ(file->at("baselines").size(), 24u);
    ASSERT_EQ(file->at("ellipses").size(), 8u);  // the held station has none
    for (const testing::OgrFeature& ellipse : file->at("ellipses")) {
      EXPECT_EQ(ellipse.coordinates.size(), 2u * 73);
      EXPECT_EQ(ellipse.number("scale"), 500);
    }
    // The report taken out, as the JSON lists it.
    int removed = 0;
    for (const testing::OgrFeature& baseline : file->at("baselines"))
      if (baseline.attributes.at("removed") == "1") {
        ++removed;
        EXPECT_NE(json.find("\"removed\": [\"" + baseline.attributes.at("file") + "\""),
                  std::string::npos);
      }
    EXPECT_EQ(removed, 1);
  }
  // Adjusted stations on the Lambert-93 grid as cs2cs puts them: the GeoPackage's geometry,
  // the CSV's columns and the GeoJSON's properties; the GeoJSON's geometry in degrees.
  std::string input;
  for (const auto& p : xyz) {
    char line[100];
    std::snprintf(line, sizeof line, "%.5f %.5f %.5f\n", p[0], p[1], p[2]);
    input += line;
  }
  const auto expected = testing::projToolOutput("cs2cs -f %.6f EPSG:4964 EPSG:2154", input);
  const std::string csv = readFile(folder / "N.CSV");
  std::istringstream rows(csv);
  std::string heading, row;
  std::getline(rows, heading);
  EXPECT_NE(heading.find(",easting,northing,grid_height,sE_grid_mm,sN_grid_mm,"),
            std::string::npos);
  for (std::size_t s = 0; s < 9; ++s) {
    const testing::OgrFeature& station = gpkg.at("stations")[s];
    EXPECT_NEAR(station.coordinates[0], expected[s][0], 1e-4);
    EXPECT_NEAR(station.coordinates[1], expected[s][1], 1e-4);
    EXPECT_NEAR(geojson.at("stations")[s].number("northing"), expected[s][1], 1e-4);
    EXPECT_NEAR(geojson.at("stations")[s].coordinates[1], station.number("lat_deg"), 1e-9);
    std::getline(rows, row);
    std::vector<std::string> cells;
    std::istringstream split(row);
    for (std::string cell; std::getline(split, cell, ',');) cells.push_back(cell);
    ASSERT_EQ(cells.size(), 21u) << row;
    EXPECT_NEAR(std::stod(cells[14]), expected[s][0], 1e-4);
    EXPECT_NEAR(std::stod(cells[15]), expected[s][1], 1e-4);
    EXPECT_NEAR(std::stod(cells[16]), expected[s][2], 1e-4);
    // The grid sigmas: the local ones turned and scaled, so their quadratic sum is kept
    // up to the scale factor (within 0.999 and 1.001 here).
    const double local = std::hypot(std::stod(cells[8]), std::stod(cells[9]));
    const double grid = std::hypot(std::stod(cells[17]), std::stod(cells[18]));
    EXPECT_NEAR(grid, local * std::stod(cells[20]), 0.015) << row;
  }
}

}  // namespace
}  // namespace velk

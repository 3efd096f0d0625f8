// The map outputs of check and series through the real program: the files read back by
// ogrinfo, a wrong code, and files complete or absent.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "tests/exports/independent_readers.h"
#include "tests/run/program_runner.h"
#include "tools/synthetic_network.h"

namespace velk {
namespace {

using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

const std::string kList = std::string(VELK_SOURCE_DIR) + "/examples/CAMPAGNE.LST";

ProgramRun check(const ScratchFolder& folder, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"check", "--list", kList});
  return folder.run("baselines", "", arguments);
}

TEST(MapOutputs, CheckWritesTheExampleAsGeoPackageAndGeoJsonOnTheGridOfCrs) {
  if (!testing::toolIsInstalled("ogrinfo", "gdal-bin") ||
      !testing::toolIsInstalled("cs2cs", "proj-bin"))
    return;
  const ScratchFolder folder("check-maps");
  const ProgramRun run =
      check(folder, {"--gpkg", "CHECK.gpkg", "--geojson", "CHECK.geojson", "--crs", "EPSG:2154"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("grid coordinates in RGF93 v1 / Lambert-93 (EPSG:2154) from RGF93 v1 "
                         "geocentric, at epoch 2017.2"),
            std::string::npos)
      << run.err;
  const auto gpkg = testing::ogrFeatures((folder / "CHECK.gpkg").string());
  const auto geojson = testing::geoJsonLayers((folder / "CHECK.geojson").string());
  for (const auto* file : {&gpkg, &geojson}) {
    EXPECT_EQ(file->at("stations").size(), 4u);
    EXPECT_EQ(file->at("baselines").size(), 5u);
    ASSERT_EQ(file->at("loops").size(), 2u);
    EXPECT_EQ(file->at("loops")[0].attributes.at("flagged"), "1");
    EXPECT_EQ(file->at("loops")[0].attributes.at("float_leg"), "1");
  }
  // CAST is mark 1 of AB082101.017: on the Lambert-93 grid as cs2cs puts it, in the
  // GeoPackage's geometry and in both files' attributes; the GeoJSON's geometry stays in
  // longitude and latitude.
  const auto expected = testing::projToolOutput("cs2cs -f %.6f EPSG:4964 EPSG:2154",
                                                "4344310.2075 98187.7119 4653732.3678\n");
  const testing::OgrFeature& cast = gpkg.at("stations")[0];
  EXPECT_EQ(cast.attributes.at("name"), "CAST");
  EXPECT_NEAR(cast.coordinates[0], expected[0][0], 1e-4);
  EXPECT_NEAR(cast.coordinates[1], expected[0][1], 1e-4);
  EXPECT_NEAR(cast.number("northing"), expected[0][1], 1e-4);
  EXPECT_NEAR(geojson.at("stations")[0].number("easting"), expected[0][0], 1e-4);
  EXPECT_NEAR(geojson.at("stations")[0].coordinates[0], cast.number("lon_deg"), 1e-9);
  EXPECT_NE(
      testing::commandOutput("ogrinfo -ro -so '" + (folder / "CHECK.gpkg").string() + "' stations")
          .find("Lambert-93"),
      std::string::npos);
}

TEST(MapOutputs, AWrongCodeOrAnExistingFileLeavesNothingNew) {
  const ScratchFolder folder("check-maps-wrong");
  const ProgramRun unknown = check(folder, {"--gpkg", "A.gpkg", "--crs", "EPSG:99999"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("--crs: PROJ does not know 'EPSG:99999': "), std::string::npos)
      << unknown.err;
  EXPECT_FALSE(std::filesystem::exists(folder / "A.gpkg"));
  EXPECT_EQ(check(folder, {"--crs", "EPSG:2154"}).status, 2);  // nothing to use it for
  EXPECT_EQ(check(folder, {"--gpkg", "A.gpkg", "--source-crs", "EPSG:4978"}).status, 2);
  EXPECT_EQ(check(folder, {"--gpkg", "-"}).status, 2);
  // The GeoPackage is not replaced without --force, and neither file of the run is made.
  writeFile(folder / "A.gpkg", "old");
  const ProgramRun refused = check(folder, {"--geojson", "A.geojson", "--gpkg", "A.gpkg"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(readFile(folder / "A.gpkg"), "old");
  EXPECT_FALSE(std::filesystem::exists(folder / "A.geojson"));
  EXPECT_EQ(check(folder, {"--gpkg", "A.gpkg", "--force"}).status, 3);
  EXPECT_EQ(readFile(folder / "A.gpkg").substr(0, 16), std::string("SQLite format 3\0", 16));
}

TEST(MapOutputs, SeriesPairsAsLinesWithTheirStatusVelocityAndDisplacement) {
  if (!testing::toolIsInstalled("ogrinfo", "gdal-bin")) return;
  const ScratchFolder folder("series-maps");
  namespace gen = campaign;
  gen::NetworkOptions options;
  options.stations = 4;
  options.measurements = gen::measureEach(gen::ringPairs(4), 30);
  options.every_days = 14;
  options.seed = 3;
  // S002 moves 10 mm a year north: its two pairs pass 50 mm in 4.4 years, the others not.
  options.velocities.push_back({1, gen::Axis::kNorth, 0.010});
  const gen::NetworkFiles files = gen::writeNetwork(options, folder / "net");
  const ProgramRun run =
      folder.run("baselines", "",
                 {"series", "--list", files.list.string(), "--alarm", "2d=30", "--json", "S.JSON",
                  "--gpkg", "S.gpkg", "--geojson", "S.geojson"});
  EXPECT_EQ(run.status, 3) << run.err;
  const auto gpkg = testing::ogrFeatures((folder / "S.gpkg").string());
  const auto geojson = testing::geoJsonLayers((folder / "S.geojson").string());
  for (const auto* file : {&gpkg, &geojson}) {
    ASSERT_EQ(file->at("pairs").size(), 4u);
    for (const testing::OgrFeature& pair : file->at("pairs")) {
      const bool moving =
          pair.attributes.at("from") == "S002" || pair.attributes.at("to") == "S002";
      EXPECT_EQ(pair.attributes.at("status"), moving ? "alarm" : "ok");
      EXPECT_EQ(pair.attributes.at("stroke"), moving ? "#c62828" : "#2e7d32");
      EXPECT_NEAR(std::fabs(pair.number("velocity_n_mm_yr")), moving ? 10 : 0, 3);
      EXPECT_EQ(pair.coordinates.size(), 4u);
    }
  }
  // The same velocity as the JSON's, read to its printed digits.
  const std::string json = readFile(folder / "S.JSON");
  char velocity[32];
  std::snprintf(velocity, sizeof velocity, "%.6f", gpkg.at("pairs")[0].number("velocity_n_mm_yr"));
  EXPECT_NE(json.find(std::string(velocity).substr(0, 6)), std::string::npos) << velocity;
  // A LOG file gives no coordinates to draw.
  EXPECT_EQ(folder.run("baselines", "", {"series", "--log", "X.LOG", "--gpkg", "L.gpkg"}).status,
            2);
}

}  // namespace
}  // namespace velk

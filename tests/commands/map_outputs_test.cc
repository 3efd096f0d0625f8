// `check --gpkg/--geojson/--crs` through the real program: the files read back by ogrinfo,
// a wrong code, and files complete or absent.

#include <gtest/gtest.h>

#include "tests/exports/independent_readers.h"
#include "tests/run/program_runner.h"

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

}  // namespace
}  // namespace velk

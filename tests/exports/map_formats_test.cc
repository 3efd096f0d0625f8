// The map layers of a check written as GeoPackage and GeoJSON and read back by GDAL's
// ogrinfo; grid coordinates against PROJ's cs2cs; the error ellipses' polygons.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "checks/network_check.h"
#include "exports/check_layers.h"
#include "exports/geojson.h"
#include "exports/geopackage.h"
#include "exports/projection.h"
#include "tests/exports/export_test_support.h"
#include "tests/exports/independent_readers.h"

namespace velk {
namespace {

using testing::completeReport;
using testing::OgrFeature;

constexpr double kDegreeTolerance = 1e-9;

// Four stations near Orléans: a triangle A B C and a spur to D, B C measured twice.
std::vector<Report> smallNetwork() {
  const Cartesian a{4344310.2075, 98187.7119, 4653732.3678};
  const Cartesian ab{1942.3418, 3418.1297, -2038.4571};
  const Cartesian bc{2878.1049, -1580.2244, -2555.7105};
  const Cartesian ad{-1512.0032, -6435.9021, 1308.8877};
  const Cartesian b{a.x + ab.x, a.y + ab.y, a.z + ab.z};
  const Cartesian c{b.x + bc.x, b.y + bc.y, b.z + bc.z};
  const Cartesian ca{a.x - c.x + 0.004, a.y - c.y - 0.003, a.z - c.z + 0.002};
  return {completeReport("N0001.017", "AAAA", "BBBB", a, ab),
          completeReport("N0002.017", "BBBB", "CCCC", b, bc),
          completeReport("N0003.017", "CCCC", "AAAA", c, ca),
          completeReport("N0004.017", "AAAA", "DDDD", a, ad),
          completeReport("N0005.017", "CCCC", "BBBB", c, {-bc.x, -bc.y, -bc.z})};
}

struct Scratch {
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("velk-maps-" + std::to_string(::getpid()));
  Scratch() { std::filesystem::create_directories(folder); }
  ~Scratch() { std::filesystem::remove_all(folder); }
  std::string write(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder / name, std::ios::binary) << bytes;
    return (folder / name).string();
  }
};

// Longitude and latitude (degrees) of geocentric points by PROJ's cct on GRS 80.
std::vector<std::vector<double>> cctGeodetic(const std::vector<Cartesian>& points) {
  std::string input;
  for (const Cartesian& p : points)
    input += std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + "\n";
  return testing::projToolOutput("cct -d 12 -I +proj=cart +ellps=GRS80", input);
}

std::int32_t bigEndianAt(const std::string& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
  return static_cast<std::int32_t>(value);
}

TEST(MapFormats, CheckLayersReadBackByOgrinfoFromGeoPackageAndGeoJson) {
  if (!testing::toolIsInstalled("ogrinfo", "gdal-bin") ||
      !testing::toolIsInstalled("cct", "proj-bin"))
    return;
  const std::vector<Report> reports = smallNetwork();
  const NetworkCheck check = checkNetwork(reports, CheckOptions{});
  const std::vector<FeatureLayer> layers = checkLayers(reports, check, nullptr);
  const Scratch scratch;
  const std::string gpkg_bytes = geoPackageFile(layers, geographicReference(), longitudeLatitude);
  // The SQLite header's application_id 'GPKG' and user_version 10300 (big-endian).
  EXPECT_EQ(bigEndianAt(gpkg_bytes, 68), 0x47504B47);
  EXPECT_EQ(bigEndianAt(gpkg_bytes, 60), 10300);
  const auto gpkg = testing::ogrFeatures(scratch.write("check.gpkg", gpkg_bytes));
  const auto geojson =
      testing::geoJsonLayers(scratch.write("check.geojson", geoJsonDocument(layers)));

  for (const auto* file : {&gpkg, &geojson}) {
    ASSERT_EQ(file->size(), 3u);
    EXPECT_EQ(file->at("stations").size(), 4u);
    EXPECT_EQ(file->at("baselines").size(), 5u);
    ASSERT_EQ(file->at("loops").size(), 1u);
  }
  // Stations at their a priori coordinates (mark 1 where fixed, else mark 2), x longitude
  // and y latitude, as cct converts them.
  const std::vector<Cartesian> apriori{reports[0].mark1, reports[1].mark1, reports[2].mark1,
                                       reports[3].mark2};
  const auto expected = cctGeodetic(apriori);
  for (std::size_t s = 0; s < 4; ++s) {
    for (const auto* file : {&gpkg, &geojson}) {
      const OgrFeature& station = file->at("stations")[s];
      EXPECT_EQ(station.geometry_type, "POINT");
      EXPECT_EQ(station.attributes.at("name"), std::string(4, static_cast<char>('A' + s)));
      ASSERT_EQ(station.coordinates.size(), 2u);
      EXPECT_NEAR(station.coordinates[0], expected[s][0], kDegreeTolerance);
      EXPECT_NEAR(station.coordinates[1], expected[s][1], kDegreeTolerance);
      EXPECT_NEAR(station.number("height"), expected[s][2], 1e-6);
      EXPECT_NEAR(station.number("x"), apriori[s].x, 1e-6);
    }
  }
  EXPECT_EQ(gpkg.at("stations")[0].attributes.at("reports"), "3");
  // Baselines: attributes, and lines from station to station; the triangle's three pairs
  // are the suspects of its flagged loop (4 mm + 3 mm + 2 mm misclosure), the spur is not.
  const OgrFeature& reversed = gpkg.at("baselines")[4];
  EXPECT_EQ(reversed.attributes.at("file"), "N0005.017");
  EXPECT_EQ(reversed.attributes.at("from"), "CCCC");
  EXPECT_EQ(reversed.attributes.at("solution"), "fixed");
  EXPECT_NEAR(reversed.number("sigma3d_mm"), 1000 * sigma3D(0.001183, 0.000771, 0.001246), 1e-9);
  EXPECT_NEAR(reversed.coordinates[0], expected[2][0], kDegreeTolerance);
  EXPECT_NEAR(reversed.coordinates[3], expected[1][1], kDegreeTolerance);
  const bool loop_flagged = check.loops[0].test.flagged;
  EXPECT_EQ(gpkg.at("baselines")[0].attributes.at("suspect"), loop_flagged ? "1" : "0");
  EXPECT_EQ(gpkg.at("baselines")[3].attributes.at("suspect"), "0");
  EXPECT_EQ(geojson.at("baselines")[0].attributes.at("suspect"), loop_flagged ? "1" : "0");
  // The loop: closed, its misclosure as the check computed it.
  for (const auto* file : {&gpkg, &geojson}) {
    const OgrFeature& loop = file->at("loops")[0];
    EXPECT_EQ(loop.attributes.at("stations"), "AAAA BBBB CCCC");
    ASSERT_EQ(loop.coordinates.size(), 8u);
    EXPECT_EQ(loop.coordinates[0], loop.coordinates[6]);
    EXPECT_EQ(loop.coordinates[1], loop.coordinates[7]);
    EXPECT_NEAR(loop.number("misclosure_mm"), check.loops[0].test.length * 1000, 1e-8);
    EXPECT_NEAR(loop.number("misclosure_mm"), std::sqrt(16.0 + 9 + 4), 1e-3);
  }
}

// Metres east and north of `centre` (degrees) at `height` on a sphere of the local radii:
// good to a millionth over a few metres.
std::array<double, 2> localOffset(double lon, double lat, double lon0, double lat0, double height) {
  constexpr double a = 6378137.0, e2 = 0.00669438002290;
  const double phi = lat0 * std::numbers::pi / 180;
  const double w = std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
  const double m = a * (1 - e2) / (w * w * w) + height, n = a / w + height;
  return {(lon - lon0) * std::numbers::pi / 180 * n * std::cos(phi),
          (lat - lat0) * std::numbers::pi / 180 * m};
}

TEST(MapFormats, EllipsePolygonsAreClosedCounterClockwiseWithTheirAxes) {
  if (!testing::toolIsInstalled("ogrinfo", "gdal-bin")) return;
  const Cartesian centre{4344310.2075, 98187.7119, 4653732.3678};
  const Vertex middle = geodeticVertex(centre);
  FeatureLayer layer{"ellipses", GeometryType::kPolygon, {{"azimuth_deg", FieldType::kReal}}, {}};
  for (const double azimuth : {0.0, 30.0, 135.0})
    layer.features.push_back({ellipsePolygon(centre, 6.0, 2.0, azimuth, 72), {azimuth}});
  const Scratch scratch;
  const std::vector<FeatureLayer> layers{layer};
  const auto gpkg = testing::ogrFeatures(
      scratch.write("e.gpkg", geoPackageFile(layers, geographicReference(), longitudeLatitude)));
  const auto geojson = testing::geoJsonLayers(scratch.write("e.geojson", geoJsonDocument(layers)));
  for (const auto* file : {&gpkg, &geojson}) {
    ASSERT_EQ(file->at("ellipses").size(), 3u);
    for (const OgrFeature& ellipse : file->at("ellipses")) {
      EXPECT_EQ(ellipse.geometry_type, "POLYGON");
      const std::vector<double>& c = ellipse.coordinates;
      ASSERT_EQ(c.size(), 2u * 73);
      EXPECT_EQ(c[0], c[144]);
      EXPECT_EQ(c[1], c[145]);
      double area = 0, farthest = 0, farthest_azimuth = 0, nearest = 1e9;
      for (std::size_t i = 0; i < 72; ++i) {
        const auto p = localOffset(c[2 * i], c[2 * i + 1], middle.lon, middle.lat, middle.height);
        const auto q =
            localOffset(c[2 * i + 2], c[2 * i + 3], middle.lon, middle.lat, middle.height);
        area += p[0] * q[1] - q[0] * p[1];
        const double r = std::hypot(p[0], p[1]);
        nearest = std::min(nearest, r);
        if (r > farthest) {
          farthest = r;
          farthest_azimuth = std::fmod(std::atan2(p[0], p[1]) * 180 / std::numbers::pi + 360, 180);
        }
      }
      EXPECT_GT(area, 0) << "counter-clockwise";
      // A 72-gon inscribed in the ellipse: area just under pi a b.
      EXPECT_NEAR(area / 2, std::numbers::pi * 12, 0.05);
      // GeoJSON's 9 decimals of a degree are 0.1 mm.
      EXPECT_NEAR(farthest, 6.0, 1.5e-4);
      EXPECT_NEAR(nearest, 2.0, 1.5e-4);
      const double turn = std::fabs(farthest_azimuth - ellipse.number("azimuth_deg"));
      EXPECT_LT(std::min(turn, 180 - turn), 0.01);
    }
  }
}

TEST(MapFormats, GridCoordinatesAgreeWithCs2csAndTurnTheSigmasByTheConvergence) {
  if (!testing::toolIsInstalled("cs2cs", "proj-bin")) return;
  const std::vector<Report> reports = smallNetwork();
  // Lambert-93 from RGF93 v1 geocentric (EPSG:4964), the default source for EPSG:2154.
  const Projection lambert("EPSG:2154", std::nullopt, 2017.2);
  EXPECT_EQ(lambert.reference().srs_id, 2154);
  EXPECT_NE(lambert.reference().definition.find("Lambert"), std::string::npos);
  std::string input;
  std::vector<Cartesian> points;
  for (const Report& report : reports) points.push_back(report.mark2);
  for (const Cartesian& p : points) {
    char line[128];
    std::snprintf(line, sizeof line, "%.4f %.4f %.4f\n", p.x, p.y, p.z);
    input += line;
  }
  const auto expected = testing::projToolOutput("cs2cs -f %.6f EPSG:4964 EPSG:2154", input);
  ASSERT_EQ(expected.size(), points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    const GridPoint grid = lambert.project(points[i]);
    EXPECT_NEAR(grid.easting, expected[i][0], 1e-4);
    EXPECT_NEAR(grid.northing, expected[i][1], 1e-4);
    EXPECT_NEAR(grid.height, expected[i][2], 1e-4);
  }
  // The grid sigmas are the local east-north covariance carried by the projection's own
  // derivative: compare with a 1 m step east and north projected (UTM 31N, east of its
  // central meridian, and Lambert-93, west of its own).
  const Projection utm("EPSG:32631", std::string("EPSG:4978"), 2017.2);
  const double cov_ee = 4e-6, cov_en = 1.5e-6, cov_nn = 9e-6;
  for (const Projection* projection : {&lambert, &utm}) {
    // On the ellipsoid: the scale factor maps ellipsoid distances to the grid.
    Vertex v = geodeticVertex(points[1]);
    v.height = 0;
    const Cartesian p = geocentricPoint(v);
    const double lam = v.lon * std::numbers::pi / 180, phi = v.lat * std::numbers::pi / 180;
    const Cartesian east{p.x - std::sin(lam), p.y + std::cos(lam), p.z};
    const Cartesian north{p.x - std::sin(phi) * std::cos(lam), p.y - std::sin(phi) * std::sin(lam),
                          p.z + std::cos(phi)};
    const GridPoint at = projection->project(p);
    const GridPoint to_east = projection->project(east), to_north = projection->project(north);
    const double j11 = to_east.easting - at.easting, j12 = to_north.easting - at.easting;
    const double j21 = to_east.northing - at.northing, j22 = to_north.northing - at.northing;
    const double var_e = j11 * j11 * cov_ee + 2 * j11 * j12 * cov_en + j12 * j12 * cov_nn;
    const double var_n = j21 * j21 * cov_ee + 2 * j21 * j22 * cov_en + j22 * j22 * cov_nn;
    const GridSigmas sigmas = gridSigmas(cov_ee, cov_en, cov_nn, at);
    EXPECT_NEAR(sigmas.easting, std::sqrt(var_e), 1e-9);
    EXPECT_NEAR(sigmas.northing, std::sqrt(var_n), 1e-9);
    EXPECT_NE(at.convergence_deg, 0);
  }
  // Orléans lies west of Lambert-93's central meridian (3 E) and east of UTM 31's (3 E
  // too): both negative there, as grid north turns west of true north on that side.
  EXPECT_LT(lambert.project(points[1]).convergence_deg, 0);
  // A code PROJ does not know, and a system that is not projected.
  EXPECT_THROW(Projection("EPSG:99999", std::nullopt, 2017), ProjectionError);
  try {
    Projection("EPSG:4326", std::nullopt, 2017);
    ADD_FAILURE() << "EPSG:4326 is not projected";
  } catch (const ProjectionError& error) {
    EXPECT_NE(std::string(error.what()).find("not a projected system"), std::string::npos);
  }
}

}  // namespace
}  // namespace velk

#pragma once

// OGC GeoPackage 1.3 (OGC 12-128r18): an SQLite database holding the map layers, with the
// GeoPackage tables (gpkg_spatial_ref_sys, gpkg_contents, gpkg_geometry_columns) and one
// feature table per layer whose geometries are GeoPackageBinary blobs (a GP header, then
// ISO WKB).

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "exports/geo_features.h"

namespace velk {

// A row of gpkg_spatial_ref_sys: the coordinate reference system of every layer.
struct SpatialReference {
  std::int32_t srs_id = 4326;
  std::string name;          // as PROJ names it
  std::string organization;  // "EPSG", or "NONE" for a system without an authority code
  std::int32_t code = 4326;  // the organization's code
  std::string definition;    // WKT
};

// Where a vertex lies on the map: x and y of the layer's reference system.
struct MapPoint {
  double x = 0, y = 0;
};
using VertexPlacement = std::function<MapPoint(const Vertex&)>;

// Longitude as x and latitude as y, in degrees: GeoPackage's order for EPSG:4326.
MapPoint longitudeLatitude(const Vertex& vertex);

// The GeoPackageBinary blob of one geometry: "GP", version 0, flags (little-endian; an
// envelope [minx, maxx, miny, maxy] for lines and polygons, none for points), the srs_id,
// then the two-dimensional geometry as little-endian ISO WKB.
std::string geoPackageGeometry(GeometryType type, std::span<const MapPoint> points,
                               std::int32_t srs_id);

// The whole GeoPackage file: the layers in the given order, each vertex placed by
// `place`, every geometry in `reference`. Built in an in-memory database and serialised,
// so the caller writes it in one piece. Throws RunError when SQLite fails.
std::string geoPackageFile(std::span<const FeatureLayer> layers, const SpatialReference& reference,
                           const VertexPlacement& place);

}  // namespace velk

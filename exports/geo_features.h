#pragma once

// The features that the map formats (GeoPackage, GeoJSON) write: named layers of points,
// lines or polygons, each feature with its attribute values. The layers are built once from
// the results of a check or an adjustment; every map writer is a view of them.

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "geodesy/geodesy.h"

namespace velk {

enum class FieldType { kInteger, kReal, kText, kBoolean };

struct Field {
  std::string name;  // ASCII, lower case with underscores
  FieldType type = FieldType::kReal;
};

// An attribute value; monostate is a missing value (NULL, JSON null). Text is UTF-8.
using AttributeValue = std::variant<std::monostate, std::int64_t, double, std::string, bool>;

enum class GeometryType { kPoint, kLineString, kPolygon };

// A vertex in geodetic coordinates on GRS 80: degrees, ellipsoidal height in metres. The
// maps draw longitude and latitude; the height stays with the vertex so that a projection
// can start from the exact geocentric point.
struct Vertex {
  double lon = 0, lat = 0, height = 0;
};

struct Feature {
  // Point: one vertex. Line: two or more. Polygon: the exterior ring, closed (the last
  // vertex equals the first) and counter-clockwise in longitude and latitude.
  std::vector<Vertex> vertices;
  std::vector<AttributeValue> values;  // one per field of its layer, in their order
};

struct FeatureLayer {
  std::string name;  // also the GeoPackage table and the GeoJSON "layer" property
  GeometryType geometry = GeometryType::kPoint;
  std::vector<Field> fields;
  std::vector<Feature> features;
};

// Geodetic coordinates on GRS 80 of a geocentric point (GeographicLib::Geocentric).
Vertex geodeticVertex(const Cartesian& point);
// The geocentric point of a vertex, the inverse of geodeticVertex.
Cartesian geocentricPoint(const Vertex& vertex);

// The closed polygon, counter-clockwise, of `count` points on the horizontal ellipse with
// semi-axes `semi_major` and `semi_minor` (metres) whose major axis has the azimuth
// `azimuth_deg` (from north, clockwise), centred on `centre`, each point at the centre's
// height. Drawn in the local east-north plane of the centre and carried to the ellipsoid
// by GeographicLib::LocalCartesian.
std::vector<Vertex> ellipsePolygon(const Cartesian& centre, double semi_major, double semi_minor,
                                   double azimuth_deg, int count);

// Station names and descriptions come in code page 850; the maps hold UTF-8.
std::string mapText(std::string_view code_page_850);

}  // namespace velk

#include "exports/geo_features.h"

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/LocalCartesian.hpp>
#include <cmath>
#include <numbers>

#include "format/text_encoding.h"

namespace velk {
namespace {

// GRS 80: a = 6378137 m, 1/f = 298.257222101 (Moritz 1980).
const GeographicLib::Geocentric& grs80() {
  static const GeographicLib::Geocentric ellipsoid(6378137.0, 1 / 298.257222101);
  return ellipsoid;
}

}  // namespace

Vertex geodeticVertex(const Cartesian& point) {
  Vertex vertex;
  grs80().Reverse(point.x, point.y, point.z, vertex.lat, vertex.lon, vertex.height);
  return vertex;
}

Cartesian geocentricPoint(const Vertex& vertex) {
  Cartesian point;
  grs80().Forward(vertex.lat, vertex.lon, vertex.height, point.x, point.y, point.z);
  return point;
}

std::vector<Vertex> ellipsePolygon(const Cartesian& centre, double semi_major, double semi_minor,
                                   double azimuth_deg, int count) {
  const Vertex origin = geodeticVertex(centre);
  const GeographicLib::LocalCartesian local(origin.lat, origin.lon, origin.height, grs80());
  const double azimuth = azimuth_deg * std::numbers::pi / 180;
  std::vector<Vertex> ring;
  ring.reserve(static_cast<std::size_t>(count) + 1);
  // The parameter runs anticlockwise seen from above (east towards north), so the ring is
  // counter-clockwise in longitude and latitude as RFC 7946 wants exterior rings.
  for (int i = 0; i < count; ++i) {
    const double t = 2 * std::numbers::pi * i / count;
    const double along = semi_major * std::cos(t);   // along the major axis
    const double across = semi_minor * std::sin(t);  // 90 degrees anticlockwise of it
    // The major axis points at azimuth a: east sin a, north cos a; the axis 90 degrees
    // anticlockwise of it points east -cos a, north sin a.
    const double east = along * std::sin(azimuth) - across * std::cos(azimuth);
    const double north = along * std::cos(azimuth) + across * std::sin(azimuth);
    Vertex vertex;
    double height = 0;
    local.Reverse(east, north, 0, vertex.lat, vertex.lon, height);
    vertex.height = origin.height;
    ring.push_back(vertex);
  }
  ring.push_back(ring.front());
  return ring;
}

std::string mapText(std::string_view code_page_850) {
  return cp850ToUtf8(code_page_850);
}

}  // namespace velk

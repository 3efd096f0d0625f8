#include "exports/geojson.h"

#include <cmath>

#include "format/json_writer.h"

namespace velk {
namespace {

constexpr int kCoordinateDecimals = 9;
constexpr int kValueDecimals = 12;

void position(JsonWriter& json, const Vertex& vertex) {
  json.beginArray(JsonWriter::Layout::kInline)
      .number(vertex.lon, kCoordinateDecimals)
      .number(vertex.lat, kCoordinateDecimals)
      .endArray();
}

void geometry(JsonWriter& json, const FeatureLayer& layer, const Feature& feature) {
  json.key("geometry").beginObject();
  switch (layer.geometry) {
    case GeometryType::kPoint:
      json.key("type").text("Point").key("coordinates");
      position(json, feature.vertices.front());
      break;
    case GeometryType::kLineString:
      json.key("type").text("LineString").key("coordinates").beginArray();
      for (const Vertex& vertex : feature.vertices) position(json, vertex);
      json.endArray();
      break;
    case GeometryType::kPolygon:
      json.key("type").text("Polygon").key("coordinates").beginArray().beginArray();
      for (const Vertex& vertex : feature.vertices) position(json, vertex);
      json.endArray().endArray();
      break;
  }
  json.endObject();
}

void value(JsonWriter& json, const AttributeValue& value) {
  if (const auto* integer = std::get_if<std::int64_t>(&value)) {
    json.integer(*integer);
  } else if (const auto* real = std::get_if<double>(&value)) {
    // Twelve significant digits, so a value reads back as the GeoPackage holds it.
    const double magnitude = std::fabs(*real);
    const int decimals =
        magnitude >= 1 ? std::max(0, kValueDecimals - 1 - static_cast<int>(std::log10(magnitude)))
                       : kValueDecimals;
    json.number(*real, decimals);
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    json.fileName(*text);  // UTF-8 already: kept as it is
  } else if (const auto* flag = std::get_if<bool>(&value)) {
    json.boolean(*flag);
  } else {
    json.null();
  }
}

void properties(JsonWriter& json, const FeatureLayer& layer, const Feature& feature) {
  json.key("properties").beginObject().key("layer").text(layer.name);
  for (std::size_t i = 0; i < layer.fields.size(); ++i) {
    json.key(layer.fields[i].name);
    value(json, feature.values[i]);
  }
  json.endObject();
}

}  // namespace

std::string geoJsonDocument(std::span<const FeatureLayer> layers) {
  JsonWriter json;
  json.beginObject().key("type").text("FeatureCollection").key("features").beginArray();
  for (const FeatureLayer& layer : layers) {
    for (const Feature& feature : layer.features) {
      json.beginObject().key("type").text("Feature");
      geometry(json, layer, feature);
      properties(json, layer, feature);
      json.endObject();
    }
  }
  json.endArray().endObject();
  return json.finish();
}

}  // namespace velk

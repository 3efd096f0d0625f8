#include "exports/check_layers.h"

#include <algorithm>

#include "exports/export_network.h"
#include "format/text_encoding.h"

namespace velk {
namespace {

using T = FieldType;

std::vector<Cartesian> stationPlaces(std::span<const Report> reports, const NetworkCheck& check) {
  std::vector<Report> usable;
  for (const BaselineCheck& baseline : check.baselines)
    if (baseline.usable) usable.push_back(reports[baseline.report]);
  std::vector<Cartesian> places;
  for (const StationCheck& station : check.stations)
    places.push_back(aprioriCoordinates(usable, station.name).value_or(station.position));
  return places;
}

FeatureLayer stationLayer(const NetworkCheck& check, std::span<const Cartesian> places,
                          const Projection* projection) {
  FeatureLayer layer{"stations",
                     GeometryType::kPoint,
                     {{"name", T::kText},
                      {"x", T::kReal},
                      {"y", T::kReal},
                      {"z", T::kReal},
                      {"lat_deg", T::kReal},
                      {"lon_deg", T::kReal},
                      {"height", T::kReal},
                      {"reports", T::kInteger},
                      {"coordinates", T::kInteger},
                      {"spread_m", T::kReal},
                      {"flags", T::kText}},
                     {}};
  if (projection)
    for (const Field& field : gridFields()) layer.fields.push_back(field);
  for (std::size_t s = 0; s < check.stations.size(); ++s) {
    const StationCheck& station = check.stations[s];
    const Cartesian& place = places[s];
    const Vertex vertex = geodeticVertex(place);
    Feature feature{
        {vertex},
        {cp850ToUtf8(station.name), place.x, place.y, place.z, vertex.lat, vertex.lon,
         vertex.height, std::int64_t{station.reports}, std::int64_t{station.coordinates},
         station.spread, std::string(station.flagged ? "spread" : "")}};
    if (projection)
      for (AttributeValue& value : gridValues(projection->project(place)))
        feature.values.push_back(std::move(value));
    layer.features.push_back(std::move(feature));
  }
  return layer;
}

// Per report: whether its pair is a suspect (on a flagged loop).
std::vector<bool> suspectReports(std::size_t count, const NetworkCheck& check) {
  std::vector<bool> suspect(count, false);
  for (const Suspect& s : check.suspects) {
    const PairMean& pair = check.pairs[s.pair];
    for (const std::size_t r : pair.reports) suspect[r] = true;
    for (const std::size_t r : pair.set_aside) suspect[r] = true;
  }
  return suspect;
}

std::optional<std::size_t> stationIndex(const NetworkCheck& check, const std::string& name) {
  const auto found = std::lower_bound(
      check.stations.begin(), check.stations.end(), name,
      [](const StationCheck& station, const std::string& n) { return station.name < n; });
  if (found == check.stations.end() || found->name != name) return std::nullopt;
  return static_cast<std::size_t>(found - check.stations.begin());
}

FeatureLayer baselineLayer(std::span<const Report> reports, const NetworkCheck& check,
                           std::span<const Cartesian> places) {
  FeatureLayer layer{"baselines",
                     GeometryType::kLineString,
                     {{"file", T::kText},
                      {"from", T::kText},
                      {"to", T::kText},
                      {"solution", T::kText},
                      {"ratio", T::kReal},
                      {"sigma3d_mm", T::kReal},
                      {"flags", T::kText},
                      {"suspect", T::kBoolean}},
                     {}};
  const std::vector<bool> suspect = suspectReports(reports.size(), check);
  for (const BaselineCheck& baseline : check.baselines) {
    if (!baseline.usable) continue;
    const Report& report = reports[baseline.report];
    const std::optional<std::size_t> from = stationIndex(check, report.fixed_station);
    const std::optional<std::size_t> to = stationIndex(check, report.unknown_station);
    if (!from || !to || *from == *to) continue;
    layer.features.push_back(
        {{geodeticVertex(places[*from]), geodeticVertex(places[*to])},
         {fileNameToUtf8(report.file), cp850ToUtf8(report.fixed_station),
          cp850ToUtf8(report.unknown_station), std::string(report.fixed ? "fixed" : "float"),
          report.lacks(ReportItem::kRatio) ? AttributeValue{} : AttributeValue{report.ratio},
          baseline.sigma3d * 1000, joinedFlags(baseline.flags), bool{suspect[baseline.report]}}});
  }
  return layer;
}

FeatureLayer loopLayer(const NetworkCheck& check, std::span<const Cartesian> places) {
  FeatureLayer layer{"loops",
                     GeometryType::kLineString,
                     {{"stations", T::kText},
                      {"perimeter_m", T::kReal},
                      {"misclosure_mm", T::kReal},
                      {"ppm", T::kReal},
                      {"t", T::kReal},
                      {"critical", T::kReal},
                      {"limit_mm", T::kReal},
                      {"flagged", T::kBoolean},
                      {"same_session", T::kBoolean},
                      {"float_leg", T::kBoolean}},
                     {}};
  for (const LoopCheck& loop : check.loops) {
    Feature feature;
    std::string names;
    for (const int s : loop.stations) {
      const auto station = static_cast<std::size_t>(s);
      feature.vertices.push_back(geodeticVertex(places[station]));
      if (!names.empty()) names += ' ';
      names += cp850ToUtf8(check.stations[station].name);
    }
    feature.vertices.push_back(feature.vertices.front());  // closed
    feature.values = {names,
                      loop.perimeter,
                      loop.test.length * 1000,
                      loop.ppm,
                      loop.test.t,
                      loop.test.critical,
                      loop.test.limit * 1000,
                      bool{loop.test.flagged},
                      bool{loop.same_session},
                      bool{loop.float_leg}};
    layer.features.push_back(std::move(feature));
  }
  return layer;
}

}  // namespace

std::vector<Field> gridFields() {
  return {{"easting", T::kReal},
          {"northing", T::kReal},
          {"grid_height", T::kReal},
          {"convergence_deg", T::kReal},
          {"scale_factor", T::kReal}};
}

std::vector<AttributeValue> gridValues(const GridPoint& point) {
  return {point.easting, point.northing, point.height, point.convergence_deg, point.scale};
}

std::string joinedFlags(std::span<const std::string> flags) {
  std::string text;
  for (const std::string& flag : flags) text += (text.empty() ? "" : ",") + flag;
  return text;
}

std::vector<FeatureLayer> checkLayers(std::span<const Report> reports, const NetworkCheck& check,
                                      const Projection* projection) {
  const std::vector<Cartesian> places = stationPlaces(reports, check);
  std::vector<FeatureLayer> layers;
  layers.push_back(stationLayer(check, places, projection));
  layers.push_back(baselineLayer(reports, check, places));
  layers.push_back(loopLayer(check, places));
  return layers;
}

}  // namespace velk

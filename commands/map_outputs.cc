#include "commands/map_outputs.h"

#include "commands/inputs.h"
#include "commands/output_files.h"
#include "exports/geojson.h"
#include "exports/geopackage.h"

namespace velk {

std::vector<OptionSpec> mapOptionSpecs() {
  return {
      {"gpkg", '\0', "FILE",
       "also write the results as map layers into a GeoPackage FILE (for QGIS and other GIS "
       "programs)"},
      {"geojson", '\0', "FILE", "also write the same map layers as one GeoJSON FILE"},
      {"crs", '\0', "CODE",
       "grid coordinates in the projected system CODE that PROJ knows (such as EPSG:2154): "
       "the GeoPackage's geometry and the stations' easting and northing"},
      {"source-crs", '\0', "CODE",
       "the geocentric system of the reports' coordinates (default: the one of the --crs "
       "system's datum)"},
  };
}

std::vector<OutputFile*> MapOutputs::files() {
  std::vector<OutputFile*> opened;
  if (gpkg) opened.push_back(&*gpkg);
  if (geojson) opened.push_back(&*geojson);
  return opened;
}

MapOutputs openMapOutputs(const ParsedOptions& options, bool crs_used_elsewhere) {
  const bool maps = options.has("gpkg") || options.has("geojson");
  if (options.has("crs") && !maps && !crs_used_elsewhere)
    throw UsageError("--crs needs --gpkg or --geojson");
  if (options.has("source-crs") && !options.has("crs"))
    throw UsageError("--source-crs needs --crs");
  const bool force = options.has("force");
  MapOutputs outputs;
  if (const std::optional<std::string> path = options.value("gpkg")) {
    if (*path == kStandardOutputName)
      throw UsageError("--gpkg: a GeoPackage is a database file, not standard output");
    outputs.gpkg.emplace(openOutputFile(*path, force));
  }
  if (const std::optional<std::string> path = options.value("geojson"))
    outputs.geojson.emplace(openOutputFile(*path, force));
  return outputs;
}

namespace {

double meanEpoch(std::span<const Report> reports) {
  double sum = 0;
  int count = 0;
  for (const Report& report : reports) {
    if (!report.isComplete()) continue;
    sum += decimalYear((report.start_mjd + report.end_mjd) / 2);
    ++count;
  }
  return count == 0 ? 2000.0 : sum / count;
}

}  // namespace

void prepareProjection(MapOutputs& outputs, const ParsedOptions& options,
                       std::span<const Report> reports, std::ostream& err) {
  const std::optional<std::string> crs = options.value("crs");
  if (!crs) return;
  try {
    outputs.projection.emplace(*crs, options.value("source-crs"), meanEpoch(reports));
  } catch (const ProjectionError& error) {
    throw UsageError(error.what());
  }
  notify(err,
         "grid coordinates in " + outputs.projection->description() + " (the reports' mean epoch)");
}

void writeMapOutputs(MapOutputs& outputs, std::span<const FeatureLayer> layers) {
  if (outputs.gpkg) {
    const Projection* projection = outputs.projection ? &*outputs.projection : nullptr;
    const SpatialReference reference = projection ? projection->reference() : geographicReference();
    const VertexPlacement place = [projection](const Vertex& vertex) {
      if (!projection) return longitudeLatitude(vertex);
      const GridPoint grid = projection->place(geocentricPoint(vertex));
      return MapPoint{grid.easting, grid.northing};
    };
    outputs.gpkg->write(geoPackageFile(layers, reference, place));
  }
  if (outputs.geojson) outputs.geojson->write(geoJsonDocument(layers));
}

}  // namespace velk

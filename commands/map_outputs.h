#pragma once

// The map and grid outputs that `check` and `adjust` share: --gpkg FILE, --geojson FILE,
// --crs CODE and --source-crs CODE.

#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "commands/options.h"
#include "exports/geo_features.h"
#include "exports/projection.h"
#include "format/output_file.h"
#include "reading/report.h"

namespace velk {

// The four options, for a subcommand's option list. `crs_also` names what else --crs
// changes on that subcommand ("" when nothing).
std::vector<OptionSpec> mapOptionSpecs();

// The map files of a run, opened before the work (an existing file stops the run at once),
// and the projection of --crs.
struct MapOutputs {
  std::optional<OutputFile> gpkg, geojson;
  std::optional<Projection> projection;

  // The files opened, for OutputFile::commitAll.
  std::vector<OutputFile*> files();
};

// Opens the files that --gpkg and --geojson name (with --force replacing). UsageError when
// --crs or --source-crs is given with nothing to use them (`crs_used_elsewhere` false and
// no map file), or --source-crs without --crs.
MapOutputs openMapOutputs(const ParsedOptions& options, bool crs_used_elsewhere);

// With --crs, the projection at the reports' mean epoch (the middle of each complete
// report's observation period), said on `err`. UsageError with PROJ's message for a code
// PROJ does not know or a system of the wrong kind.
void prepareProjection(MapOutputs& outputs, const ParsedOptions& options,
                       std::span<const Report> reports, std::ostream& err);

// The layers written into the map files opened (not yet committed). The GeoPackage's
// geometry is on the grid of --crs when given, else longitude and latitude; the GeoJSON's
// is always longitude and latitude.
void writeMapOutputs(MapOutputs& outputs, std::span<const FeatureLayer> layers);

}  // namespace velk

#pragma once

// The map layer of `baselines series`: each station pair as a line between its stations'
// a priori coordinates, with its status (and a stroke colour for it), velocity, steps and
// displacement.

#include <span>
#include <vector>

#include "exports/geo_features.h"
#include "reading/report.h"
#include "series/series_views.h"

namespace velk {

// Layer "pairs": one line per series whose two stations have a priori coordinates in
// `reports` (as `export` takes them). Series of local components give the velocity and
// displacement in east, north, up (mm/yr, mm); others in their own components.
std::vector<FeatureLayer> seriesLayers(std::span<const series::AnalysedSeries> all,
                                       std::span<const Report> reports);

// The stroke colour of a status ("#RRGGBB"), as GeoJSON's simple-style and QGIS's
// data-defined colours read it: green ok, amber warning, red alarm, grey insufficient,
// purple unstable.
const char* statusColour(series::Status status);

}  // namespace velk

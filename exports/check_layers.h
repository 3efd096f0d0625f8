#pragma once

// The map layers of `baselines check`: its stations, its baselines (with their flags and
// whether they are suspects) and its loops, from the check's results.

#include <span>
#include <vector>

#include "checks/network_check.h"
#include "exports/geo_features.h"
#include "exports/projection.h"
#include "reading/report.h"

namespace velk {

// Layers "stations" (points), "baselines" (lines between their stations' a priori
// coordinates, one per usable report) and "loops" (closed lines), in that order. A station
// lies at its a priori coordinates as `export` takes them (mark 1 of the first usable
// report where it is the fixed station, else mark 2 of the first where it is the unknown
// one), else where the check placed it. With a projection, the stations also carry their
// grid coordinates.
std::vector<FeatureLayer> checkLayers(std::span<const Report> reports, const NetworkCheck& check,
                                      const Projection* projection);

// The fields easting, northing, grid_height, convergence_deg, scale_factor, and their values
// for one point; for the stations layers of every analysis.
std::vector<Field> gridFields();
std::vector<AttributeValue> gridValues(const GridPoint& point);

// Flags joined by commas, as one attribute.
std::string joinedFlags(std::span<const std::string> flags);

}  // namespace velk

#pragma once

// The map layers, grid columns and SINEX solution of `baselines adjust`, from the results
// of its last adjustment (the constrained one when there is one).

#include <span>
#include <string>
#include <vector>

#include "adjustment/adjustment.h"
#include "exports/geo_features.h"
#include "exports/projection.h"
#include "exports/sinex.h"
#include "reading/report.h"

namespace velk {

// The adjustment the exports show: the constrained one when there is one, else the
// minimally constrained one.
const AdjustmentResult& lastAdjustment(const AdjustmentRun& run);

// Layers "stations" (points at the adjusted coordinates, with sigmas and the standard
// ellipse), "baselines" (one line per report, with its residuals, tests and reliability)
// and "ellipses" (each unheld station's 95% horizontal ellipse as a polygon of 72 points,
// drawn `ellipse_scale` times larger; the scale is an attribute). `reports` are the
// reports given to the adjustment. With a projection, the stations carry their grid
// coordinates and grid sigmas.
std::vector<FeatureLayer> adjustLayers(const AdjustmentRun& run, std::span<const Report> reports,
                                       double ellipse_scale, const Projection* projection);

// The stations CSV of the adjustment (its lines in the order of the stations) with the grid
// columns appended: easting, northing, grid_height, sE_grid_mm, sN_grid_mm (the local east
// and north sigmas turned by the convergence and scaled by the point scale factor),
// convergence_deg, scale_factor.
std::string withGridColumns(const std::string& stations_csv, const AdjustmentResult& result,
                            const Projection& projection);

// The SINEX solution of the last adjustment: stations with their observation epochs (of the
// reports that name them), estimates, statistics, and the full covariance or the normal
// equations as the adjustment gave them.
SinexSolution adjustSinex(const AdjustmentRun& run, std::span<const Report> reports,
                          double created_mjd);

}  // namespace velk

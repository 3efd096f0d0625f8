#pragma once

// The views of an adjustment's results: text for a person, JSON for a script, CSV of the
// stations for a spreadsheet or a GIS. None computes anything but units.

#include <string>
#include <vector>

#include "adjustment/adjustment.h"

namespace velk {

// The report: for each adjustment (minimally constrained, then constrained) its summary
// and global test, stations, reports, reports taken out and relative precision, a line
// under each table explaining its columns; then `act_on`. Angles in grads, or degrees
// with `degrees`; lengths in metres, residuals and precisions in millimetres.
std::string adjustmentText(const AdjustmentRun& run, const std::vector<std::string>& act_on,
                           bool degrees);

// The JSON document: the minimally constrained adjustment's "summary", "stations",
// "reports", "removed" and "relative" at the top, the constrained one in "constrained"
// (same members), and "act_on". Angles in degrees, SI units unless a name says _mm;
// coordinates and covariances with at least 10 significant digits.
std::string adjustmentJson(const AdjustmentRun& run, const std::vector<std::string>& act_on);

// One line per station of the last adjustment (the constrained one when there is one):
// name,held,X,Y,Z,lat_deg,lon_deg,h,sE_mm,sN_mm,sU_mm,semi_major_mm,semi_minor_mm,
// azimuth_deg, with a heading line; names in UTF-8, quoted when they hold a comma or quote.
std::string stationsCsv(const AdjustmentRun& run);

}  // namespace velk

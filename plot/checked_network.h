#pragma once

#include <span>
#include <string>
#include <vector>

#include "checks/network_check.h"
#include "plot/log_series.h"
#include "plot/network_picture.h"
#include "reading/report.h"

namespace velk::plot {

// The network picture of checked reports: the stations that usable reports place, in the
// local East-North plane of the first report's mark 1, and every pair of two such
// stations, coloured by its status (suspect; flagged: one of its reports has a flag other
// than `float`, its repeat is flagged, or a flagged loop runs through it; fine) and marked
// float only when none of its reports is fixed. `left_out` receives a line for each
// station that no usable report places.
NetworkDrawing checkedNetwork(std::span<const Report> reports, const NetworkCheck& check,
                              std::vector<std::string>& left_out);

// The series of every pair of two or more usable reports, in the order of the pairs:
// E, N, U in the local frame of the pair's first station and the length, each report
// against the pair's weighted mean, with ±1 sigma from the report's covariance (times the
// variance factor) turned into that frame. Times: the middle of each observation period.
std::vector<NamedSeries> pairSeries(std::span<const Report> reports, const NetworkCheck& check,
                                    double variance_factor);

}  // namespace velk::plot

#pragma once

// The series of the station pairs of a set of reports read each on its own.

#include <span>
#include <string>
#include <vector>

#include "reading/report.h"
#include "series/series.h"

namespace velk::series {

// What a report needs to take part in a series: both station names (two different
// stations), its vector, sigmas, mark 1 and date, and a covariance that is positive
// definite. Otherwise, the reason ("no mark 1", "covariance not positive definite").
std::string unusableForSeries(const Report& report);

// One series per station pair measured by the reports (every one usable): the reports in
// order of the middle of their observation period, a report against the pair's direction
// (that of its first report) negated; components east, north, up in the local frame of
// the pair's first report's mark 1, in mm, minus the first point's; the covariance turned
// into that frame. Float reports count towards the trailing float reports, and are points
// only `with_float`. Pairs in the order of their first report.
std::vector<Series> pairSeries(std::span<const Report> reports, bool with_float);

}  // namespace velk::series

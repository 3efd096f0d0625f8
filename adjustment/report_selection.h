#pragma once

#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "reading/report.h"

namespace velk {

// Whether a report can be an observation of an adjustment on its own: complete
// (reportIsComplete), two different stations, and a positive definite covariance.
bool reportIsAdjustable(const Report& report);

// The reports of an adjustment, in the order given: the adjustable ones with a fixed
// solution (float ones too with `with_float`), less those without mark 2 whose unknown
// station is the fixed station of no report that goes in (nothing would give that station
// a priori coordinates). `notice` is told each complete report left out and why, one line
// each (the incomplete ones are the reading's to name); float reports left out are counted
// in one line.
std::vector<Report> selectAdjustmentReports(std::span<const Report> reports, bool with_float,
                                            const std::function<void(std::string_view)>& notice);

}  // namespace velk

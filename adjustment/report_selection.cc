#include "adjustment/report_selection.h"

#include <set>
#include <string>

#include "format/text_encoding.h"
#include "geodesy/covariance.h"

namespace velk {
namespace {

std::string reportPlace(const Report& report) {
  return report.path + " (report at line " + std::to_string(report.header_line) + ")";
}

// Why a report cannot be an observation whatever the others are; empty when it can.
std::string reasonToLeaveOut(const Report& report) {
  if (!reportIsComplete(report)) return report.missingNeededText();
  if (report.fixed_station == report.unknown_station)
    return "the same station " + cp850ToUtf8(report.fixed_station) + " at both ends";
  if (!isPositiveDefinite(report.covariance()))
    return "its covariance matrix is not positive definite";
  return {};
}

}  // namespace

bool reportIsAdjustable(const Report& report) {
  return reasonToLeaveOut(report).empty();
}

std::vector<Report> selectAdjustmentReports(std::span<const Report> reports, bool with_float,
                                            const std::function<void(std::string_view)>& notice) {
  std::vector<std::string> reasons;
  std::size_t floats_left_out = 0;
  for (const Report& report : reports) {
    reasons.push_back(reasonToLeaveOut(report));
    if (reasons.back().empty() && !with_float && !report.fixed) {
      reasons.back() = "float";
      ++floats_left_out;
    }
  }
  // Leaving a report out can take the last fixed role from a station: repeat until stable.
  for (bool changed = true; changed;) {
    changed = false;
    std::set<std::string> fixed_stations;
    for (std::size_t i = 0; i < reports.size(); ++i)
      if (reasons[i].empty()) fixed_stations.insert(reports[i].fixed_station);
    for (std::size_t i = 0; i < reports.size(); ++i) {
      if (!reasons[i].empty() || !reports[i].lacks(ReportItem::kMark2) ||
          fixed_stations.count(reports[i].unknown_station) != 0)
        continue;
      reasons[i] = "no mark 2, and " + cp850ToUtf8(reports[i].unknown_station) +
                   " is the fixed station of no report that goes in";
      changed = true;
    }
  }
  std::vector<Report> selected;
  for (std::size_t i = 0; i < reports.size(); ++i) {
    if (reasons[i].empty())
      selected.push_back(reports[i]);
    else if (reasons[i] != "float" && reportIsComplete(reports[i]))
      notice(reportPlace(reports[i]) + ": left out: " + reasons[i]);
  }
  if (floats_left_out > 0)
    notice(std::to_string(floats_left_out) +
           " float report(s) left out (ambiguities not fixed; --with-float takes them in)");
  return selected;
}

}  // namespace velk

#include "exports/export_network.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "format/number_text.h"
#include "format/run_error.h"
#include "format/text_encoding.h"
#include "geodesy/covariance.h"
#include "network/station_graph.h"

namespace velk {
namespace {

// The items every report of an export must have; mark 2 is judged apart.
constexpr ReportItem kNeededItems[] = {ReportItem::kNames, ReportItem::kVector,
                                       ReportItem::kSigmas, ReportItem::kMark1,
                                       ReportItem::kDate};

std::string reportPlace(const Report& report) {
  return report.path + " (report at line " + std::to_string(report.header_line) + ")";
}

std::string missingNeededItems(const Report& report) {
  std::string text;
  for (const ReportItem item : kNeededItems) {
    if (!report.lacks(item)) continue;
    if (!text.empty()) text += ", ";
    text += "no ";
    text += reportItemName(item);
  }
  return text;
}

std::string matrixText(const Report& report) {
  return "sigmas " + fixedTextTiesToEven(report.sigma_x, 6) + " " + fixedTextTiesToEven(report.sigma_y, 6) + " " +
         fixedTextTiesToEven(report.sigma_z, 6) + " m, correlations xy " + fixedTextTiesToEven(report.r_xy, 2) +
         " xz " + fixedTextTiesToEven(report.r_xz, 2) + " yz " + fixedTextTiesToEven(report.r_yz, 2);
}

// Why a report cannot go in whatever the other reports are; empty when it can.
std::string reasonToLeaveOut(const Report& report) {
  const std::string missing = missingNeededItems(report);
  if (!missing.empty()) return missing;
  if (report.fixed_station == report.unknown_station)
    return "the same station " + cp850ToUtf8(report.fixed_station) + " at both ends";
  if (!isPositiveDefinite(report.covariance()))
    return "its covariance matrix is not positive definite (" + matrixText(report) + ")";
  return {};
}

// Reports without mark 2 whose unknown station is the fixed station of no report still
// in: leaving one out can take the last fixed role from another station, so repeat.
void leaveOutThoseWithoutCoordinates(std::span<const Report> reports,
                                     std::vector<std::string>& reasons) {
  for (bool changed = true; changed;) {
    changed = false;
    std::set<std::string> fixed_stations;
    for (std::size_t i = 0; i < reports.size(); ++i)
      if (reasons[i].empty()) fixed_stations.insert(reports[i].fixed_station);
    for (std::size_t i = 0; i < reports.size(); ++i) {
      const Report& report = reports[i];
      if (!reasons[i].empty() || !report.lacks(ReportItem::kMark2) ||
          fixed_stations.count(report.unknown_station) != 0)
        continue;
      reasons[i] = "no mark 2, and " + cp850ToUtf8(report.unknown_station) +
                   " is the fixed station of no report that goes in";
      changed = true;
    }
  }
}

std::string joinedPlaces(const std::vector<const Report*>& reports) {
  std::string text;
  for (const Report* report : reports) {
    if (!text.empty()) text += ", ";
    text += reportPlace(*report);
  }
  return text;
}

// One notice for all float reports: those left out by --fixed-only, or else those that go in.
void noticeFloatReports(const std::vector<const Report*>& floats, bool fixed_only,
                        const ExportNotice& notice) {
  if (floats.empty()) return;
  const std::string count = std::to_string(floats.size());
  notice(fixed_only ? count + " float report(s) left out (--fixed-only): " + joinedPlaces(floats)
                    : count + " float report(s) go in (ambiguities not fixed): " +
                          joinedPlaces(floats));
}

std::string joinedNames(const StationGraph& graph, const std::vector<int>& stations) {
  std::string text;
  for (const int station : stations) {
    if (!text.empty()) text += ", ";
    text += cp850ToUtf8(graph.stationName(station));
  }
  return text;
}

const Report* fixedAt(std::span<const Report> reports, std::string_view name) {
  const auto found = std::find_if(reports.begin(), reports.end(),
                                  [&](const Report& r) { return r.fixed_station == name; });
  return found == reports.end() ? nullptr : &*found;
}

const Report* unknownWithMark2(std::span<const Report> reports, std::string_view name) {
  const auto found = std::find_if(reports.begin(), reports.end(), [&](const Report& r) {
    return r.unknown_station == name && !r.lacks(ReportItem::kMark2);
  });
  return found == reports.end() ? nullptr : &*found;
}

ExportStation stationOf(const std::string& name, std::span<const Report> reports) {
  if (const Report* report = fixedAt(reports, name))
    return {name, report->fixed_description, report->mark1};
  // The selection guarantees a report where it is the unknown station with mark 2.
  const Report* report = unknownWithMark2(reports, name);
  return {name, report->unknown_description, report->mark2};
}

// Every connected part must hold a station, else its normal equations are singular.
void requireHeldStationInEveryPart(const StationGraph& graph,
                                   const std::vector<ExportStation>& stations) {
  std::string floating;
  for (const std::vector<int>& part : graph.connectedParts()) {
    const bool holds = std::any_of(part.begin(), part.end(), [&](int station) {
      return stations[static_cast<std::size_t>(station)].held;
    });
    if (holds) continue;
    if (!floating.empty()) floating += "; ";
    floating += joinedNames(graph, part);
  }
  if (!floating.empty())
    throw RunError("no held station ties these stations to the others (their adjustment "
                   "would be singular; hold one of each part with --hold): " + floating);
}

// At least `width` digits, with leading zeros.
std::string zeroPadded(std::int32_t value, std::size_t width) {
  std::string text = std::to_string(value);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

}  // namespace

std::string dayMonthYearText(const CalendarDate& date) {
  return zeroPadded(date.day, 2) + "." + zeroPadded(date.month, 2) + "." +
         zeroPadded(date.year, 4);
}

std::vector<Report> selectExportReports(std::span<const Report> reports, bool fixed_only,
                                        const ExportNotice& notice) {
  constexpr std::string_view kFloatLeftOut = "no fixed solution";
  std::vector<std::string> reasons;
  reasons.reserve(reports.size());
  for (const Report& report : reports) {
    reasons.push_back(reasonToLeaveOut(report));
    if (reasons.back().empty() && fixed_only && !report.fixed) reasons.back() = kFloatLeftOut;
  }
  leaveOutThoseWithoutCoordinates(reports, reasons);

  std::vector<Report> selected;
  std::vector<const Report*> floats;
  for (std::size_t i = 0; i < reports.size(); ++i) {
    const bool floating_in = reasons[i].empty() && !reports[i].fixed;
    if (reasons[i] == kFloatLeftOut || floating_in) floats.push_back(&reports[i]);
    if (reasons[i].empty()) {
      selected.push_back(reports[i]);
    } else if (reasons[i] != kFloatLeftOut) {
      notice(reportPlace(reports[i]) + ": left out: " + reasons[i]);
    }
  }
  noticeFloatReports(floats, fixed_only, notice);
  return selected;
}

std::optional<Cartesian> aprioriCoordinates(std::span<const Report> reports,
                                            std::string_view name) {
  if (const Report* report = fixedAt(reports, name)) return report->mark1;
  if (const Report* report = unknownWithMark2(reports, name)) return report->mark2;
  return std::nullopt;
}

std::optional<std::string> findStationName(std::span<const Report> reports,
                                           std::string_view given) {
  for (const Report& report : reports) {
    if (report.lacks(ReportItem::kNames)) continue;
    for (const std::string* name : {&report.fixed_station, &report.unknown_station})
      if (*name == given || cp850ToUtf8(*name) == given) return *name;
  }
  return std::nullopt;
}

ExportNetwork buildExportNetwork(std::vector<Report> reports,
                                 std::span<const std::string> held, double variance_factor) {
  if (reports.empty()) throw RunError("no report can go into the export");
  const StationGraph graph(reports);
  ExportNetwork network;
  for (int station = 0; station < graph.stationCount(); ++station)
    network.stations.push_back(stationOf(graph.stationName(station), reports));

  const std::vector<std::string> default_held{reports.front().fixed_station};
  for (const std::string& name : held.empty() ? std::span(default_held) : held) {
    const std::optional<int> station = graph.stationIndex(name);
    if (!station)
      throw RunError("held station " + cp850ToUtf8(name) +
                     " is in no report that goes into the export");
    network.stations[static_cast<std::size_t>(*station)].held = true;
  }
  requireHeldStationInEveryPart(graph, network.stations);

  network.reports = std::move(reports);
  network.variance_factor = variance_factor;
  return network;
}

}  // namespace velk

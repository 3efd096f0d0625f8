#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/geodesy.h"
#include "reading/report.h"

namespace velk {

// A date as DynaML writes it: "dd.mm.yyyy".
std::string dayMonthYearText(const CalendarDate& date);

// One line for the user (standard error), without the program's name.
using ExportNotice = std::function<void(std::string_view)>;

// The reports of an adjustment export, each judged on its own. A report goes in when it has
// both station names (two different stations), its vector, sigmas, mark 1 and date, a
// positive definite covariance, and mark 2 where its unknown station is not the fixed
// station of any report that goes in (mark 2 then gives that station's coordinates).
// Every other report is left out with a notice naming its file and what it lacks. With
// `fixed_only`, reports without a fixed solution are left out too; either way one notice
// lists the float reports and says which way they went.
std::vector<Report> selectExportReports(std::span<const Report> reports, bool fixed_only,
                                        const ExportNotice& notice);

// A station name as the reports spell it (code page 850), found by the name given on the
// command line: the same bytes, or the same text in UTF-8 (as a terminal types it).
std::optional<std::string> findStationName(std::span<const Report> reports,
                                           std::string_view given);

// The a priori coordinates the export gives the station `name` among `reports`: mark 1 of
// the first report where it is the fixed station, else mark 2 of the first report that
// gives mark 2 where it is the unknown one; nothing when no report gives either.
std::optional<Cartesian> aprioriCoordinates(std::span<const Report> reports,
                                            std::string_view name);

struct ExportStation {
  std::string name;         // code page 850, as the reports give it
  std::string description;  // the description line of the report that gives the coordinates
  Cartesian apriori;        // a priori geocentric coordinates, metres
  bool held = false;
};

// What the writers write: the stations in order of first appearance and one measurement
// per report, in the order of the reports.
struct ExportNetwork {
  std::vector<ExportStation> stations;
  std::vector<Report> reports;
  // Multiplies every covariance: DynaML Vscale, the Gama matrices times it.
  double variance_factor = 1;
};

// The network of the selected reports. A station's a priori coordinates are mark 1 of the
// first report where it is the fixed station, else mark 2 of the first report where it is
// the unknown one. `held` are station names as the reports spell them; none means the
// fixed station of the first report. Throws RunError when there is no report, when a held
// station is in none of the reports, or when a connected part of the network holds no
// station (its adjustment would be singular): the message names that part's stations.
ExportNetwork buildExportNetwork(std::vector<Report> reports,
                                 std::span<const std::string> held, double variance_factor);

}  // namespace velk

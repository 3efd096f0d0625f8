#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "checks/baseline_flags.h"
#include "checks/check_options.h"
#include "reading/report.h"

namespace velk {

// A station's a priori coordinates as the usable reports give them: mark 1 where it is the
// fixed station, mark 2 where it is the unknown one.
struct StationCheck {
  std::string name;
  int reports = 0;      // usable reports that name the station
  int coordinates = 0;  // a priori coordinates given for it
  // The first coordinate given; for a station only ever named as an unknown station of
  // reports without mark 2, mark 1 plus the vector of its first report. Local frames of the
  // loops and repeats are taken here.
  Cartesian position;
  double spread = 0;  // metres: the largest distance between two coordinates given
  // The reports that give the two coordinates farthest apart (equal when spread is 0).
  std::size_t spread_from = 0, spread_to = 0;
  bool flagged = false;  // spread > station_tolerance
};

// Every station of the usable reports, in the order of their names.
std::vector<StationCheck> checkStations(std::span<const Report> reports,
                                        std::span<const BaselineCheck> baselines,
                                        const CheckOptions& options);

}  // namespace velk

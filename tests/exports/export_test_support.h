#pragma once

#include <string>

#include "reading/report.h"

namespace velk::testing {

// A complete fixed report from `from` (at mark1) to `to`, read from `file` at line 1.
inline Report completeReport(std::string file, std::string from, std::string to,
                             Cartesian mark1, Cartesian vector) {
  Report report;
  report.path = "campaign/" + file;
  report.file = std::move(file);
  report.header_line = 1;
  report.fixed_station = std::move(from);
  report.unknown_station = std::move(to);
  report.fixed = true;
  report.vector = vector;
  report.sigma_x = 0.001183;
  report.sigma_y = 0.000771;
  report.sigma_z = 0.001246;
  report.r_xy = 0.02;
  report.r_xz = 0.69;
  report.r_yz = 0.02;
  report.mark1 = mark1;
  report.mark2 = {mark1.x + vector.x, mark1.y + vector.y, mark1.z + vector.z};
  report.start_date = {2017, 3, 23};
  report.start_mjd = modifiedJulianDate(report.start_date, 7 * 3600 + 9 * 60);
  report.end_mjd = report.start_mjd + 2.0 / 24;
  return report;
}

}  // namespace velk::testing

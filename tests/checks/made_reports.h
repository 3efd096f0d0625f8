#pragma once

// Reports made by hand for the checks' tests: each consistent with itself (mark 2 is mark 1
// plus the vector, E1 N1 U1 the vector in the frame of mark 1) unless a test spoils it.

#include <string>

#include "geodesy/geodesy.h"
#include "reading/report.h"

namespace velk::testing {

// A point near the surface at 47° N, 5° E, and points a few km from it.
inline Cartesian nearSurface(double east_km, double north_km) {
  const Cartesian origin{4350000.0, 380000.0, 4630000.0};
  // Rows E and N of the frame at about 47° N, 5° E; good enough to spread stations out.
  return {origin.x + (-0.0872 * east_km - 0.7280 * north_km) * 1000,
          origin.y + (0.9962 * east_km - 0.0637 * north_km) * 1000,
          origin.z + (0.6820 * north_km) * 1000};
}

inline Report madeReport(const std::string& from, const std::string& to, const Cartesian& mark1,
                         const Cartesian& vector, double sigma = 0.002) {
  Report report;
  report.file = from + to + ".017";
  report.fixed_station = from;
  report.unknown_station = to;
  report.fixed = true;
  report.ratio = 12.5;
  report.vector = vector;
  report.sigma_x = report.sigma_y = report.sigma_z = sigma;
  report.mark1 = mark1;
  report.mark2 = {mark1.x + vector.x, mark1.y + vector.y, mark1.z + vector.z};
  report.local = TRLOC(report.mark2, mark1);
  report.start_date = {2017, 3, 23};
  report.start_mjd = modifiedJulianDate(report.start_date, 7 * 3600.0);
  report.end_mjd = modifiedJulianDate(report.start_date, 9 * 3600.0);
  return report;
}

// The report of the baseline between two true points, the vector moved by `error`.
inline Report measured(const std::string& from, const Cartesian& a, const std::string& to,
                       const Cartesian& b, const Cartesian& error = {}) {
  return madeReport(from, to, a, {b.x - a.x + error.x, b.y - a.y + error.y, b.z - a.z + error.z});
}

// Gives the report an observation period of its own, `hour` hours after the first.
inline void inSession(Report& report, int hour) {
  report.start_mjd += hour / 24.0;
  report.end_mjd += hour / 24.0;
}

}  // namespace velk::testing

#pragma once

// A baseline over time: one station pair's reports in time order, each as its three
// components relative to a base value, with its full covariance. The analyses of series/
// (variance factor, steps, outliers, velocities, displacement) read it and never change it.

#include <Eigen/Dense>
#include <optional>
#include <string>
#include <vector>

namespace velk::series {

// What the three components are: east, north, up in the local frame of the pair's first
// report's mark 1, or the geocentric dX, dY, dZ of a LOG file that carries those.
enum class ComponentKind { kLocal, kGeocentric };

// One report of a series.
struct SeriesPoint {
  double epoch = 0;  // decimal year of GPS time (see series/epochs.h)
  Eigen::Vector3d value = Eigen::Vector3d::Zero();       // mm, minus the series' base
  Eigen::Matrix3d covariance = Eigen::Matrix3d::Zero();  // mm², positive definite
  std::string file;       // the O-file (or the LOG file and line) it comes from
  bool is_float = false;  // a float solution (kept only when asked for)
};

// The points are in time order (ties keep their reading order). `base` is the value the
// components are taken from: absolute component = base + value (the baseline vector in
// mm), which gives the length and its changes.
struct Series {
  std::string from, to;  // station names, or a LOG group's name in `from`
  ComponentKind kind = ComponentKind::kLocal;
  Eigen::Vector3d base = Eigen::Vector3d::Zero();
  std::vector<SeriesPoint> points;
  // How many of the pair's last reports are float, counting those left out of `points`
  // (float reports are analysed only when asked for, but always raise the float warning).
  int trailing_float_reports = 0;
  // The epoch of the pair's last report, float ones included; nothing: the last point's.
  std::optional<double> last_report_epoch;
};

}  // namespace velk::series

#pragma once

// MIDAS, the median interannual difference adjusted for skewness (Blewitt, Kreemer,
// Hammond and Gazeaux 2016, "MIDAS robust trend estimator for accurate GPS station
// velocities without step detection", J. Geophys. Res. 121, doi:10.1002/2015JB012552): the
// velocity as the median of the slopes between points about one year apart, which a few
// outliers, seasonal signals and steps barely move.

#include <Eigen/Dense>
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "series/series.h"

namespace velk::series {

// How points are paired, so that the result is reproducible. Forward pass: each point i in
// time order takes as partner the first point j not yet taken as a partner in this pass
// with t_j ≥ t_i + interval − tolerance. Backward pass: from the last point, each takes the
// last point j not yet taken in that pass with t_j ≤ t_i − interval + tolerance. A pair
// that spans a step is dropped, and its partner stays free for the next point.
struct MidasRules {
  double interval_years = 1.0;
  double tolerance_years = 0.001;
  bool backward_pass = true;
};

struct MidasVelocity {
  Eigen::Vector3d velocity = Eigen::Vector3d::Zero();  // mm per year
  Eigen::Vector3d sigma = Eigen::Vector3d::Zero();     // mm per year
  std::array<int, 3> slopes_kept{};                    // per component
  int pairs = 0;                                       // slopes of both passes
};

// The velocity of the points not `excluded` (empty: none), the pairs within one segment of
// `segment_of_point` (one entry per point; empty: one segment). Per component: the median
// m and σ = 1.4826 × the median absolute deviation of the slopes; the slopes within 2σ of
// m are kept, and their median is the velocity, with sigma 3 √(π/2) σ' / √(N/4) (σ' of
// the kept slopes, N of them). Nothing when no pair is formed.
std::optional<MidasVelocity> midasVelocity(const Series& series, const std::vector<bool>& excluded,
                                           const std::vector<int>& segment_of_point,
                                           const MidasRules& rules = {});

}  // namespace velk::series

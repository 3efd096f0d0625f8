#pragma once

namespace velk {

// The thresholds of `baselines check`, in metres unless named otherwise.
struct CheckOptions {
  double min_ratio = 3.0;          // a fixed solution's ratio below this is `low_ratio`
  double max_sigma3d = 0.5;        // sigma3D at or above this is `imprecise`
  double station_tolerance = 1.0;  // largest spread of a station's a priori coordinates
  double tolerance_mm = 10.0;      // a finding's length must exceed
  double tolerance_ppm = 1.0;      //   tolerance_mm / 1000 + tolerance_ppm × L × 1e-6
  double variance_factor = 1.0;    // multiplies every report's covariance
  double alpha = 0.01;             // significance level of the chi-square tests
  int top = 10;                    // reports listed under "Reports to look at first"
};

}  // namespace velk

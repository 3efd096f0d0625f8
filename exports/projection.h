#pragma once

// Grid coordinates of the reports' geocentric points in a projected system that PROJ knows
// (EPSG:2154, a UTM zone, a national grid), with the grid convergence and the point scale
// factor from PROJ's own factors (proj_factors).

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "exports/geo_features.h"
#include "exports/geopackage.h"
#include "geodesy/geodesy.h"

namespace velk {

// A code PROJ does not know, or one that names no system of the kind asked for; the
// message is PROJ's own where PROJ gives one.
class ProjectionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct GridPoint {
  double easting = 0, northing = 0;  // metres
  double height = 0;                 // ellipsoidal, metres, on the target's datum
  // The angle from true north to grid north, clockwise positive (PROJ's meridian
  // convergence), degrees: a true azimuth A is the grid bearing A - convergence.
  double convergence_deg = 0;
  double scale = 1;  // point scale factor of the projection (conformal: the same every way)
};

// East and north standard deviations on the grid: the local east-north covariance turned by
// the convergence and multiplied by the scale factor. cov_en: east-east, east-north,
// north-north in m².
struct GridSigmas {
  double easting = 0, northing = 0;
};
GridSigmas gridSigmas(double cov_ee, double cov_en, double cov_nn, const GridPoint& point);

class Projection {
 public:
  // `target`: a projected system. `source`: the geocentric system the reports' coordinates
  // are in; none: the geocentric system of the target's datum. `epoch`: the decimal year
  // at which a time-dependent transformation is taken. Throws ProjectionError.
  Projection(const std::string& target, const std::optional<std::string>& source, double epoch);
  ~Projection();
  Projection(Projection&&) noexcept;
  Projection& operator=(Projection&&) = delete;

  // Grid coordinates with the convergence and the scale factor.
  GridPoint project(const Cartesian& point) const;
  // Grid coordinates and height only (convergence 0, scale 1): for drawing.
  GridPoint place(const Cartesian& point) const;
  // The target as a row of gpkg_spatial_ref_sys (its WKT from PROJ).
  const SpatialReference& reference() const;
  // "RGF93 v1 / Lambert-93 (EPSG:2154) from RGF93 v1 geocentric, at epoch 2017.225".
  std::string description() const;
  double epoch() const;

 private:
  Vertex geodetic(const Cartesian& point) const;
  GridPoint grid(const Vertex& geodetic) const;
  struct State;
  std::unique_ptr<State> state_;
};

// The system EPSG:4326 as a row of gpkg_spatial_ref_sys, its WKT from PROJ.
SpatialReference geographicReference();

// A modified Julian date as a decimal year, as a transformation's epoch is given:
// 2000.0 + (MJD - 51544.5) / 365.25.
double decimalYear(double modified_julian_date);

}  // namespace velk

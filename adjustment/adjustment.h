#pragma once

// The least-squares adjustment of a network of baseline vectors, with its tests and its
// reliability, computed once into plain result structs. The text report, the JSON, the CSV
// and any other writer are views of these structs; none computes anything again.
//
// Units in every struct: metres, square metres and degrees unless a member's name says
// otherwise (_mm); coordinates geocentric on the reports' own datum.

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "geodesy/geodesy.h"
#include "reading/report.h"

namespace velk {

// Which variance factor the precisions (station and relative) use. The tests always use
// the a priori one.
enum class SigmaChoice {
  kApriori,      // σ0 = 1: the reports' covariances as given (× the variance factor)
  kAposteriori,  // scaled by σ̂0² of the adjustment
  kAuto,         // a priori unless the global test fails on its upper side
};

// A station of the control file: a held station without sigmas, a weighted observation of
// its coordinates with them.
struct ControlStation {
  std::string name;                // as the reports spell it
  Cartesian xyz;                   // metres
  std::optional<Cartesian> sigma;  // standard deviations of X, Y, Z, metres, all > 0
};

// A limit on the relative precision of two stations: millimetres plus parts per million of
// their distance, against the 95% semi-major axis of their relative horizontal ellipse.
struct RelativeLimit {
  double mm = 0;
  double ppm = 0;
};

struct AdjustmentOptions {
  double variance_factor = 1;  // multiplies every report's covariance, before the additions
  double centring_h = 0;       // metres, per end of a report, on east and north
  double centring_v = 0;       // metres, per end of a report, on up
  double ppm = 0;              // parts per million of the length, on each local axis
  // Names held in the minimally constrained adjustment (one per connected part); empty:
  // the fixed station of the first report.
  std::vector<std::string> held;
  bool free = false;  // inner constraints per connected part instead of held stations
  double alpha_global = 0.05;
  double alpha = 0.001;  // of the one-dimensional w-test
  double power = 0.80;
  bool snooping = true;  // false: nothing is taken out
  SigmaChoice sigma = SigmaChoice::kAuto;
  // Extra pairs whose relative precision is wanted, by name.
  std::vector<std::array<std::string, 2>> relative_pairs;
  std::optional<RelativeLimit> relative_limit;
  // Keep the matrices over every station's X, Y, Z that a SINEX file holds: the full
  // covariance when the network has at most `full_covariance_stations` stations, else the
  // normal equations.
  bool keep_matrices = false;
  std::size_t full_covariance_stations = 500;
};

// The B-method's critical values (Baarda 1968): the non-centrality λ0 at which the
// one-dimensional test at `alpha_w` has power `power`, and the three-dimensional test's
// level chosen to have the same power at λ0.
struct CriticalValues {
  double alpha_w = 0;
  double power = 0;
  double lambda0 = 0;      // 17.07 for 0.001 and 0.80
  double critical_w = 0;   // |w| above it is rejected: 3.29
  double alpha_t3 = 0;     // about 0.0055
  double critical_t3 = 0;  // T above it is rejected: about 4.21
};

// The two-sided chi-square test of vᵀPv on `redundancy` degrees of freedom.
struct GlobalTest {
  int redundancy = 0;
  double vtpv = 0;             // vᵀPv with the a priori weights, m²/m² (dimensionless)
  double variance_factor = 0;  // σ̂0² = vᵀPv / r; 0 when r = 0
  double alpha = 0;
  double lower = 0, upper = 0;  // chi-square values at alpha/2 and 1 - alpha/2
  bool tested = false;          // false when r = 0: nothing can be tested
  bool passed = true;           // lower <= vᵀPv <= upper (true when not tested)
  bool failedHigh() const { return tested && vtpv > upper; }
};

// A horizontal error ellipse in the local frame: semi-axes in metres, azimuth of the major
// axis in degrees from north, clockwise, in [0, 180).
struct Ellipse {
  double semi_major = 0;
  double semi_minor = 0;
  double azimuth_deg = 0;
};

struct StationResult {
  std::string name;   // as the reports spell it (code page 850)
  bool held = false;  // held at its given coordinates: zero covariance
  Cartesian apriori;  // the a priori coordinates (of the reports, or of the control file)
  Cartesian xyz;      // adjusted
  // Covariance of X, Y, Z in m², scaled as the summary's `precision_scale` says; zero for a
  // held station. Free datum: the inner-constraint covariance.
  Matrix3 cov_xyz;
  double lat_deg = 0, lon_deg = 0, height = 0;  // of xyz on GRS 80, ellipsoidal height in m
  LocalENU sigma_enu;  // standard deviations along the local east, north and up, metres
  Ellipse ellipse;     // standard ellipse (39.4%); × kEllipse95 for 95%
};

// One observation of the adjustment: a report (a vector between two stations) or, in a
// constrained adjustment, a control station's weighted coordinates. Every 3-vector is on
// the local east, north and up axes at the report's first station (mark 1; for a control
// station, the station itself).
struct ObservationResult {
  bool control = false;       // a control station's coordinates, not a report
  std::size_t report = 0;     // index into the reports given (control: into the control list)
  std::string file;           // the O-file's base name; for control, "control"
  std::string from, to;       // station names; control: both the station
  LocalENU residual;          // v = adjusted - observed, metres
  bool tested = false;        // false: the block has rank below 3, no w and no T
  std::array<double, 3> w{};  // w-tests on E, N, U; sign of the estimated bias
  double t3 = 0;              // T = (Pv)ᵀ[(PQvP)]⁻¹(Pv) / 3 over the block
  std::array<double, 3> redundancy{};        // cᵀQvPc per axis; they sum to r
  std::array<double, 3> redundancy_share{};  // cᵀPQvPc / cᵀPc, between 0 and 1
  std::array<double, 3> mdb{};               // minimal detectable bias, metres (inf: none)
  std::array<double, 3> bnr{};               // bias-to-noise ratio (inf when uncontrolled)
  bool uncontrolled = false;                 // a share below 0.01 or a block of rank below 3
  bool rejected = false;                     // T above its critical value (in the final state)
  // Taken out by data snooping: its residual and tests are those at the moment it was
  // taken out (the largest T/critical then); `removal` counts from 1.
  bool removed = false;
  int removal = 0;
  std::vector<std::string> flags;  // "uncontrolled", "rejected", "removed"
};

// The relative precision of two stations, in the local frame of the first, at 95%.
struct RelativePrecision {
  std::string from, to;
  bool observed = false;  // measured by a report (else asked for with --relative)
  double distance = 0;    // metres
  Ellipse ellipse95;      // the standard ellipse × kEllipse95
  double vertical95 = 0;  // the up standard deviation × 1.96, metres
  double limit = 0;       // metres; 0 when no limit is given
  bool limited = false;   // a limit was given
  bool passed = true;     // semi-major axis within the limit
};

inline constexpr double kEllipse95 = 2.4477;  // √(chi-square 2 dof at 0.95)
inline constexpr double kVertical95 = 1.96;

struct AdjustmentSummary {
  bool constrained = false;      // with control stations (else minimally constrained)
  bool free_datum = false;       // inner constraints
  std::size_t reports_used = 0;  // reports among the observations, taken out ones included
  std::size_t control_observations = 0;
  int stations = 0;
  int unknowns = 0;
  GlobalTest global;          // after data snooping
  GlobalTest global_initial;  // before anything was taken out
  CriticalValues critical;
  bool aposteriori_scale = false;   // precisions scaled by σ̂0² (else a priori)
  double precision_scale = 1;       // the factor the precisions' covariances carry
  std::size_t factor_nonzeros = 0;  // of the sparse Cholesky factor
};

// Matrices over the parameters X, Y, Z of every station, in the order of the result's
// stations (3 s, 3 s + 1, 3 s + 2 for station s), as lower triangles: the non-zero elements
// with row >= column, sorted by row, then column.
struct SolutionMatrices {
  struct Element {
    std::size_t row = 0, column = 0;
    double value = 0;
  };
  // The full covariance (m², scaled as the summary's precision_scale says; a held
  // station's rows are zero), when the network is small enough.
  bool has_covariance = false;
  std::vector<Element> covariance;
  // Otherwise the normal equations N dx = b of the observations kept (not taken out) at
  // the a priori coordinates, without any datum: every station's unknowns, held ones too.
  std::vector<Element> normals;
  std::vector<double> rhs;
};

struct AdjustmentResult {
  AdjustmentSummary summary;
  std::vector<StationResult> stations;          // in order of first appearance
  std::vector<ObservationResult> observations;  // reports in order given, then control
  std::vector<std::size_t> removed;             // indices into observations, in order
  std::vector<RelativePrecision> relative;      // observed pairs, then the ones asked for
  std::vector<std::string> held;                // names of the held stations
  std::optional<SolutionMatrices> matrices;     // with AdjustmentOptions::keep_matrices
};

// Both adjustments of a run: the minimally constrained one always, the constrained one
// when control stations are given.
struct AdjustmentRun {
  AdjustmentResult minimal;
  std::optional<AdjustmentResult> constrained;
};

// The run. `reports` are the reports to adjust, each complete (see selectAdjustmentReports);
// `control` the control stations (may be empty). Throws RunError when a connected part has
// no held station (without `free`), when a held or control name is in no report, when a
// part of the constrained adjustment has no control, or when the normal equations are
// singular.
AdjustmentRun adjustNetwork(std::span<const Report> reports,
                            std::span<const ControlStation> control,
                            const AdjustmentOptions& options);

// The findings a surveyor can act on, one line each: the reports taken out (in order),
// then a failed global test, relative-precision tests beyond their limit and the
// uncontrolled reports, for each adjustment. Station names as the reports spell them
// (code page 850).
std::vector<std::string> actOnLines(const AdjustmentRun& run);
// Whether the run has a flagged finding: a failed global test, a report taken out, a
// relative-precision test beyond its limit; with `strict` an uncontrolled report too.
bool runIsFlagged(const AdjustmentRun& run, bool strict);

}  // namespace velk

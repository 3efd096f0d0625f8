#include "adjustment/adjustment.h"

#include <Eigen/Dense>
#include <GeographicLib/Constants.hpp>
#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/NormalGravity.hpp>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <set>
#include <stdexcept>

#include "adjustment/sparse_cofactors.h"
#include "adjustment/testing_theory.h"
#include "format/number_text.h"
#include "format/run_error.h"
#include "format/text_encoding.h"
#include "geodesy/local_frame.h"
#include "network/station_graph.h"

namespace velk {
namespace {

using Eigen::Matrix3d;
using Eigen::Vector3d;

Matrix3d toEigen(const Matrix3& m) {
  Matrix3d e;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) e(i, j) = m(i + 1, j + 1);
  return e;
}

Matrix3 fromEigen(const Matrix3d& e) {
  Matrix3 m;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m(i + 1, j + 1) = e(i, j);
  return m;
}

Vector3d toEigen(const Cartesian& c) {
  return {c.x, c.y, c.z};
}
Cartesian toCartesian(const Vector3d& v) {
  return {v(0), v(1), v(2)};
}

// The rows east, north and up of the local frame at a point.
Matrix3d localAxes(const Cartesian& point) {
  return toEigen(LocalFrame(point).rotation());
}

// One observation of a vector (from, to) or of a station's coordinates (from = -1).
struct Observation {
  int from = -1;
  int to = 0;
  Vector3d observed;
  Matrix3d covariance;  // m², a priori
  Matrix3d axes;        // rows E, N, U at the first station
  bool control = false;
  std::size_t source = 0;
  std::string file;
};

struct Problem {
  std::vector<std::string> names;
  std::vector<Cartesian> apriori;  // the values held stations keep
  std::vector<bool> held;
  std::vector<Observation> observations;
  std::vector<std::vector<int>> free_parts;  // S-transformed to inner constraints
  bool constrained = false;
  std::size_t reports = 0;
};

// The covariance of a report as an observation: its own matrix × the variance factor, plus
// centring (both ends) and a length-proportional part on the local axes of mark 1.
Matrix3d observationCovariance(const Report& report, const Matrix3d& axes,
                               const AdjustmentOptions& options) {
  Matrix3d covariance = toEigen(report.covariance()) * options.variance_factor;
  const double length = toEigen(report.vector).norm();
  const double proportional = std::pow(options.ppm * 1e-6 * length, 2);
  const double horizontal = 2 * options.centring_h * options.centring_h + proportional;
  const double vertical = 2 * options.centring_v * options.centring_v + proportional;
  if (horizontal == 0 && vertical == 0) return covariance;
  const Vector3d local(horizontal, horizontal, vertical);
  covariance += axes.transpose() * local.asDiagonal() * axes;
  return covariance;
}

// The stations' a priori coordinates as an export takes them: mark 1 of the first report
// where a station is the fixed one, else mark 2 of the first where it is the unknown one.
std::vector<Cartesian> aprioriCoordinates(const StationGraph& graph,
                                          std::span<const Report> reports) {
  const auto count = static_cast<std::size_t>(graph.stationCount());
  std::vector<Cartesian> apriori(count);
  std::vector<int> source(count, 0);  // 0 none yet, 1 a mark 2, 2 a mark 1
  for (const Report& report : reports) {
    const auto fixed = static_cast<std::size_t>(*graph.stationIndex(report.fixed_station));
    const auto unknown = static_cast<std::size_t>(*graph.stationIndex(report.unknown_station));
    if (source[fixed] < 2) {
      apriori[fixed] = report.mark1;
      source[fixed] = 2;
    }
    if (source[unknown] < 1) {
      apriori[unknown] = report.mark2;
      source[unknown] = 1;
    }
  }
  return apriori;
}

std::string partText(const StationGraph& graph, const std::vector<int>& part) {
  std::string text;
  for (const int station : part) {
    if (!text.empty()) text += ", ";
    text += cp850ToUtf8(graph.stationName(station));
  }
  return text;
}

int stationNamed(const StationGraph& graph, const std::string& name, const char* what) {
  const std::optional<int> index = graph.stationIndex(name);
  if (!index) throw RunError(std::string(what) + " " + cp850ToUtf8(name) + " is in no report");
  return *index;
}

// The held stations of the minimally constrained adjustment, one per connected part; with
// a free datum the first station of each part, to be S-transformed away.
void chooseDatum(const StationGraph& graph, std::span<const Report> reports,
                 const AdjustmentOptions& options, Problem& problem) {
  problem.held.assign(problem.names.size(), false);
  const std::vector<std::vector<int>> parts = graph.connectedParts();
  if (options.free) {
    for (const std::vector<int>& part : parts) {
      problem.held[static_cast<std::size_t>(part.front())] = true;
      problem.free_parts.push_back(part);
    }
    return;
  }
  std::vector<std::string> held = options.held;
  if (held.empty()) held.push_back(reports.front().fixed_station);
  for (const std::string& name : held)
    problem.held[static_cast<std::size_t>(stationNamed(graph, name, "held station"))] = true;
  std::string floating;
  for (const std::vector<int>& part : parts) {
    const auto count = std::count_if(
        part.begin(), part.end(), [&](int s) { return problem.held[static_cast<std::size_t>(s)]; });
    if (count > 1)
      throw RunError(
          "hold one station per connected part (several control marks go in "
          "--control): " +
          partText(graph, part));
    if (count == 0) floating += (floating.empty() ? "" : "; ") + partText(graph, part);
  }
  if (!floating.empty())
    throw RunError(
        "no held station ties these stations to the others (hold one of each "
        "part with --hold, or use --free): " +
        floating);
}

Problem minimalProblem(std::span<const Report> reports, const StationGraph& graph,
                       const AdjustmentOptions& options) {
  Problem problem;
  for (int s = 0; s < graph.stationCount(); ++s) problem.names.push_back(graph.stationName(s));
  problem.apriori = aprioriCoordinates(graph, reports);
  for (std::size_t i = 0; i < reports.size(); ++i) {
    const Report& report = reports[i];
    Observation observation;
    observation.from = *graph.stationIndex(report.fixed_station);
    observation.to = *graph.stationIndex(report.unknown_station);
    observation.observed = toEigen(report.vector);
    observation.axes = localAxes(report.mark1);
    observation.covariance = observationCovariance(report, observation.axes, options);
    observation.source = i;
    observation.file = report.file;
    problem.observations.push_back(observation);
  }
  problem.reports = reports.size();
  chooseDatum(graph, reports, options, problem);
  return problem;
}

// The constrained problem: the reports the minimal adjustment kept, control stations held
// at their given coordinates or observed with their sigmas.
Problem constrainedProblem(const Problem& minimal, const AdjustmentResult& minimal_result,
                           const StationGraph& graph, std::span<const ControlStation> control) {
  Problem problem;
  problem.constrained = true;
  problem.names = minimal.names;
  problem.apriori = minimal.apriori;
  problem.held.assign(problem.names.size(), false);
  for (std::size_t k = 0; k < minimal.observations.size(); ++k)
    if (!minimal_result.observations[k].removed)
      problem.observations.push_back(minimal.observations[k]);
  problem.reports = problem.observations.size();
  std::vector<bool> tied(problem.names.size(), false);
  for (std::size_t c = 0; c < control.size(); ++c) {
    const ControlStation& station = control[c];
    const int s = stationNamed(graph, station.name, "control station");
    tied[static_cast<std::size_t>(s)] = true;
    if (!station.sigma) {
      problem.held[static_cast<std::size_t>(s)] = true;
      problem.apriori[static_cast<std::size_t>(s)] = station.xyz;
      continue;
    }
    Observation observation;
    observation.to = s;
    observation.control = true;
    observation.observed = toEigen(station.xyz);
    observation.axes = localAxes(station.xyz);
    const Vector3d sigma = toEigen(*station.sigma);
    observation.covariance = sigma.cwiseProduct(sigma).asDiagonal();
    observation.source = c;
    observation.file = "control";
    problem.observations.push_back(observation);
  }
  std::string floating;
  for (const std::vector<int>& part : graph.connectedParts())
    if (std::none_of(part.begin(), part.end(),
                     [&](int s) { return tied[static_cast<std::size_t>(s)]; }))
      floating += (floating.empty() ? "" : "; ") + partText(graph, part);
  if (!floating.empty())
    throw RunError(
        "no control station in these parts of the network, the constrained "
        "adjustment has no datum there: " +
        floating);
  return problem;
}

// One rank-3 downdate of the cofactor matrix: Q' = Q + U M Uᵀ with U = Q Aₖᵀ and
// M = Qv,ₖ⁻¹ (Sherman-Morrison-Woodbury), kept as its factors.
using Columns3 = Eigen::Matrix<double, Eigen::Dynamic, 3>;
struct Downdate {
  Columns3 u;  // unknowns × 3
  Matrix3d m;
};

// The least-squares solution of one problem, updated as data snooping takes observations
// out, with the cofactor blocks the statistics need.
class Solver {
 public:
  Solver(const Problem& problem, const CriticalValues& critical)
      : problem_(problem), critical_(critical) {
    numberUnknowns();
    factorise();
  }

  AdjustmentResult run(const AdjustmentOptions& options);

 private:
  struct State {
    Vector3d residual = Vector3d::Zero();
    Matrix3d qv = Matrix3d::Zero();
  };

  int unknownOf(int station) const {
    return station < 0 ? -1 : unknown_[static_cast<std::size_t>(station)];
  }
  void numberUnknowns();
  void factorise();
  using UnitBlocks = std::span<const std::pair<int, double>>;
  Columns3 updatedSolve(UnitBlocks blocks) const;
  Vector3d correction(int station) const;
  State stateOf(const Observation& observation, std::size_t k) const;
  ObservationResult tested(std::size_t k, const State& state) const;
  std::optional<double> snoopingRatio(std::size_t k) const;
  void takeOut(std::size_t k, const State& state);
  Matrix3d stationBlock(int station) const;
  GlobalTest currentGlobalTest(double alpha) const;
  void fillStations(AdjustmentResult& result, double scale) const;
  void fillRelative(AdjustmentResult& result, const AdjustmentOptions& options, double scale) const;
  void fillMatrices(AdjustmentResult& result, const AdjustmentOptions& options, double scale) const;
  std::vector<SolutionMatrices::Element> fullCovariance(double scale) const;
  void normalEquations(SolutionMatrices& matrices) const;

  const Problem& problem_;
  const CriticalValues critical_;
  std::vector<int> unknown_;  // per station: its unknown block, or -1 when held
  int unknowns_ = 0;          // blocks of three
  std::optional<SparseCofactors> cofactors_;
  Eigen::VectorXd solution_;          // corrections to the a priori coordinates
  std::vector<Vector3d> misclosure_;  // per observation: observed - computed a priori
  std::vector<Matrix3d> station_q_;   // per unknown block
  std::vector<Matrix3d> cross_q_;     // per observation: Q(from, to)
  std::vector<Matrix3d> whitening_;   // per observation: L⁻¹ with C = LLᵀ
  std::vector<Downdate> downdates_;
  std::vector<bool> active_;
  int redundancy_ = 0;
};

void Solver::numberUnknowns() {
  unknown_.assign(problem_.names.size(), -1);
  for (std::size_t s = 0; s < problem_.names.size(); ++s)
    if (!problem_.held[s]) unknown_[s] = unknowns_++;
  redundancy_ = 3 * static_cast<int>(problem_.observations.size()) - 3 * unknowns_;
  active_.assign(problem_.observations.size(), true);
}

Vector3d Solver::correction(int station) const {
  const int u = unknownOf(station);
  return u < 0 ? Vector3d::Zero() : Vector3d(solution_.segment<3>(3 * u));
}

// N = Σ AᵀPA and b = Σ AᵀP(l − A x0), assembled in 3×3 blocks; then the factor, the
// solution and the selected inverse's blocks.
void Solver::factorise() {
  std::vector<Eigen::Triplet<double>> triplets;
  const auto n = 3 * static_cast<Eigen::Index>(unknowns_);
  Eigen::VectorXd rhs = Eigen::VectorXd::Zero(n);
  const auto addBlock = [&](int a, int b, const Matrix3d& block) {
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) triplets.emplace_back(3 * a + r, 3 * b + c, block(r, c));
  };
  for (const Observation& observation : problem_.observations) {
    const Matrix3d weight = observation.covariance.inverse();
    whitening_.push_back(
        Eigen::LLT<Matrix3d>(observation.covariance).matrixL().solve(Matrix3d::Identity()));
    const Vector3d computed =
        toEigen(problem_.apriori[static_cast<std::size_t>(observation.to)]) -
        (observation.from < 0
             ? Vector3d::Zero()
             : toEigen(problem_.apriori[static_cast<std::size_t>(observation.from)]));
    const Vector3d misclosure = observation.observed - computed;
    misclosure_.push_back(misclosure);
    const int f = unknownOf(observation.from), t = unknownOf(observation.to);
    if (t >= 0) {
      addBlock(t, t, weight);
      rhs.segment<3>(3 * t) += weight * misclosure;
    }
    if (f >= 0) {
      addBlock(f, f, weight);
      rhs.segment<3>(3 * f) -= weight * misclosure;
    }
    if (f >= 0 && t >= 0) {
      addBlock(t, f, -weight);
      addBlock(f, t, -weight.transpose());
    }
  }
  if (n == 0) {
    solution_ = Eigen::VectorXd();
    return;
  }
  SparseNormals normals(n, n);
  normals.setFromTriplets(triplets.begin(), triplets.end());
  try {
    cofactors_.emplace(normals);
  } catch (const std::runtime_error&) {
    throw RunError(
        "the normal equations are singular (a station without three independent "
        "observations?)");
  }
  solution_ = cofactors_->solve(rhs);
  cofactors_->invertSelected();
  for (int u = 0; u < unknowns_; ++u) station_q_.push_back(cofactors_->block(u, u));
  for (const Observation& observation : problem_.observations) {
    const int f = unknownOf(observation.from), t = unknownOf(observation.to);
    cross_q_.push_back(f >= 0 && t >= 0 ? cofactors_->block(f, t) : Matrix3d::Zero());
  }
}

// Q' B = Q B + Σ Uₛ Mₛ (Uₛᵀ B) for B of three columns: ±1 on the X, Y, Z unknowns of each
// listed block (a held station's block, -1, adds nothing). The solve is by the first
// factor; each downdate then costs one n×3 by 3×3 product, Uₛᵀ B being a sum of rows.
Columns3 Solver::updatedSolve(UnitBlocks blocks) const {
  if (unknowns_ == 0) return Columns3();
  Columns3 rhs = Columns3::Zero(3 * unknowns_, 3);
  for (const auto& [u, sign] : blocks)
    if (u >= 0) rhs.block<3, 3>(3 * u, 0) += sign * Matrix3d::Identity();
  Columns3 z = cofactors_->solveThree(rhs);
  for (const Downdate& d : downdates_) {
    Matrix3d projected = Matrix3d::Zero();
    for (const auto& [u, sign] : blocks)
      if (u >= 0) projected += sign * d.u.block<3, 3>(3 * u, 0).transpose();
    z.noalias() += d.u.lazyProduct(d.m * projected);
  }
  return z;
}

Matrix3d Solver::stationBlock(int station) const {
  const int u = unknownOf(station);
  return u < 0 ? Matrix3d::Zero() : station_q_[static_cast<std::size_t>(u)];
}

// Qv = C − A Q Aᵀ and v = A x − l of one observation.
Solver::State Solver::stateOf(const Observation& observation, std::size_t k) const {
  State state;
  Matrix3d qy = stationBlock(observation.to) + stationBlock(observation.from);
  qy -= cross_q_[k] + cross_q_[k].transpose();
  state.qv = observation.covariance - qy;
  state.residual = correction(observation.to) - correction(observation.from) - misclosure_[k];
  return state;
}

// T = vᵀQv⁻¹v / 3 = |L_M⁻¹ y|² / 3 with y = L⁻¹v, M = L⁻¹QvL⁻ᵀ = L_M L_Mᵀ (C = LLᵀ), or
// nothing when M, whose eigenvalues lie between 0 and 1, has a pivot near 0: the block then
// has a direction that no other observation checks (rank below 3).
std::optional<double> blockTest(const Matrix3d& scaled, const Vector3d& y) {
  constexpr double kRankTolerance = 1e-9;
  const Eigen::LLT<Matrix3d> llt(scaled);
  if (llt.info() != Eigen::Success) return std::nullopt;
  const double pivot = llt.matrixLLT().diagonal().minCoeff();
  if (pivot * pivot <= kRankTolerance) return std::nullopt;
  return llt.matrixL().solve(y).squaredNorm() / 3;
}

// The w-tests, T and the reliability of one observation, on the local axes (Baarda 1968;
// Teunissen 2006): c a local axis in the observation's components, P = C⁻¹.
ObservationResult Solver::tested(std::size_t k, const State& state) const {
  const Observation& observation = problem_.observations[k];
  ObservationResult result;
  result.control = observation.control;
  result.report = observation.source;
  result.file = observation.file;
  const std::string& to = problem_.names[static_cast<std::size_t>(observation.to)];
  result.from =
      observation.from < 0 ? to : problem_.names[static_cast<std::size_t>(observation.from)];
  result.to = to;
  const Vector3d local = observation.axes * state.residual;
  result.residual = {local(0), local(1), local(2)};
  const Matrix3d weight = whitening_[k].transpose() * whitening_[k];
  const Vector3d pv = weight * state.residual;
  const Matrix3d pqvp = weight * state.qv * weight;
  const std::optional<double> t3 = blockTest(whitening_[k] * state.qv * whitening_[k].transpose(),
                                             whitening_[k] * state.residual);
  result.tested = t3.has_value();
  const double lambda0 = critical_.lambda0;
  for (int a = 0; a < 3; ++a) {
    const Vector3d c = observation.axes.row(a).transpose();
    const double cpqvpc = c.dot(pqvp * c);
    result.redundancy[a] = c.dot(state.qv * weight * c);
    result.redundancy_share[a] = std::clamp(cpqvpc / c.dot(weight * c), 0.0, 1.0);
    const double share = result.redundancy_share[a];
    const bool checked = cpqvpc > 0 && share >= 1e-12;
    result.mdb[a] = checked ? std::sqrt(lambda0 / cpqvpc) : std::numeric_limits<double>::infinity();
    result.bnr[a] = checked ? std::sqrt(lambda0 * (1 - share) / share)
                            : std::numeric_limits<double>::infinity();
    if (share < 0.01) result.uncontrolled = true;
    if (result.tested) result.w[a] = -c.dot(pv) / std::sqrt(cpqvpc);
  }
  if (!result.tested) {
    result.uncontrolled = true;
  } else {
    result.t3 = *t3;
    result.rejected = result.t3 > critical_.critical_t3;
  }
  return result;
}

// T over its critical value, or nothing for a block of rank below 3: the part of tested()
// that data snooping needs for every observation after every step.
std::optional<double> Solver::snoopingRatio(std::size_t k) const {
  const State state = stateOf(problem_.observations[k], k);
  const std::optional<double> t3 = blockTest(whitening_[k] * state.qv * whitening_[k].transpose(),
                                             whitening_[k] * state.residual);
  if (!t3) return std::nullopt;
  return *t3 / critical_.critical_t3;
}

// Takes observation k out: x' = x + U M v, Q' = Q + U M Uᵀ, U = Q Aₖᵀ, M = Qv,ₖ⁻¹
// (Sherman-Morrison-Woodbury), the factor of the normal equations untouched.
void Solver::takeOut(std::size_t k, const State& state) {
  const Observation& observation = problem_.observations[k];
  const std::pair<int, double> design[] = {{unknownOf(observation.to), 1.0},
                                           {unknownOf(observation.from), -1.0}};
  Downdate d;
  d.u = updatedSolve(design);
  d.m = state.qv.inverse();
  const Vector3d scaled = d.m * state.residual;
  solution_ += d.u * scaled;
  for (int u = 0; u < unknowns_; ++u) {
    const Eigen::Matrix<double, 3, 3> rows = d.u.block<3, 3>(3 * u, 0);
    station_q_[static_cast<std::size_t>(u)] += rows * d.m * rows.transpose();
  }
  for (std::size_t j = 0; j < problem_.observations.size(); ++j) {
    const int f = unknownOf(problem_.observations[j].from);
    const int t = unknownOf(problem_.observations[j].to);
    if (f < 0 || t < 0) continue;
    cross_q_[j] += d.u.block<3, 3>(3 * f, 0) * d.m * d.u.block<3, 3>(3 * t, 0).transpose();
  }
  downdates_.push_back(std::move(d));
  active_[k] = false;
  redundancy_ -= 3;
}

GlobalTest Solver::currentGlobalTest(double alpha) const {
  double vtpv = 0;
  for (std::size_t k = 0; k < problem_.observations.size(); ++k) {
    if (!active_[k]) continue;
    vtpv += (whitening_[k] * stateOf(problem_.observations[k], k).residual).squaredNorm();
  }
  return globalTest(vtpv, redundancy_, alpha);
}

// The ellipse of a 2×2 covariance of east and north: semi-axes from its eigenvalues, the
// major axis's azimuth from tan 2θ = 2 q_en / (q_nn − q_ee).
Ellipse ellipseOf(const Matrix3d& enu) {
  const double qee = enu(0, 0), qnn = enu(1, 1), qen = enu(0, 1);
  const double mean = (qee + qnn) / 2;
  const double radius = std::hypot((qee - qnn) / 2, qen);
  Ellipse ellipse;
  ellipse.semi_major = std::sqrt(std::max(0.0, mean + radius));
  ellipse.semi_minor = std::sqrt(std::max(0.0, mean - radius));
  double azimuth = 0.5 * std::atan2(2 * qen, qnn - qee) * 180 / std::numbers::pi;
  if (azimuth < 0) azimuth += 180;
  ellipse.azimuth_deg = azimuth >= 180 ? azimuth - 180 : azimuth;
  return ellipse;
}

const GeographicLib::Geocentric& grs80() {
  namespace gl = GeographicLib;
  static const gl::Geocentric earth(
      gl::Constants::GRS80_a(),
      gl::NormalGravity::J2ToFlattening(gl::Constants::GRS80_a(), gl::Constants::GRS80_GM(),
                                        gl::Constants::GRS80_omega(), gl::Constants::GRS80_J2()));
  return earth;
}

// Inner constraints per part (Baarda 1973): the corrections of a part's stations sum to
// zero; x_S = S x and Q_S = S Q Sᵀ with S = I − G(GᵀG)⁻¹Gᵀ, G the part's translations.
// Q_S(a,a) = Q_aa − (g_a + g_aᵀ)/m + GᵀQG/m², g_a = Σ_b Q_ab over the part's m stations.
void Solver::fillStations(AdjustmentResult& result, double scale) const {
  const std::size_t count = problem_.names.size();
  std::vector<Vector3d> corrections(count);
  std::vector<Matrix3d> covariances(count);
  for (std::size_t s = 0; s < count; ++s) {
    corrections[s] = correction(static_cast<int>(s));
    covariances[s] = stationBlock(static_cast<int>(s));
  }
  for (const std::vector<int>& part : problem_.free_parts) {
    const double m = static_cast<double>(part.size());
    std::vector<std::pair<int, double>> members;
    Vector3d mean = Vector3d::Zero();
    for (const int s : part) {
      members.emplace_back(unknownOf(s), 1.0);
      mean += corrections[static_cast<std::size_t>(s)] / m;
    }
    const Columns3 sums = unknowns_ > 0 ? updatedSolve(members) : Columns3();
    Matrix3d total = Matrix3d::Zero();
    for (const int s : part)
      if (unknownOf(s) >= 0) total += sums.block<3, 3>(3 * unknownOf(s), 0);
    for (const int s : part) {
      const int u = unknownOf(s);
      const Matrix3d g = u < 0 ? Matrix3d::Zero() : Matrix3d(sums.block<3, 3>(3 * u, 0));
      corrections[static_cast<std::size_t>(s)] -= mean;
      covariances[static_cast<std::size_t>(s)] += total / (m * m) - (g + g.transpose()) / m;
    }
  }
  for (std::size_t s = 0; s < count; ++s) {
    StationResult station;
    station.name = problem_.names[s];
    station.held = problem_.held[s] && problem_.free_parts.empty();
    station.apriori = problem_.apriori[s];
    const Vector3d xyz = toEigen(problem_.apriori[s]) + corrections[s];
    station.xyz = toCartesian(xyz);
    const Matrix3d covariance = covariances[s] * scale;
    station.cov_xyz = fromEigen(covariance);
    grs80().Reverse(xyz(0), xyz(1), xyz(2), station.lat_deg, station.lon_deg, station.height);
    const Matrix3d axes = localAxes(station.xyz);
    const Matrix3d enu = axes * covariance * axes.transpose();
    station.sigma_enu = {std::sqrt(std::max(0.0, enu(0, 0))), std::sqrt(std::max(0.0, enu(1, 1))),
                         std::sqrt(std::max(0.0, enu(2, 2)))};
    station.ellipse = ellipseOf(enu);
    result.stations.push_back(station);
    if (problem_.held[s] && problem_.free_parts.empty()) result.held.push_back(station.name);
  }
}

void Solver::fillRelative(AdjustmentResult& result, const AdjustmentOptions& options,
                          double scale) const {
  struct Wanted {
    int from, to;
    bool observed;
    std::optional<Matrix3d> cross;
  };
  std::vector<Wanted> wanted;
  std::set<std::pair<int, int>> seen;
  for (std::size_t k = 0; k < problem_.observations.size(); ++k) {
    const Observation& observation = problem_.observations[k];
    if (observation.control) continue;
    const auto key = std::minmax(observation.from, observation.to);
    if (!seen.insert(key).second) continue;
    wanted.push_back({observation.from, observation.to, true, cross_q_[k]});
  }
  for (const auto& [a, b] : options.relative_pairs) {
    const auto from = std::find(problem_.names.begin(), problem_.names.end(), a);
    const auto to = std::find(problem_.names.begin(), problem_.names.end(), b);
    if (from == problem_.names.end() || to == problem_.names.end() || from == to)
      throw RunError("--relative " + cp850ToUtf8(a) + "," + cp850ToUtf8(b) +
                     ": not two stations of the network");
    wanted.push_back({static_cast<int>(from - problem_.names.begin()),
                      static_cast<int>(to - problem_.names.begin()), false, std::nullopt});
  }
  for (const Wanted& pair : wanted) {
    Matrix3d cross = Matrix3d::Zero();
    if (pair.cross) {
      cross = unknownOf(pair.from) >= 0 && unknownOf(pair.to) >= 0 ? *pair.cross : cross;
    } else if (unknownOf(pair.from) >= 0 && unknownOf(pair.to) >= 0) {
      const std::pair<int, double> column[] = {{unknownOf(pair.to), 1.0}};
      cross = updatedSolve(column).block<3, 3>(3 * unknownOf(pair.from), 0);
    }
    const Matrix3d q =
        (stationBlock(pair.from) + stationBlock(pair.to) - cross - cross.transpose()) * scale;
    const Cartesian from_xyz = toCartesian(
        toEigen(problem_.apriori[static_cast<std::size_t>(pair.from)]) + correction(pair.from));
    const Cartesian to_xyz = toCartesian(
        toEigen(problem_.apriori[static_cast<std::size_t>(pair.to)]) + correction(pair.to));
    const Matrix3d axes = localAxes(from_xyz);
    const Matrix3d enu = axes * q * axes.transpose();
    RelativePrecision relative;
    relative.from = problem_.names[static_cast<std::size_t>(pair.from)];
    relative.to = problem_.names[static_cast<std::size_t>(pair.to)];
    relative.observed = pair.observed;
    relative.distance = (toEigen(to_xyz) - toEigen(from_xyz)).norm();
    relative.ellipse95 = ellipseOf(enu);
    relative.ellipse95.semi_major *= kEllipse95;
    relative.ellipse95.semi_minor *= kEllipse95;
    relative.vertical95 = kVertical95 * std::sqrt(std::max(0.0, enu(2, 2)));
    if (options.relative_limit) {
      relative.limited = true;
      relative.limit = options.relative_limit->mm / 1000 +
                       options.relative_limit->ppm * 1e-6 * relative.distance;
      relative.passed = relative.ellipse95.semi_major <= relative.limit;
    }
    result.relative.push_back(relative);
  }
}

// The covariance of every station's X, Y, Z: the columns of the updated cofactor matrix, one
// unknown block at a time (three solves on the factor and the downdates each), then S Q Sᵀ
// per part of a free datum as fillStations applies it to the diagonal blocks.
std::vector<SolutionMatrices::Element> Solver::fullCovariance(double scale) const {
  const auto count = static_cast<Eigen::Index>(problem_.names.size());
  Eigen::MatrixXd q = Eigen::MatrixXd::Zero(3 * count, 3 * count);
  for (Eigen::Index s = 0; s < count; ++s) {
    const int u = unknownOf(static_cast<int>(s));
    if (u < 0) continue;
    const std::pair<int, double> unit[] = {{u, 1.0}};
    const Columns3 columns = updatedSolve(unit);
    for (Eigen::Index t = 0; t < count; ++t) {
      const int v = unknownOf(static_cast<int>(t));
      if (v >= 0) q.block<3, 3>(3 * t, 3 * s) = columns.block<3, 3>(3 * v, 0);
    }
  }
  for (const std::vector<int>& part : problem_.free_parts) {
    const double m = static_cast<double>(part.size());
    Eigen::MatrixXd row_mean = Eigen::MatrixXd::Zero(3, 3 * count);
    for (const int s : part) row_mean += q.middleRows(3 * s, 3) / m;
    for (const int s : part) q.middleRows(3 * s, 3) -= row_mean;
    Eigen::MatrixXd column_mean = Eigen::MatrixXd::Zero(3 * count, 3);
    for (const int s : part) column_mean += q.middleCols(3 * s, 3) / m;
    for (const int s : part) q.middleCols(3 * s, 3) -= column_mean;
  }
  std::vector<SolutionMatrices::Element> lower;
  for (Eigen::Index r = 0; r < q.rows(); ++r)
    for (Eigen::Index c = 0; c <= r; ++c)
      if (q(r, c) != 0)
        lower.push_back(
            {static_cast<std::size_t>(r), static_cast<std::size_t>(c), q(r, c) * scale});
  return lower;
}

// N = Σ AᵀPA and b = Σ AᵀP(l − A x0) over the observations kept, as factorise() assembles
// them, but over every station: the datum is left to whoever combines them.
void Solver::normalEquations(SolutionMatrices& matrices) const {
  const auto n = 3 * static_cast<Eigen::Index>(problem_.names.size());
  std::vector<Eigen::Triplet<double>> triplets;
  Eigen::VectorXd rhs = Eigen::VectorXd::Zero(n);
  const auto addBlock = [&](int a, int b, const Matrix3d& block) {
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c)
        if (3 * a + r >= 3 * b + c) triplets.emplace_back(3 * a + r, 3 * b + c, block(r, c));
  };
  for (std::size_t k = 0; k < problem_.observations.size(); ++k) {
    if (!active_[k]) continue;
    const Observation& observation = problem_.observations[k];
    const Matrix3d weight = observation.covariance.inverse();
    const Vector3d weighted = weight * misclosure_[k];
    const int t = observation.to, f = observation.from;
    addBlock(t, t, weight);
    rhs.segment<3>(3 * t) += weighted;
    if (f < 0) continue;
    addBlock(f, f, weight);
    rhs.segment<3>(3 * f) -= weighted;
    if (t > f)
      addBlock(t, f, -weight);
    else
      addBlock(f, t, -weight.transpose());
  }
  Eigen::SparseMatrix<double, Eigen::RowMajor> normals(n, n);
  normals.setFromTriplets(triplets.begin(), triplets.end());
  for (Eigen::Index r = 0; r < normals.outerSize(); ++r)
    for (Eigen::SparseMatrix<double, Eigen::RowMajor>::InnerIterator it(normals, r); it; ++it)
      if (it.value() != 0)
        matrices.normals.push_back(
            {static_cast<std::size_t>(r), static_cast<std::size_t>(it.col()), it.value()});
  matrices.rhs.assign(rhs.data(), rhs.data() + n);
}

void Solver::fillMatrices(AdjustmentResult& result, const AdjustmentOptions& options,
                          double scale) const {
  if (!options.keep_matrices) return;
  SolutionMatrices matrices;
  if (problem_.names.size() <= options.full_covariance_stations) {
    matrices.has_covariance = true;
    matrices.covariance = fullCovariance(scale);
  } else {
    normalEquations(matrices);
  }
  result.matrices = std::move(matrices);
}

AdjustmentResult Solver::run(const AdjustmentOptions& options) {
  AdjustmentResult result;
  const std::size_t count = problem_.observations.size();
  result.summary.global_initial = currentGlobalTest(options.alpha_global);
  std::vector<ObservationResult> at_removal(count);
  // Iterated data snooping: the worst T/critical above 1 goes, until none or a tenth.
  while (options.snooping && result.removed.size() * 10 < count && redundancy_ > 0) {
    std::size_t worst = count;
    double worst_ratio = 1;
    for (std::size_t k = 0; k < count; ++k) {
      if (!active_[k]) continue;
      const std::optional<double> ratio = snoopingRatio(k);
      if (ratio && *ratio > worst_ratio) {
        worst_ratio = *ratio;
        worst = k;
      }
    }
    if (worst == count) break;
    const State state = stateOf(problem_.observations[worst], worst);
    at_removal[worst] = tested(worst, state);
    at_removal[worst].removed = true;
    at_removal[worst].removal = static_cast<int>(result.removed.size()) + 1;
    takeOut(worst, state);
    result.removed.push_back(worst);
  }
  std::vector<ObservationResult> tests(count);
  for (std::size_t k = 0; k < count; ++k)
    if (active_[k]) tests[k] = tested(k, stateOf(problem_.observations[k], k));
  for (std::size_t k = 0; k < count; ++k) {
    ObservationResult& observation = active_[k] ? tests[k] : at_removal[k];
    if (observation.removed) observation.flags.push_back("removed");
    if (observation.rejected && !observation.removed) observation.flags.push_back("rejected");
    if (observation.uncontrolled) observation.flags.push_back("uncontrolled");
    result.observations.push_back(std::move(observation));
  }
  AdjustmentSummary& summary = result.summary;
  summary.constrained = problem_.constrained;
  summary.free_datum = !problem_.free_parts.empty();
  summary.reports_used = problem_.reports;
  summary.control_observations = count - problem_.reports;
  summary.stations = static_cast<int>(problem_.names.size());
  summary.unknowns = 3 * unknowns_;
  summary.global = currentGlobalTest(options.alpha_global);
  summary.critical = critical_;
  summary.factor_nonzeros = cofactors_ ? cofactors_->factorNonZeros() : 0;
  summary.aposteriori_scale =
      summary.global.tested &&
      (options.sigma == SigmaChoice::kAposteriori ||
       (options.sigma == SigmaChoice::kAuto && summary.global.failedHigh()));
  summary.precision_scale = summary.aposteriori_scale ? summary.global.variance_factor : 1.0;
  fillStations(result, summary.precision_scale);
  fillRelative(result, options, summary.precision_scale);
  fillMatrices(result, options, summary.precision_scale);
  return result;
}

}  // namespace

AdjustmentRun adjustNetwork(std::span<const Report> reports,
                            std::span<const ControlStation> control,
                            const AdjustmentOptions& options) {
  if (reports.empty()) throw RunError("no report to adjust");
  const StationGraph graph(reports);
  const CriticalValues critical = bMethodCriticalValues(options.alpha, options.power);
  AdjustmentRun run;
  const Problem minimal = minimalProblem(reports, graph, options);
  run.minimal = Solver(minimal, critical).run(options);
  if (!control.empty()) {
    const Problem constrained = constrainedProblem(minimal, run.minimal, graph, control);
    run.constrained = Solver(constrained, critical).run(options);
  }
  return run;
}

namespace {

void addActOn(const AdjustmentResult& result, const char* which, std::vector<std::string>& lines) {
  for (const std::size_t k : result.removed) {
    const ObservationResult& o = result.observations[k];
    lines.push_back(std::string(which) + ": taken out " + o.file + " " + o.from + " - " + o.to +
                    " (T " + fixedTextTiesToEven(o.t3, 2) + "): measure again or find its blunder");
  }
  if (result.summary.global.tested && !result.summary.global.passed)
    lines.push_back(std::string(which) + ": global test fails (" +
                    (result.summary.global.failedHigh() ? "vTPv too large" : "vTPv too small") +
                    "): the sigmas do not fit the residuals");
  for (const RelativePrecision& pair : result.relative)
    if (!pair.passed)
      lines.push_back(std::string(which) + ": relative precision " + pair.from + " - " + pair.to +
                      " beyond its limit");
  for (const ObservationResult& o : result.observations)
    if (o.uncontrolled && !o.removed)
      lines.push_back(std::string(which) + ": uncontrolled " + o.file + " " + o.from + " - " +
                      o.to + ": a blunder there cannot be found; add a measurement");
}

bool isFlagged(const AdjustmentResult& result, bool strict) {
  const auto uncontrolled = [](const ObservationResult& o) { return o.uncontrolled && !o.removed; };
  return !result.removed.empty() || !result.summary.global.passed ||
         std::any_of(result.relative.begin(), result.relative.end(),
                     [](const RelativePrecision& pair) { return !pair.passed; }) ||
         (strict &&
          std::any_of(result.observations.begin(), result.observations.end(), uncontrolled));
}

}  // namespace

std::vector<std::string> actOnLines(const AdjustmentRun& run) {
  std::vector<std::string> lines;
  addActOn(run.minimal, "minimally constrained", lines);
  if (run.constrained) addActOn(*run.constrained, "constrained", lines);
  return lines;
}

bool runIsFlagged(const AdjustmentRun& run, bool strict) {
  return isFlagged(run.minimal, strict) || (run.constrained && isFlagged(*run.constrained, strict));
}

}  // namespace velk

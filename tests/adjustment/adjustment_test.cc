// The adjustment against truth: a dense reference computation of the same model, networks
// of known coordinates drawn with many seeds, and blunders of a known size.

#include "adjustment/adjustment.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>

#include "adjustment/adjustment_views.h"
#include "adjustment/report_selection.h"
#include "adjustment/testing_theory.h"
#include "geodesy/local_frame.h"
#include "reading/read_reports.h"
#include "tools/synthetic_network.h"

namespace velk {
namespace {

namespace gen = campaign;
using Eigen::Matrix3d;
using Eigen::MatrixXd;
using Eigen::Vector3d;
using Eigen::VectorXd;

struct Generated {
  std::vector<Report> reports;
  gen::Coordinates truth;
};

Generated generated(const gen::NetworkOptions& options) {
  const gen::Network network = gen::generateNetwork(options);
  Generated out{{}, network.truth};
  for (const gen::NetworkReport& report : network.reports) {
    std::istringstream in(report.text);
    read_reports(in, report.name, out.reports, [](std::string_view) {});
  }
  return out;
}

gen::NetworkOptions networkOptions(int stations, std::vector<gen::Measurement> measurements,
                                   std::uint64_t seed) {
  gen::NetworkOptions options;
  options.stations = stations;
  options.measurements = std::move(measurements);
  options.seed = seed;
  options.correlation_rows = seed % 2 == 0;
  return options;
}

Vector3d vec(const Cartesian& c) {
  return {c.x, c.y, c.z};
}
Matrix3d mat(const Matrix3& m) {
  Matrix3d e;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) e(i, j) = m(i + 1, j + 1);
  return e;
}

// The same model in dense matrices: A, C, Q = (AᵀPA)⁻¹, x, Qv = C − AQAᵀ, with the first
// report's fixed station held; then w, T, redundancy numbers and MDB on the local axes.
struct DenseReference {
  std::vector<std::string> names;
  MatrixXd q;  // of the unknowns
  VectorXd v;  // residuals, XYZ per report
  MatrixXd qv;
  MatrixXd c;
  double vtpv = 0;
  int redundancy = 0;
  std::map<std::string, int> unknown;

  DenseReference(const std::vector<Report>& reports, const AdjustmentOptions& options) {
    const std::string held = reports.front().fixed_station;
    for (const Report& r : reports)
      for (const std::string& name : {r.fixed_station, r.unknown_station})
        if (name != held && unknown.count(name) == 0)
          unknown.emplace(name, static_cast<int>(unknown.size()));
    std::map<std::string, Vector3d> apriori;
    // A priori as the adjustment takes them: mark 1 where the station is fixed first.
    for (auto it = reports.rbegin(); it != reports.rend(); ++it)
      apriori[it->unknown_station] = vec(it->mark2);
    for (auto it = reports.rbegin(); it != reports.rend(); ++it)
      apriori[it->fixed_station] = vec(it->mark1);
    const auto m = static_cast<Eigen::Index>(3 * reports.size());
    const auto n = static_cast<Eigen::Index>(3 * unknown.size());
    MatrixXd a = MatrixXd::Zero(m, n);
    c = MatrixXd::Zero(m, m);
    VectorXd l(m);
    for (std::size_t k = 0; k < reports.size(); ++k) {
      const Report& r = reports[k];
      const auto row = static_cast<Eigen::Index>(3 * k);
      const Matrix3d axes = mat(LocalFrame(r.mark1).rotation());
      const double p = std::pow(options.ppm * 1e-6 * vec(r.vector).norm(), 2);
      const Vector3d local(2 * std::pow(options.centring_h, 2) + p,
                           2 * std::pow(options.centring_h, 2) + p,
                           2 * std::pow(options.centring_v, 2) + p);
      c.block<3, 3>(row, row) = mat(r.covariance()) * options.variance_factor +
                                axes.transpose() * local.asDiagonal() * axes;
      l.segment<3>(row) = vec(r.vector) - (apriori[r.unknown_station] - apriori[r.fixed_station]);
      if (unknown.count(r.unknown_station))
        a.block<3, 3>(row, 3 * unknown[r.unknown_station]) = Matrix3d::Identity();
      if (unknown.count(r.fixed_station))
        a.block<3, 3>(row, 3 * unknown[r.fixed_station]) = -Matrix3d::Identity();
    }
    const MatrixXd p = c.inverse();
    q = (a.transpose() * p * a).inverse();
    const VectorXd x = q * a.transpose() * p * l;
    v = a * x - l;
    qv = c - a * q * a.transpose();
    vtpv = v.dot(p * v);
    redundancy = static_cast<int>(m - n);
  }
};

TEST(Adjustment, EqualsADenseReferenceComputation) {
  // A grid of 3×4 stations with a diagonal and two pairs measured twice (a sparse pattern
  // whose factor fills in), correlations, centring and ppm additions and a variance
  // factor: every block full and correlated.
  std::vector<gen::Measurement> measurements = gen::measureEach(gen::gridPairs(3, 4));
  measurements.push_back({{0, 5}, gen::kOwnSession});
  measurements.push_back({{1, 2}, gen::kOwnSession});
  measurements.push_back({{10, 6}, gen::kOwnSession});
  const Generated net = generated(networkOptions(12, measurements, 12));
  AdjustmentOptions options;
  options.variance_factor = 1.7;
  options.centring_h = 0.001;
  options.centring_v = 0.002;
  options.ppm = 0.5;
  options.snooping = false;
  options.relative_pairs = {{"S003", "S010"}};  // not measured: a few extra solves
  const AdjustmentRun run = adjustNetwork(net.reports, {}, options);
  const DenseReference dense(net.reports, options);
  const AdjustmentResult& result = run.minimal;
  const CriticalValues& critical = result.summary.critical;
  const auto near = [](double value, double reference) {
    return std::fabs(value - reference) <= 1e-9 * std::max(1e-3, std::fabs(reference));
  };
  ASSERT_EQ(result.summary.global.redundancy, dense.redundancy);
  EXPECT_TRUE(near(result.summary.global.vtpv, dense.vtpv));
  double redundancy_sum = 0;
  for (std::size_t k = 0; k < net.reports.size(); ++k) {
    const ObservationResult& o = result.observations[k];
    const auto row = static_cast<Eigen::Index>(3 * k);
    const Matrix3d c = dense.c.block<3, 3>(row, row);
    const Matrix3d p = c.inverse();
    const Matrix3d qv = dense.qv.block<3, 3>(row, row);
    const Vector3d v = dense.v.segment<3>(row);
    const Matrix3d axes = mat(LocalFrame(net.reports[k].mark1).rotation());
    ASSERT_TRUE(o.tested);
    EXPECT_TRUE(near(o.t3, (p * v).dot((p * qv * p).inverse() * (p * v)) / 3)) << k;
    const Vector3d local = axes * v;
    for (int axis = 0; axis < 3; ++axis) {
      const Vector3d ca = axes.row(axis).transpose();
      const double denominator = ca.dot(p * qv * p * ca);
      EXPECT_TRUE(near(o.w[axis], -ca.dot(p * v) / std::sqrt(denominator))) << k << " " << axis;
      EXPECT_TRUE(near(o.redundancy[axis], ca.dot(qv * p * ca))) << k << " " << axis;
      EXPECT_TRUE(near(o.mdb[axis], std::sqrt(critical.lambda0 / denominator))) << k;
      const double residual[] = {o.residual.e, o.residual.n, o.residual.u};
      EXPECT_NEAR(residual[axis], local(axis), 1e-9);
      redundancy_sum += o.redundancy[axis];
    }
  }
  EXPECT_NEAR(redundancy_sum, dense.redundancy, 1e-9);
  for (const StationResult& s : result.stations) {
    if (s.held) continue;
    const auto at = static_cast<Eigen::Index>(3 * dense.unknown.at(s.name));
    const Matrix3d q = dense.q.block<3, 3>(at, at);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) EXPECT_TRUE(near(s.cov_xyz(i + 1, j + 1), q(i, j))) << s.name;
  }
  const RelativePrecision& asked = result.relative.back();
  ASSERT_FALSE(asked.observed);
  const auto a = static_cast<Eigen::Index>(3 * dense.unknown.at("S003"));
  const auto b = static_cast<Eigen::Index>(3 * dense.unknown.at("S010"));
  const Matrix3d q = dense.q.block<3, 3>(a, a) + dense.q.block<3, 3>(b, b) -
                     dense.q.block<3, 3>(a, b) - dense.q.block<3, 3>(b, a);
  const auto from = std::find_if(result.stations.begin(), result.stations.end(),
                                 [](const StationResult& s) { return s.name == "S003"; });
  const Matrix3d axes = mat(LocalFrame(from->xyz).rotation());
  EXPECT_TRUE(near(asked.vertical95, 1.96 * std::sqrt((axes * q * axes.transpose())(2, 2))));
}

// Data snooping's rank-3 downdates give what a new adjustment without the report gives.
TEST(Adjustment, TakingAReportOutEqualsAdjustingWithoutIt) {
  gen::NetworkOptions network = networkOptions(6, gen::measureEach(gen::completePairs(6)), 7);
  network.error = gen::errorAlong(network, 4, gen::Axis::kUp, 0.25);
  const Generated net = generated(network);
  AdjustmentOptions options;
  const AdjustmentRun run = adjustNetwork(net.reports, {}, options);
  ASSERT_FALSE(run.minimal.removed.empty());
  EXPECT_EQ(run.minimal.removed.front(), 4u);
  std::vector<Report> kept;
  for (std::size_t k = 0; k < net.reports.size(); ++k)
    if (!run.minimal.observations[k].removed) kept.push_back(net.reports[k]);
  options.snooping = false;
  const AdjustmentRun again = adjustNetwork(kept, {}, options);
  EXPECT_NEAR(run.minimal.summary.global.vtpv, again.minimal.summary.global.vtpv, 1e-8);
  EXPECT_EQ(run.minimal.summary.global.redundancy, again.minimal.summary.global.redundancy);
  for (std::size_t s = 0; s < again.minimal.stations.size(); ++s) {
    const StationResult& a = run.minimal.stations[s];
    const StationResult& b = again.minimal.stations[s];
    ASSERT_EQ(a.name, b.name);
    EXPECT_NEAR((vec(a.xyz) - vec(b.xyz)).norm(), 0, 1e-9);
    EXPECT_NEAR((mat(a.cov_xyz) - mat(b.cov_xyz)).norm(), 0, 1e-15);
  }
  std::size_t j = 0;
  for (const ObservationResult& o : run.minimal.observations) {
    if (o.removed) continue;
    const ObservationResult& p = again.minimal.observations[j++];
    EXPECT_NEAR(o.t3, p.t3, 1e-7);
    EXPECT_NEAR(o.redundancy[2], p.redundancy[2], 1e-9);
  }
}

TEST(Adjustment, BMethodCriticalValuesAreBaardas) {
  const CriticalValues values = bMethodCriticalValues(0.001, 0.80);
  EXPECT_NEAR(values.lambda0, 17.075, 0.01);
  EXPECT_NEAR(values.critical_w, 3.2905, 0.0005);
  EXPECT_NEAR(values.alpha_t3, 0.0055, 0.0003);
  EXPECT_NEAR(values.critical_t3, 4.21, 0.01);
}

// Normalised coordinate errors, σ̂0² and the redundancy numbers over 100 networks of known
// truth (a grid of 20 stations measured twice: r = 129).
TEST(Adjustment, CoordinateErrorsAndVarianceFactorFitTheirDistributions) {
  constexpr int kSeeds = 100;
  std::vector<double> normalised;
  double variance_factors = 0;
  for (int seed = 1; seed <= kSeeds; ++seed) {
    const Generated net =
        generated(networkOptions(20, gen::measureEach(gen::gridPairs(4, 5), 2), 500 + seed));
    AdjustmentOptions options;
    options.snooping = false;
    options.free = seed % 2 == 0;  // both datums: errors are measured in each one's own
    const AdjustmentRun run = adjustNetwork(net.reports, {}, options);
    const AdjustmentResult& result = run.minimal;
    ASSERT_EQ(result.summary.global.redundancy, 129);
    variance_factors += result.summary.global.variance_factor;
    double redundancy_sum = 0;
    for (const ObservationResult& o : result.observations)
      redundancy_sum += o.redundancy[0] + o.redundancy[1] + o.redundancy[2];
    EXPECT_NEAR(redundancy_sum, 129, 1e-8);
    // The truth in the adjustment's datum: the a priori coordinates are the truth, so the
    // held station and the inner constraints both leave it as it is.
    for (const StationResult& s : result.stations) {
      if (s.held) continue;
      const Vector3d error = vec(s.xyz) - vec(net.truth.at(s.name));
      for (int i = 0; i < 3; ++i)
        normalised.push_back(error(i) / std::sqrt(s.cov_xyz(i + 1, i + 1)));
    }
  }
  const double count = static_cast<double>(normalised.size());
  const double mean = std::accumulate(normalised.begin(), normalised.end(), 0.0) / count;
  double squares = 0, largest = 0;
  for (const double e : normalised) {
    squares += (e - mean) * (e - mean);
    largest = std::max(largest, std::fabs(e));
  }
  EXPECT_NEAR(mean, 0, 0.05);
  EXPECT_NEAR(std::sqrt(squares / (count - 1)), 1, 0.05);
  EXPECT_LT(largest, 5.5);
  EXPECT_NEAR(variance_factors / kSeeds, 1, 0.1);
}

// A blunder of 1.5 minimal detectable biases in one report of a 6×6 grid measured twice is
// the first report taken out in at least 95% of the networks.
TEST(Adjustment, ABlunderOfOneAndAHalfMdbIsTakenOutFirst) {
  constexpr int kSeeds = 100;
  const std::vector<gen::Measurement> measurements = gen::measureEach(gen::gridPairs(6, 6), 2);
  int found_first = 0;
  for (int seed = 1; seed <= kSeeds; ++seed) {
    std::vector<Report> reports = generated(networkOptions(36, measurements, 900 + seed)).reports;
    const auto report =
        static_cast<std::size_t>((seed * 37) % static_cast<int>(measurements.size()));
    const int axis = seed % 3;  // east, north, up in turn
    AdjustmentOptions options;
    options.snooping = false;
    const double mdb = adjustNetwork(reports, {}, options).minimal.observations[report].mdb[axis];
    // The blunder along the local axis of the report's mark 1, added to its vector.
    const Vector3d along = mat(LocalFrame(reports[report].mark1).rotation()).row(axis).transpose();
    const Vector3d blundered = vec(reports[report].vector) + 1.5 * mdb * along;
    reports[report].vector = {blundered(0), blundered(1), blundered(2)};
    options.snooping = true;
    const AdjustmentRun run = adjustNetwork(reports, {}, options);
    if (!run.minimal.removed.empty() && run.minimal.removed.front() == report) ++found_first;
  }
  EXPECT_GE(found_first, 95);
}

// A free network: the corrections sum to zero, the tests are those of a held station.
TEST(Adjustment, FreeDatumKeepsTheTestsAndCentresTheCorrections) {
  const Generated net = generated(networkOptions(8, gen::measureEach(gen::trianglesPairs(8)), 3));
  AdjustmentOptions options;
  options.snooping = false;
  const AdjustmentRun held = adjustNetwork(net.reports, {}, options);
  options.free = true;
  const AdjustmentRun free = adjustNetwork(net.reports, {}, options);
  Vector3d sum = Vector3d::Zero();
  Matrix3d covariance_sum = Matrix3d::Zero();
  for (const StationResult& s : free.minimal.stations) {
    EXPECT_FALSE(s.held);
    sum += vec(s.xyz) - vec(s.apriori);
    covariance_sum += mat(s.cov_xyz);
  }
  EXPECT_NEAR(sum.norm(), 0, 1e-9);
  // The covariances of the inner-constraint datum are those of S Q Sᵀ: their trace is the
  // smallest any datum gives.
  double held_trace = 0, free_trace = 0;
  for (std::size_t s = 0; s < free.minimal.stations.size(); ++s) {
    held_trace += mat(held.minimal.stations[s].cov_xyz).trace();
    free_trace += mat(free.minimal.stations[s].cov_xyz).trace();
  }
  EXPECT_LT(free_trace, held_trace);
  for (std::size_t k = 0; k < net.reports.size(); ++k) {
    EXPECT_NEAR(free.minimal.observations[k].t3, held.minimal.observations[k].t3, 1e-8);
    EXPECT_NEAR(free.minimal.observations[k].w[1], held.minimal.observations[k].w[1], 1e-8);
  }
  for (std::size_t r = 0; r < held.minimal.relative.size(); ++r)
    EXPECT_NEAR(free.minimal.relative[r].ellipse95.semi_major,
                held.minimal.relative[r].ellipse95.semi_major, 1e-10);
}

// A weighted control mark that moved 5 cm is taken out of the constrained adjustment; a
// held one keeps its coordinates; a report alone reaching a station is uncontrolled.
TEST(Adjustment, ConstrainedAdjustmentFindsAMovedControlMark) {
  std::vector<gen::Measurement> measurements = gen::measureEach(gen::trianglesPairs(8), 2);
  measurements.push_back({{7, 8}, gen::kOwnSession});  // station 8 hangs on one report
  const Generated net = generated(networkOptions(9, measurements, 5));
  std::vector<ControlStation> control;
  control.push_back({"S001", net.truth.at("S001"), std::nullopt});
  for (const char* name : {"S004", "S006"})
    control.push_back({name, net.truth.at(name), Cartesian{0.003, 0.003, 0.003}});
  control.back().xyz.z += 0.05;
  const AdjustmentRun run = adjustNetwork(net.reports, control, AdjustmentOptions{});
  ASSERT_TRUE(run.constrained);
  const AdjustmentResult& constrained = *run.constrained;
  EXPECT_EQ(constrained.summary.control_observations, 2u);
  ASSERT_FALSE(constrained.removed.empty());
  const ObservationResult& first = constrained.observations[constrained.removed.front()];
  EXPECT_TRUE(first.control);
  EXPECT_EQ(first.to, "S006");
  const StationResult& s1 = constrained.stations[0];
  ASSERT_EQ(s1.name, "S001");
  EXPECT_TRUE(s1.held);
  EXPECT_EQ(vec(s1.xyz), vec(net.truth.at("S001")));
  const ObservationResult& hanging = run.minimal.observations.back();
  EXPECT_FALSE(hanging.tested);
  EXPECT_TRUE(hanging.uncontrolled);
  EXPECT_TRUE(runIsFlagged(run, false));
  const std::string json = adjustmentJson(run, actOnLines(run));
  EXPECT_NE(json.find("\"constrained\""), std::string::npos);
}

TEST(Adjustment, APartWithoutAHeldStationFailsTheRun) {
  std::vector<gen::Measurement> measurements = gen::measureEach(gen::trianglesPairs(4));
  measurements.push_back({{4, 5}, gen::kOwnSession});
  measurements.push_back({{5, 6}, gen::kOwnSession});
  measurements.push_back({{4, 6}, gen::kOwnSession});
  const Generated net = generated(networkOptions(7, measurements, 2));
  EXPECT_THROW(adjustNetwork(net.reports, {}, AdjustmentOptions{}), std::runtime_error);
  AdjustmentOptions options;
  options.free = true;
  const AdjustmentRun run = adjustNetwork(net.reports, {}, options);
  EXPECT_EQ(run.minimal.summary.unknowns, 3 * 7 - 6);
}

}  // namespace
}  // namespace velk

#include "series/series_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "series/robust.h"
#include "series/trend_model.h"

namespace velk::series {
namespace {

constexpr double kDaysPerYear = 365.25;
// A threshold counts only for a displacement larger than this many of its sigmas.
constexpr double kSignificantSigmas = 2.0;
// The joint search of steps and outliers stops here if it has not settled (it settles in
// two or three rounds on every series seen).
constexpr int kMostRounds = 10;

struct OutlierSearch {
  std::vector<bool> excluded;
  std::vector<Outlier> outliers;
  bool unstable = false;
};

// The points fitted in each segment.
std::vector<int> fittedPerSegment(const Series& series, const std::vector<bool>& excluded,
                                  const std::vector<double>& step_epochs) {
  std::vector<int> counts(step_epochs.size() + 1, 0);
  for (std::size_t i = 0; i < series.points.size(); ++i)
    if (!excluded[i])
      ++counts[static_cast<std::size_t>(segmentAt(step_epochs, series.points[i].epoch))];
  return counts;
}

double standardizedSquare(const SeriesPoint& point, const Eigen::Vector3d& residual, double f) {
  return residual.dot((f * point.covariance).ldlt().solve(residual));
}

// Outliers for given steps, one at a time: the point of the largest rᵀ(f C)⁻¹r above the
// chi-square value of 3 degrees of freedom at alpha / n (Bonferroni over the n points) is
// left out and the model fitted again, until none is left or more than a third of the
// points would be out (the series is then unstable). A segment keeps at least one point.
OutlierSearch findOutliers(const Series& series, const std::vector<double>& step_epochs, double f,
                           bool with_trend, double alpha) {
  const std::size_t n = series.points.size();
  OutlierSearch search;
  search.excluded.assign(n, false);
  const double critical = chiSquare3Critical(alpha / static_cast<double>(n));
  for (;;) {
    const ModelFit fit = fitModel(series, search.excluded, step_epochs, f, with_trend);
    const std::vector<int> fitted = fittedPerSegment(series, search.excluded, step_epochs);
    double worst_t = critical;
    std::optional<std::size_t> worst;
    for (std::size_t i = 0; i < n; ++i) {
      if (search.excluded[i]) continue;
      const SeriesPoint& point = series.points[i];
      const int segment = segmentAt(step_epochs, point.epoch);
      if (fitted[static_cast<std::size_t>(segment)] <= 1) continue;
      const double t =
          standardizedSquare(point, point.value - fit.valueAt(point.epoch, segment), f);
      if (t > worst_t) {
        worst_t = t;
        worst = i;
      }
    }
    if (!worst) return search;
    if (3 * (search.outliers.size() + 1) > n) {
      search.unstable = true;
      return search;
    }
    search.excluded[*worst] = true;
    search.outliers.push_back({*worst, worst_t});
  }
}

Eigen::Vector3d sigmasOf(const Eigen::Matrix3d& covariance) {
  return covariance.diagonal().cwiseMax(0.0).cwiseSqrt();
}

// The sigma of |v| to first order: gᵀ C g with g = v / |v|; at |v| = 0, the largest sigma.
double normSigma(const Eigen::VectorXd& v, const Eigen::MatrixXd& covariance) {
  const double norm = v.norm();
  if (norm == 0) return std::sqrt(covariance.diagonal().maxCoeff());
  const Eigen::VectorXd g = v / norm;
  return std::sqrt(std::max(0.0, g.dot(covariance * g)));
}

Displacement displacementBetween(const Series& series, const ModelFit& fit,
                                 const std::vector<double>& step_epochs, double reference_epoch,
                                 const Eigen::Vector3d& reference) {
  const double last_epoch = series.points.back().epoch;
  const int from = segmentAt(step_epochs, reference_epoch), to = segmentAt(step_epochs, last_epoch);
  Displacement shown;
  shown.enu = fit.valueAt(last_epoch, to) - fit.valueAt(reference_epoch, from);
  // The displacement is linear in the parameters: J θ with J = [Δt I, −I (reference
  // segment), +I (last segment)].
  Eigen::MatrixXd jacobian = Eigen::MatrixXd::Zero(3, fit.covariance.rows());
  if (fit.with_trend)
    jacobian.block<3, 3>(0, 0) = (last_epoch - reference_epoch) * Eigen::Matrix3d::Identity();
  jacobian.block<3, 3>(0, fit.offsetIndex(to)) += Eigen::Matrix3d::Identity();
  jacobian.block<3, 3>(0, fit.offsetIndex(from)) -= Eigen::Matrix3d::Identity();
  const Eigen::Matrix3d covariance = jacobian * fit.covariance * jacobian.transpose();
  shown.sigma = sigmasOf(covariance);
  shown.horizontal = shown.enu.head<2>().norm();
  shown.horizontal_sigma = normSigma(shown.enu.head<2>(), covariance.topLeftCorner<2, 2>());
  shown.d3 = shown.enu.norm();
  shown.d3_sigma = normSigma(shown.enu, covariance);
  const Eigen::Vector3d before = series.base + reference, after = before + shown.enu;
  shown.length = after.norm() - before.norm();
  shown.length_sigma = normSigma(after, covariance);
  return shown;
}

std::vector<Measure> reached(const Displacement& displacement, const Thresholds& thresholds) {
  std::vector<Measure> measures;
  for (int m = 0; m < kMeasureCount; ++m) {
    const std::optional<double> threshold = thresholds[static_cast<std::size_t>(m)];
    if (!threshold) continue;
    const auto measure = static_cast<Measure>(m);
    const double value = std::fabs(displacement.value(measure));
    if (value > *threshold && value > kSignificantSigmas * displacement.sigmaOf(measure))
      measures.push_back(measure);
  }
  return measures;
}

std::vector<std::string> warningNotes(const Series& series, const AnalysisOptions& options) {
  std::vector<std::string> notes;
  if (options.float_alarm > 0 && series.trailing_float_reports >= options.float_alarm)
    notes.push_back(
        "the last " + std::to_string(series.trailing_float_reports) +
        (series.trailing_float_reports == 1 ? " report is float" : " reports are float"));
  if (options.stale_days && (series.last_report_epoch || !series.points.empty())) {
    const double last =
        series.last_report_epoch ? *series.last_report_epoch : series.points.back().epoch;
    const double age = (options.now - last) * kDaysPerYear;
    if (age > *options.stale_days) {
      char text[96];
      std::snprintf(text, sizeof text, "the last report is %.0f days old (limit %g)",
                    std::floor(age), *options.stale_days);
      notes.emplace_back(text);
    }
  }
  return notes;
}

Velocity leastSquaresVelocity(const ModelFit& fit) {
  Velocity velocity;
  velocity.method = VelocityMethod::kLeastSquares;
  velocity.rate = fit.velocity;
  velocity.sigma = sigmasOf(fit.covariance.topLeftCorner<3, 3>());
  return velocity;
}

}  // namespace

const char* measureKey(Measure measure) {
  switch (measure) {
    case Measure::kEast:
      return "east";
    case Measure::kNorth:
      return "north";
    case Measure::kUp:
      return "up";
    case Measure::kHorizontal:
      return "2d";
    case Measure::k3d:
      return "3d";
    case Measure::kLength:
      return "length";
  }
  return "";
}

std::optional<Measure> measureOfKey(const std::string& key) {
  for (int m = 0; m < kMeasureCount; ++m)
    if (key == measureKey(static_cast<Measure>(m))) return static_cast<Measure>(m);
  return std::nullopt;
}

const char* statusName(Status status) {
  switch (status) {
    case Status::kOk:
      return "ok";
    case Status::kWarning:
      return "warning";
    case Status::kAlarm:
      return "alarm";
    case Status::kInsufficient:
      return "insufficient";
    case Status::kUnstable:
      return "unstable";
  }
  return "";
}

double Displacement::value(Measure measure) const {
  switch (measure) {
    case Measure::kEast:
      return enu(0);
    case Measure::kNorth:
      return enu(1);
    case Measure::kUp:
      return enu(2);
    case Measure::kHorizontal:
      return horizontal;
    case Measure::k3d:
      return d3;
    case Measure::kLength:
      return length;
  }
  return 0;
}

double Displacement::sigmaOf(Measure measure) const {
  switch (measure) {
    case Measure::kEast:
      return sigma(0);
    case Measure::kNorth:
      return sigma(1);
    case Measure::kUp:
      return sigma(2);
    case Measure::kHorizontal:
      return horizontal_sigma;
    case Measure::k3d:
      return d3_sigma;
    case Measure::kLength:
      return length_sigma;
  }
  return 0;
}

SeriesResult analyseSeries(const Series& series, const AnalysisOptions& options) {
  SeriesResult result;
  const std::size_t n = series.points.size();
  result.reports = n;
  if (n > 0) result.span_years = series.points.back().epoch - series.points.front().epoch;
  result.notes = warningNotes(series, options);
  if (n <= 2) return result;

  result.variance_factor = varianceFactor(series);
  const double f = result.variance_factor;
  const bool with_trend = carriesTrend(series);

  // Steps and outliers found together: the steps without the outliers, the outliers with
  // those steps, until the steps no longer change.
  StepOptions step_options = options.steps;
  step_options.excluded.assign(n, false);
  StepEpochs steps = searchSteps(series, step_options, f, with_trend);
  OutlierSearch outliers;
  for (int round = 0; round < kMostRounds; ++round) {
    outliers = findOutliers(series, steps.epochs, f, with_trend, options.alpha_outlier);
    step_options.excluded = outliers.excluded;
    StepEpochs again = searchSteps(series, step_options, f, with_trend);
    const bool settled = again.epochs == steps.epochs;
    if (settled) break;
    steps = std::move(again);
  }

  const ModelFit fit = fitModel(series, outliers.excluded, steps.epochs, f, with_trend);
  result.steps = describeSteps(series, steps, fit);
  result.outliers = outliers.outliers;
  std::sort(result.outliers.begin(), result.outliers.end(),
            [](const Outlier& a, const Outlier& b) { return a.point < b.point; });

  std::vector<int> segments(n);
  for (std::size_t i = 0; i < n; ++i) segments[i] = segmentAt(steps.epochs, series.points[i].epoch);
  if (with_trend) {
    result.lsq_velocity = leastSquaresVelocity(fit);
    result.velocity = result.lsq_velocity;
    if (result.span_years >= kMidasLeastSpanYears) {
      if (const auto midas = midasVelocity(series, outliers.excluded, segments, options.midas)) {
        result.velocity =
            Velocity{VelocityMethod::kMidas, midas->velocity, midas->sigma, midas->slopes_kept};
      }
    }
  }

  const double reference_epoch = options.reference_epoch.value_or(series.points.front().epoch);
  result.reference = fit.valueAt(reference_epoch, segmentAt(steps.epochs, reference_epoch));
  result.displacement =
      displacementBetween(series, fit, steps.epochs, reference_epoch, result.reference);
  for (std::size_t i = 0; i < n; ++i) {
    const SeriesPoint& point = series.points[i];
    PointFit shown;
    shown.segment = segments[i];
    const Eigen::Vector3d model = fit.valueAt(point.epoch, shown.segment);
    shown.model = model - result.reference;
    shown.residual = point.value - model;
    shown.outlier = outliers.excluded[i];
    result.points.push_back(shown);
  }

  result.warnings_reached = reached(*result.displacement, options.warn);
  result.alarms_reached = reached(*result.displacement, options.alarm);
  if (outliers.unstable)
    result.status = Status::kUnstable;
  else if (!result.alarms_reached.empty())
    result.status = Status::kAlarm;
  else if (!result.warnings_reached.empty() || !result.notes.empty())
    result.status = Status::kWarning;
  else
    result.status = Status::kOk;
  return result;
}

}  // namespace velk::series

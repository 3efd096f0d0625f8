#include "series/step_search.h"

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <limits>

#include "series/robust.h"

namespace velk::series {
namespace {

bool isExcluded(const StepOptions& options, std::size_t point) {
  return !options.excluded.empty() && options.excluded[point];
}

// The points fitted, in time order, and their moments summed from the first: the moments
// of points [l, r) are prefix[r] − prefix[l].
struct PrefixMoments {
  std::vector<std::size_t> points;
  std::vector<Moments> prefix;

  Moments between(std::size_t l, std::size_t r) const { return prefix[r] - prefix[l]; }
};

PrefixMoments prefixMoments(const Series& series, const StepOptions& options,
                            double variance_factor) {
  PrefixMoments sums;
  double origin = 0;
  for (std::size_t i = 0; i < series.points.size(); ++i)
    if (!isExcluded(options, i)) {
      sums.points.push_back(i);
      origin += series.points[i].epoch;
    }
  if (!sums.points.empty()) origin /= static_cast<double>(sums.points.size());
  sums.prefix.resize(sums.points.size() + 1);
  for (std::size_t k = 0; k < sums.points.size(); ++k) {
    const SeriesPoint& point = series.points[sums.points[k]];
    sums.prefix[k + 1] = sums.prefix[k];
    sums.prefix[k + 1].add(point.epoch - origin, (variance_factor * point.covariance).inverse(),
                           point.value);
  }
  return sums;
}

// The known steps that stand, as positions among the points fitted (the first point of
// each new segment), each with its epoch: inside the series, with a point fitted between
// it and the previous one.
std::vector<std::pair<std::size_t, double>> standingKnownSteps(const Series& series,
                                                               const PrefixMoments& sums,
                                                               std::vector<double> epochs) {
  std::sort(epochs.begin(), epochs.end());
  std::vector<std::pair<std::size_t, double>> kept;
  std::size_t previous = 0;
  for (const double epoch : epochs) {
    const auto first = std::find_if(sums.points.begin(), sums.points.end(),
                                    [&](std::size_t i) { return series.points[i].epoch >= epoch; });
    const auto position = static_cast<std::size_t>(first - sums.points.begin());
    if (position <= previous || position >= sums.points.size()) continue;
    kept.emplace_back(position, epoch);
    previous = position;
  }
  return kept;
}

struct Segment {
  std::size_t begin, end;
};

class BinarySegmentation {
 public:
  BinarySegmentation(const PrefixMoments& sums, const StepOptions& options, bool with_trend)
      : sums_(sums), options_(options), with_trend_(with_trend) {}

  // The start positions of the segments found, known ones included.
  std::vector<std::size_t> run(const std::vector<std::size_t>& known_starts) {
    starts_ = known_starts;
    std::vector<Segment> pending;
    std::size_t begin = 0;
    for (const std::size_t start : known_starts) {
      pending.push_back({begin, start});
      begin = start;
    }
    pending.push_back({begin, sums_.points.size()});
    while (!pending.empty()) {
      const Segment segment = pending.back();
      pending.pop_back();
      if (const std::optional<std::size_t> split = bestSplit(segment)) {
        starts_.insert(std::upper_bound(starts_.begin(), starts_.end(), *split), *split);
        pending.push_back({*split, segment.end});
        pending.push_back({segment.begin, *split});
      }
    }
    return starts_;
  }

 private:
  SegmentTerms terms(std::size_t l, std::size_t r) const {
    return segmentTerms(sums_.between(l, r), with_trend_);
  }

  // The terms of every segment but `segment`.
  SegmentTerms others(const Segment& segment) const {
    SegmentTerms rest;
    std::size_t begin = 0;
    for (std::size_t k = 0; k <= starts_.size(); ++k) {
      const std::size_t end = k < starts_.size() ? starts_[k] : sums_.points.size();
      if (begin != segment.begin) rest += terms(begin, end);
      begin = end;
    }
    return rest;
  }

  // The part of the sum of squares that depends on the segmentation: −Σq − rᵀn⁻¹r.
  double explained(SegmentTerms total) const {
    return total.q + (with_trend_ ? trendReduction(total) : 0.0);
  }

  std::optional<std::size_t> bestSplit(const Segment& segment) const {
    const std::size_t least = static_cast<std::size_t>(std::max(1, options_.min_segment));
    const std::size_t n = segment.end - segment.begin;
    if (n < 2 * least) return std::nullopt;
    const SegmentTerms rest = others(segment);
    SegmentTerms whole = rest;
    whole += terms(segment.begin, segment.end);
    const double before = explained(whole);
    double best_t = -std::numeric_limits<double>::infinity();
    std::size_t best = 0;
    for (std::size_t k = segment.begin + least; k + least <= segment.end; ++k) {
      SegmentTerms split = rest;
      split += terms(segment.begin, k);
      split += terms(k, segment.end);
      const double t = explained(split) - before;
      if (t > best_t) {
        best_t = t;
        best = k;
      }
    }
    if (!(best_t > chiSquare3Critical(options_.alpha / static_cast<double>(n - 1))))
      return std::nullopt;
    if (!(stepSize(rest, segment, best).norm() > options_.step_mm)) return std::nullopt;
    return best;
  }

  Eigen::Vector3d stepSize(const SegmentTerms& rest, const Segment& segment, std::size_t k) const {
    const Moments left = sums_.between(segment.begin, k), right = sums_.between(k, segment.end);
    Eigen::Vector3d trend = Eigen::Vector3d::Zero();
    if (with_trend_) {
      SegmentTerms total = rest;
      total += segmentTerms(left, true);
      total += segmentTerms(right, true);
      trend = trendOf(total);
    }
    return offsetOf(right, trend) - offsetOf(left, trend);
  }

  const PrefixMoments& sums_;
  const StepOptions& options_;
  bool with_trend_;
  std::vector<std::size_t> starts_;
};

}  // namespace

double chiSquare3Critical(double probability) {
  const boost::math::chi_squared distribution(3);
  return boost::math::quantile(boost::math::complement(distribution, probability));
}

StepEpochs searchSteps(const Series& series, const StepOptions& options, double variance_factor,
                       bool with_trend) {
  const PrefixMoments sums = prefixMoments(series, options, variance_factor);
  const auto known = standingKnownSteps(series, sums, options.known_epochs);
  std::vector<std::size_t> known_starts;
  for (const auto& [start, epoch] : known) known_starts.push_back(start);
  const std::vector<std::size_t> starts =
      BinarySegmentation(sums, options, with_trend).run(known_starts);
  StepEpochs steps;
  std::size_t next_known = 0;
  for (const std::size_t start : starts) {
    const bool is_known = next_known < known.size() && known[next_known].first == start;
    steps.epochs.push_back(is_known ? known[next_known].second
                                    : series.points[sums.points[start]].epoch);
    steps.known.push_back(is_known);
    if (is_known) ++next_known;
  }
  return steps;
}

std::vector<Step> describeSteps(const Series& series, const StepEpochs& steps,
                                const ModelFit& fit) {
  std::vector<Step> described;
  for (std::size_t s = 0; s < steps.epochs.size(); ++s) {
    Step step;
    step.epoch = steps.epochs[s];
    step.known = steps.known[s];
    const auto first = std::find_if(series.points.begin(), series.points.end(),
                                    [&](const SeriesPoint& p) { return p.epoch >= step.epoch; });
    step.point = static_cast<std::size_t>(first - series.points.begin());
    const int before = fit.offsetIndex(static_cast<int>(s)), after = before + 3;
    step.size = fit.offsets[s + 1] - fit.offsets[s];
    step.covariance =
        fit.covariance.block<3, 3>(after, after) + fit.covariance.block<3, 3>(before, before) -
        fit.covariance.block<3, 3>(after, before) - fit.covariance.block<3, 3>(before, after);
    step.t = step.size.dot(step.covariance.ldlt().solve(step.size));
    described.push_back(step);
  }
  return described;
}

std::vector<Step> findSteps(const Series& series, const StepOptions& options) {
  const double f = options.variance_factor.value_or(varianceFactor(series));
  const bool with_trend = carriesTrend(series);
  const StepEpochs steps = searchSteps(series, options, f, with_trend);
  std::size_t fitted = 0;
  for (std::size_t i = 0; i < series.points.size(); ++i) fitted += isExcluded(options, i) ? 0 : 1;
  if (fitted == 0) return {};
  return describeSteps(series, steps,
                       fitModel(series, options.excluded, steps.epochs, f, with_trend));
}

}  // namespace velk::series

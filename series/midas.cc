#include "series/midas.h"

#include <cmath>
#include <numbers>

#include "series/robust.h"

namespace velk::series {
namespace {

// The free positions of a pass: next(k) is the first position at or after k not yet taken
// (a disjoint-set forest with path halving, so that a pass costs about one step a point).
class FreePositions {
 public:
  explicit FreePositions(std::size_t count) : next_(count + 1) {
    for (std::size_t k = 0; k <= count; ++k) next_[k] = k;
  }
  // `count` when every position from k on is taken.
  std::size_t next(std::size_t k) {
    while (next_[k] != k) {
      next_[k] = next_[next_[k]];
      k = next_[k];
    }
    return k;
  }
  void take(std::size_t k) { next_[k] = k + 1; }

 private:
  std::vector<std::size_t> next_;
};

struct Slopes {
  std::array<std::vector<double>, 3> components;
  void add(const SeriesPoint& earlier, const SeriesPoint& later) {
    const Eigen::Vector3d slope = (later.value - earlier.value) / (later.epoch - earlier.epoch);
    for (int c = 0; c < 3; ++c) components[static_cast<std::size_t>(c)].push_back(slope(c));
  }
};

// The points used, with their epochs and segments, in time order.
struct Used {
  std::vector<const SeriesPoint*> points;
  std::vector<int> segments;
};

void forwardPass(const Used& used, const MidasRules& rules, Slopes& slopes) {
  const std::size_t n = used.points.size();
  FreePositions free(n);
  std::size_t lower = 0;  // the first position with t ≥ t_i + interval − tolerance
  for (std::size_t i = 0; i < n; ++i) {
    const double earliest = used.points[i]->epoch + rules.interval_years - rules.tolerance_years;
    while (lower < n && used.points[lower]->epoch < earliest) ++lower;
    const std::size_t j = free.next(lower);
    if (j == n) continue;
    if (used.segments[i] != used.segments[j]) continue;
    free.take(j);
    slopes.add(*used.points[i], *used.points[j]);
  }
}

// The backward pass is the forward pass on the positions counted from the end.
void backwardPass(const Used& used, const MidasRules& rules, Slopes& slopes) {
  const std::size_t n = used.points.size();
  FreePositions free(n);
  std::size_t lower = 0;  // in reversed positions: the first with t ≤ t_i − interval + tolerance
  const auto at = [&](std::size_t reversed) { return n - 1 - reversed; };
  for (std::size_t i = 0; i < n; ++i) {
    const double latest = used.points[at(i)]->epoch - rules.interval_years + rules.tolerance_years;
    while (lower < n && used.points[at(lower)]->epoch > latest) ++lower;
    const std::size_t j = free.next(lower);
    if (j == n) continue;
    if (used.segments[at(i)] != used.segments[at(j)]) continue;
    free.take(j);
    slopes.add(*used.points[at(j)], *used.points[at(i)]);
  }
}

}  // namespace

std::optional<MidasVelocity> midasVelocity(const Series& series, const std::vector<bool>& excluded,
                                           const std::vector<int>& segment_of_point,
                                           const MidasRules& rules) {
  Used used;
  for (std::size_t i = 0; i < series.points.size(); ++i) {
    if (!excluded.empty() && excluded[i]) continue;
    used.points.push_back(&series.points[i]);
    used.segments.push_back(segment_of_point.empty() ? 0 : segment_of_point[i]);
  }
  Slopes slopes;
  forwardPass(used, rules, slopes);
  if (rules.backward_pass) backwardPass(used, rules, slopes);
  if (slopes.components[0].empty()) return std::nullopt;

  MidasVelocity result;
  result.pairs = static_cast<int>(slopes.components[0].size());
  for (std::size_t c = 0; c < 3; ++c) {
    std::vector<double>& all = slopes.components[c];
    const double first_median = median(all);
    const double first_sigma = robustSigma(all, first_median);
    std::vector<double> kept;
    for (const double slope : all)
      if (std::fabs(slope - first_median) <= 2 * first_sigma) kept.push_back(slope);
    // Only when half the slopes or more share one value and the median falls between two
    // values can none lie within 2σ = 0 of it; then every slope is kept.
    if (kept.empty()) kept = all;
    const double centre = median(kept);
    const double sigma = robustSigma(kept, centre);
    const auto n = static_cast<double>(kept.size());
    result.velocity(static_cast<int>(c)) = centre;
    result.sigma(static_cast<int>(c)) =
        3 * std::sqrt(std::numbers::pi / 2) * sigma / std::sqrt(n / 4);
    result.slopes_kept[c] = static_cast<int>(kept.size());
  }
  return result;
}

}  // namespace velk::series

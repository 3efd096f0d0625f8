// The checks over networks of the generator, whose noise is drawn from each report's own
// printed covariance: clean networks are rarely flagged and T exceeds its chi-square value
// at the rate alpha says; a 10 cm blunder flags its loops and its pair is suspected first.

#include <algorithm>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "checks/chi_square.h"
#include "checks/network_check.h"
#include "reading/read_reports.h"
#include "tools/synthetic_network.h"

namespace velk {
namespace {

namespace gen = campaign;

struct Shape {
  const char* name;
  int stations;
  std::vector<gen::Measurement> measurements;
};

// Many triangles, a ring and a grid without any, four stations all measured to each
// other (dependent triangles), the triangles measured twice, and one pair measured three
// times on a strip of triangles.
std::vector<Shape> shapes() {
  std::vector<gen::Measurement> thrice = gen::measureEach(gen::trianglesPairs(6));
  for (int k = 0; k < 2; ++k) thrice.push_back({{2, 3}, gen::kOwnSession});
  return {{"triangles", 12, gen::measureEach(gen::trianglesPairs(12))},
          {"ring", 8, gen::measureEach(gen::ringPairs(8))},
          {"grid", 20, gen::measureEach(gen::gridPairs(4, 5))},
          {"complete", 4, gen::measureEach(gen::completePairs(4))},
          {"triangles twice", 8, gen::measureEach(gen::trianglesPairs(8), 2)},
          {"thrice", 6, thrice}};
}

gen::NetworkOptions networkOf(const Shape& shape, std::uint64_t seed) {
  gen::NetworkOptions options;
  options.stations = shape.stations;
  options.measurements = shape.measurements;
  options.seed = seed;
  options.correlation_rows = seed % 2 == 0;
  return options;
}

std::vector<Report> readNetwork(const gen::NetworkOptions& options) {
  std::vector<Report> reports;
  for (const gen::NetworkReport& report : gen::generateNetwork(options).reports) {
    std::istringstream in(report.text);
    read_reports(in, report.name, reports, [](std::string_view) {});
  }
  return reports;
}

TEST(CheckStatistics, CleanNetworksAreRarelyFlaggedAndTExceedsItsValueAtTheAlphaRate) {
  constexpr int kSeeds = 100;
  int networks = 0, flagged_networks = 0;
  struct Outcome {
    double t;
    int dof;
  };
  std::vector<Outcome> outcomes;
  for (const Shape& shape : shapes()) {
    for (int seed = 1; seed <= kSeeds; ++seed) {
      const std::vector<Report> reports = readNetwork(networkOf(shape, 1000 + seed));
      const NetworkCheck check = checkNetwork(reports, {});
      ++networks;
      const CheckSummary summary = summarize(check);
      EXPECT_EQ(summary.baselines_flagged, 0) << shape.name;
      if (summary.loops_flagged + summary.repeats_flagged > 0) ++flagged_networks;
      for (const LoopCheck& loop : check.loops) outcomes.push_back({loop.test.t, loop.test.dof});
      for (const RepeatCheck& repeat : check.repeats)
        outcomes.push_back({repeat.test.t, repeat.test.dof});
    }
  }
  EXPECT_LE(flagged_networks, networks / 10);
  ASSERT_GT(outcomes.size(), 4500u);
  // Bounds about 3.5 standard deviations of a binomial count wide.
  for (const auto& [alpha, low, high] : {std::tuple{0.01, 0.004, 0.018},
                                          std::tuple{0.10, 0.085, 0.115}}) {
    const auto exceeding = std::count_if(outcomes.begin(), outcomes.end(), [&](const Outcome& o) {
      return o.t > chiSquareCritical(o.dof, alpha);
    });
    const double rate = static_cast<double>(exceeding) / static_cast<double>(outcomes.size());
    EXPECT_GT(rate, low) << "alpha " << alpha;
    EXPECT_LT(rate, high) << "alpha " << alpha;
  }
}

// The loops (indices) that a pair is on.
std::set<std::size_t> loopsOf(const NetworkCheck& check, std::size_t pair) {
  std::set<std::size_t> loops;
  for (std::size_t l = 0; l < check.loops.size(); ++l) {
    const auto& legs = check.loops[l].legs;
    if (std::find(legs.begin(), legs.end(), pair) != legs.end()) loops.insert(l);
  }
  return loops;
}

std::size_t pairOfReport(const NetworkCheck& check, std::size_t report) {
  for (std::size_t p = 0; p < check.pairs.size(); ++p) {
    const auto& reports = check.pairs[p].reports;
    if (std::find(reports.begin(), reports.end(), report) != reports.end()) return p;
  }
  ADD_FAILURE() << "report " << report << " in no pair";
  return 0;
}

TEST(CheckStatistics, ATenCentimetreBlunderFlagsItsLoopsAndItsPairIsSuspectedFirst) {
  for (const Shape& shape : shapes()) {
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
      gen::NetworkOptions options = networkOf(shape, seed);
      const NetworkCheck clean = checkNetwork(readNetwork(options), {});
      // The last report whose pair lies on two or more loops (on the ring: its one loop).
      int blunder = -1;
      for (int r = static_cast<int>(options.measurements.size()) - 1; r >= 0 && blunder < 0; --r)
        if (loopsOf(clean, pairOfReport(clean, static_cast<std::size_t>(r))).size() >=
            std::min<std::size_t>(2, clean.loops.size()))
          blunder = r;
      ASSERT_GE(blunder, 0) << shape.name;
      options.error = gen::errorAlong(options, blunder, gen::Axis::kUp, 0.10);
      const NetworkCheck check = checkNetwork(readNetwork(options), {});
      const std::size_t pair = pairOfReport(check, static_cast<std::size_t>(blunder));
      const std::set<std::size_t> its_loops = loopsOf(check, pair);
      SCOPED_TRACE(std::string(shape.name) + " seed " + std::to_string(seed));

      if (check.pairs[pair].reports.size() > 1) {
        // Measured more than once: its repeat shows it; of three or more reports, the
        // blunder stands out (of two, either is as far from the mean as the other).
        const auto repeat = std::find_if(check.repeats.begin(), check.repeats.end(),
                                         [&](const RepeatCheck& r) { return r.pair == pair; });
        ASSERT_NE(repeat, check.repeats.end());
        EXPECT_TRUE(repeat->test.flagged);
        const auto largest = std::max_element(
            repeat->differences.begin(), repeat->differences.end(),
            [](const RepeatDifference& a, const RepeatDifference& b) { return a.t < b.t; });
        if (repeat->differences.size() > 2) {
          EXPECT_EQ(largest->report, static_cast<std::size_t>(blunder));
        }
        continue;  // in the pair's mean the blunder is shared out and may pass the loops
      }
      for (const std::size_t l : its_loops) EXPECT_TRUE(check.loops[l].test.flagged) << l;
      ASSERT_FALSE(check.suspects.empty());
      const std::size_t first = check.suspects[0].pair;
      // First, or tied with a pair that every loop sees together with it.
      EXPECT_TRUE(first == pair || loopsOf(check, first) == its_loops);
      EXPECT_EQ(check.suspects[0].alone, its_loops.size() == 1);
    }
  }
}

}  // namespace
}  // namespace velk

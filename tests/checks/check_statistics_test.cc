// The checks over networks of the generator, whose noise is drawn from each report's own
// printed covariance: clean networks are rarely flagged and T exceeds its chi-square value
// at the rate alpha says; a 10 cm blunder flags its loops and its pair is suspected first; a
// mark that moved by 15 mm in a series of 60 reports is flagged by the step, found where it
// happened; float reports stay out of the fixed means, and the one that disagrees is
// flagged and listed first.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "checks/check_json.h"
#include "checks/check_text.h"
#include "checks/chi_square.h"
#include "checks/network_check.h"
#include "checks/vector_math.h"
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

// One pair measured 60 times, each report in a period of its own.
gen::NetworkOptions sixtyReports(std::uint64_t seed) {
  gen::NetworkOptions options;
  options.stations = 2;
  options.measurements = gen::measureEach({{0, 1}}, 60);
  options.seed = seed;
  return options;
}

// The split of the largest step, taken the long way: the weighted means of each side from
// scratch, for every split with three reports or more on each side.
double largestStepTheLongWay(const std::vector<Report>& reports, const PairMean& pair) {
  double largest = 0;
  for (std::size_t k = 3; k + 3 <= pair.reports.size(); ++k) {
    PairMean before = pair, after = pair;
    before.reports.resize(k);
    before.reversed.resize(k);
    after.reports.erase(after.reports.begin(), after.reports.begin() + static_cast<long>(k));
    after.reversed.erase(after.reversed.begin(), after.reversed.begin() + static_cast<long>(k));
    takePairMean(reports, 1.0, before);
    takePairMean(reports, 1.0, after);
    largest = std::max(largest, vector_math::norm(vector_math::minus(after.mean, before.mean)));
  }
  return largest;
}

TEST(MovedRepeats, AFifteenMillimetreJumpIsFlaggedWhereItHappensAndCleanSeriesRarelyAre) {
  gen::NetworkOptions options = sixtyReports(1);
  // From report 31 on (index 30), 15 mm north: each report lies ±7.5 mm from the one mean,
  // under the 13.6 mm limit of a 3.6 km baseline; the means of the two halves do not.
  options.error = gen::errorAlong(options, 30, gen::Axis::kNorth, 0.015);
  options.error_persists = true;
  const std::vector<Report> reports = readNetwork(options);
  const NetworkCheck check = checkNetwork(reports, {});
  ASSERT_EQ(check.repeats.size(), 1u);
  const RepeatCheck& repeat = check.repeats[0];
  ASSERT_NEAR(repeat.test.limit, 0.0136, 0.0001);  // 10 mm + 1 ppm of the seed's 3.6 km
  EXPECT_LT(repeat.largest, repeat.test.limit);
  ASSERT_TRUE(repeat.split);
  EXPECT_EQ(repeat.split->before, 30u);
  EXPECT_EQ(repeat.split->first_after, 30u);
  EXPECT_NEAR(repeat.split->enu.n, 0.015, 0.002);
  EXPECT_NEAR(repeat.split->length, largestStepTheLongWay(reports, check.pairs[0]), 1e-9);
  EXPECT_TRUE(repeat.test.flagged);
  EXPECT_FALSE(repeat.outlier);
  EXPECT_TRUE(needsAttention(check, false));
  ASSERT_FALSE(check.act_on.empty());
  EXPECT_EQ(check.act_on[0].report, 30u);
  EXPECT_EQ(check.act_on[0].why.rfind("first after a 1", 0), 0u) << check.act_on[0].why;
  // The search of the pair's series finds the one step where it happened, north.
  ASSERT_EQ(repeat.steps.size(), 1u);
  ASSERT_NE(repeat.flaggedStep(), nullptr);
  EXPECT_EQ(repeat.steps[0].first_after, 30u);
  EXPECT_NEAR(repeat.steps[0].enu.n, 0.015, 0.0015);
  EXPECT_LT(std::abs(repeat.steps[0].enu.e), 0.0015);

  // Without the jump: flagged at most at the rate alpha, since T must fail too.
  int flagged = 0;
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    const std::vector<Report> clean = readNetwork(sixtyReports(seed));
    const NetworkCheck clean_check = checkNetwork(clean, {});
    if (seed <= 3) {
      EXPECT_NEAR(clean_check.repeats[0].split->length,
                  largestStepTheLongWay(clean, clean_check.pairs[0]), 1e-9);
    }
    flagged += needsAttention(clean_check, false) ? 1 : 0;
  }
  EXPECT_LE(flagged, 2);
}

// A strip of triangles measured twice (26 reports), a fifth of them made float as a
// processing package leaves a report whose ambiguities do not fix: its sigmas 15 mm, its
// vector 20 mm off; report 5 is 60 mm off with sigmas of 10 mm. Reports 0 and 13 measure one
// pair, both float.
std::vector<Report> withFloatReports(std::uint64_t seed) {
  gen::NetworkOptions options;
  options.stations = 8;
  options.measurements = gen::measureEach(gen::trianglesPairs(8), 2);
  options.seed = seed;
  std::vector<Report> reports = readNetwork(options);
  for (std::size_t r = 0; r < reports.size(); ++r) {
    if (r != 0 && r != 5 && r != 10 && r != 13 && r != 20) continue;
    Report& report = reports[r];
    const bool disagrees = r == 5;
    report.fixed = false;
    report.markMissing(ReportItem::kRatio);
    report.sigma_x = report.sigma_y = report.sigma_z = disagrees ? 0.010 : 0.015;
    const double off = disagrees ? 0.060 : 0.020;
    report.vector.z += off;
    report.mark2.z += off;  // consistent with itself, as a package writes it
    report.local = TRLOC(report.mark2, report.mark1);
  }
  return reports;
}

TEST(FloatReports, StayOutOfFixedMeansAndTheOneThatDisagreesIsListedFirst) {
  const std::vector<Report> reports = withFloatReports(3);
  const NetworkCheck check = checkNetwork(reports, {});
  // Reports 10 and 20 agree with their fixed means within their sigmas; 5 does not.
  ASSERT_EQ(check.floats.size(), 3u);
  for (const FloatComparison& comparison : check.floats) {
    const PairMean& pair = check.pairs[comparison.pair];
    EXPECT_EQ(pair.reports.size(), 1u);
    EXPECT_TRUE(reports[pair.reports[0]].fixed);
    EXPECT_EQ(comparison.test.flagged, comparison.report == 5) << comparison.report;
    const auto& flags = check.baselines[comparison.report].flags;
    EXPECT_EQ(std::count(flags.begin(), flags.end(), "float_disagrees"),
              comparison.report == 5 ? 1 : 0);
  }
  // The float-only pair of reports 0 and 13 takes part, marked in its loops; the fixed
  // means close every loop.
  const auto float_only = std::find_if(check.pairs.begin(), check.pairs.end(),
                                       [](const PairMean& pair) { return pair.float_only; });
  ASSERT_NE(float_only, check.pairs.end());
  EXPECT_EQ(float_only->reports, (std::vector<std::size_t>{0, 13}));
  const std::set<std::size_t> marked =
      loopsOf(check, static_cast<std::size_t>(float_only - check.pairs.begin()));
  for (std::size_t l = 0; l < check.loops.size(); ++l) {
    EXPECT_EQ(check.loops[l].float_leg, marked.count(l) == 1) << l;
    EXPECT_FALSE(check.loops[l].test.flagged) << l;
  }
  EXPECT_TRUE(check.repeats.empty() ||
              std::none_of(check.repeats.begin(), check.repeats.end(),
                           [](const RepeatCheck& r) { return r.test.flagged; }));
  EXPECT_TRUE(needsAttention(check, false));

  ASSERT_EQ(check.act_on.size(), 1u);
  EXPECT_EQ(check.act_on[0].report, 5u);
  // "float, 61.2 mm from the fixed mean of 1 report": the 60 mm and the noise of both.
  const std::string& why = check.act_on[0].why;
  ASSERT_EQ(why.rfind("float, ", 0), 0u) << why;
  EXPECT_NEAR(std::stod(why.substr(7)), 60.0, 8.0) << why;
  EXPECT_EQ(why.substr(why.find(" mm ")), " mm from the fixed mean of 1 report");
  // Both views list it first, the text under its heading, the JSON in "act_on".
  const std::string text = checkText(reports, check, {}, true);
  const std::size_t heading = text.find("Reports to look at first:\n");
  ASSERT_NE(heading, std::string::npos);
  const std::string row = reports[5].file + "  " + reports[5].fixed_station + "  " +
                          reports[5].unknown_station + "  " + why + "\n";
  EXPECT_NE(text.find(row, heading), std::string::npos) << text.substr(heading);
  const std::string json = checkJson(reports, check, {}, true);
  EXPECT_NE(json.find("\"act_on\": [\n    {\"file\": \"" + reports[5].file + "\""),
            std::string::npos);
}

}  // namespace
}  // namespace velk

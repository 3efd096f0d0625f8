// Repeated baselines, loops and suspects over networks of hand-made reports whose errors
// are known exactly.

#include "checks/network_check.h"

#include <cmath>

#include <gtest/gtest.h>

#include "geodesy/local_frame.h"
#include "tests/checks/made_reports.h"

namespace velk {
namespace {

using testing::inSession;
using testing::measured;
using testing::nearSurface;

const Cartesian kA = nearSurface(0, 0);
const Cartesian kB = nearSurface(4, 0);
const Cartesian kC = nearSurface(2, 3);
const Cartesian kD = nearSurface(-1, 4);

Cartesian alongX(double mm) { return {mm / 1000, 0, 0}; }

TEST(Repeats, APairMeasuredThreeTimesAgainstItsWeightedMean) {
  // In the pair's direction the errors are +3, -1 and +1 mm in X: mean +1, differences +2,
  // -2, 0; the second report runs the other way and is negated.
  const std::vector<Report> reports{measured("AAAA", kA, "BBBB", kB, alongX(3)),
                                    measured("BBBB", kB, "AAAA", kA, alongX(1)),
                                    measured("AAAA", kA, "BBBB", kB, alongX(1))};
  const NetworkCheck check = checkNetwork(reports, {});
  ASSERT_EQ(check.repeats.size(), 1u);
  const RepeatCheck& repeat = check.repeats[0];
  const PairMean& pair = check.pairs[repeat.pair];
  EXPECT_EQ(pair.reversed, (std::vector<bool>{false, true, false}));
  EXPECT_NEAR(pair.mean.x, kB.x - kA.x + 0.001, 1e-9);
  EXPECT_NEAR(pair.covariance(1, 1), 4e-6 / 3, 1e-15);
  ASSERT_EQ(repeat.differences.size(), 3u);
  EXPECT_NEAR(repeat.differences[0].xyz.x, 0.002, 1e-9);
  EXPECT_NEAR(repeat.differences[1].xyz.x, -0.002, 1e-9);
  EXPECT_NEAR(repeat.differences[2].xyz.x, 0.0, 1e-9);
  const LocalENU enu = LocalFrame(kA).components({0.002, 0, 0});
  EXPECT_NEAR(repeat.differences[0].enu.u, enu.u, 1e-12);
  EXPECT_NEAR(repeat.differences[0].t, 4.0 / (4.0 * 2 / 3), 1e-6);  // d² / (σ² − σ²/3)
  EXPECT_NEAR(repeat.test.t, (4.0 + 4.0) / 4.0, 1e-6);
  EXPECT_EQ(repeat.test.dof, 6);
  EXPECT_NEAR(repeat.test.length, 0.002, 1e-9);
  EXPECT_NEAR(repeat.test.limit, 0.010 + 4e-3, 1e-5);  // 10 mm + 1 ppm of 4 km
  EXPECT_FALSE(repeat.test.flagged);
  EXPECT_FALSE(needsAttention(check, false));

  // One report 60 mm off: T = (20² + 20² + 40²) / 2² = 600, largest difference 40 mm.
  const std::vector<Report> blunder{measured("AAAA", kA, "BBBB", kB),
                                    measured("AAAA", kA, "BBBB", kB),
                                    measured("AAAA", kA, "BBBB", kB, alongX(60))};
  const NetworkCheck flagged = checkNetwork(blunder, {});
  EXPECT_NEAR(flagged.repeats[0].test.t, 600, 1e-4);
  EXPECT_TRUE(flagged.repeats[0].test.flagged);
  EXPECT_TRUE(needsAttention(flagged, false));
  // The other two agree: the blunder alone explains the repeat and is listed first.
  EXPECT_EQ(flagged.repeats[0].outlier, std::optional<std::size_t>{2});
  ASSERT_EQ(flagged.act_on.size(), 1u);
  EXPECT_EQ(flagged.act_on[0].report, 2u);
  EXPECT_EQ(flagged.act_on[0].why,
            "40.0 mm from its pair's mean; the pair's 2 other reports pass the test without it");
  // Of two reports 60 mm apart, nothing tells which is wrong: both are listed.
  const NetworkCheck two = checkNetwork(std::span(blunder).last(2), {});
  ASSERT_EQ(two.act_on.size(), 2u);
  EXPECT_EQ(two.act_on[1].why, "one of its pair's 2 reports, 60.0 mm apart");
  EXPECT_FALSE(two.repeats[0].outlier);
  // Below the length limit it is not flagged, however significant.
  CheckOptions tolerant;
  tolerant.tolerance_mm = 45;
  EXPECT_FALSE(checkNetwork(blunder, tolerant).repeats[0].test.flagged);
}

TEST(Loops, MisclosureOfATriangleRoundFromItsFirstStation) {
  std::vector<Report> reports{measured("CCCC", kC, "AAAA", kA),
                              measured("AAAA", kA, "BBBB", kB),
                              measured("BBBB", kB, "CCCC", kC, {0, 0, 0.030})};
  NetworkCheck check = checkNetwork(reports, {});
  ASSERT_EQ(check.loops.size(), 1u);
  const LoopCheck& loop = check.loops[0];
  // A B C, going round A -> B -> C -> A: the error of B -> C is the misclosure.
  EXPECT_EQ(loop.stations, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(loop.forward, (std::vector<bool>{true, true, true}));
  EXPECT_NEAR(loop.misclosure.z, 0.030, 1e-9);
  EXPECT_NEAR(loop.misclosure.x, 0.0, 1e-9);
  const LocalENU enu = LocalFrame(kA).components({0, 0, 0.030});
  EXPECT_NEAR(loop.enu.n, enu.n, 1e-12);
  const auto distance = [](const Cartesian& p, const Cartesian& q) {
    return std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z));
  };
  EXPECT_NEAR(loop.perimeter, distance(kA, kB) + distance(kB, kC) + distance(kC, kA), 0.03);  // B C is 30 mm off
  EXPECT_NEAR(loop.ppm, 0.030 / loop.perimeter * 1e6, 1e-9);
  EXPECT_NEAR(loop.test.t, 0.030 * 0.030 / (3 * 4e-6), 1e-6);  // 75
  EXPECT_TRUE(loop.test.flagged);
  EXPECT_TRUE(loop.same_session);
  ASSERT_EQ(check.suspects.size(), 3u);
  EXPECT_TRUE(check.suspects[0].alone);

  // A larger variance factor makes the same misclosure insignificant.
  CheckOptions loose;
  loose.variance_factor = 10;
  EXPECT_NEAR(checkNetwork(reports, loose).loops[0].test.t, 7.5, 1e-6);
  EXPECT_FALSE(checkNetwork(reports, loose).loops[0].test.flagged);

  inSession(reports[2], 3);
  EXPECT_FALSE(checkNetwork(reports, {}).loops[0].same_session);
}

// A B C D with the diagonal A C: two loops, A B C and A C D.
std::vector<Report> squareWithDiagonal(const Cartesian& error_ab, const Cartesian& error_ac) {
  std::vector<Report> reports{measured("AAAA", kA, "BBBB", kB, error_ab),
                              measured("BBBB", kB, "CCCC", kC), measured("CCCC", kC, "DDDD", kD),
                              measured("DDDD", kD, "AAAA", kA),
                              measured("AAAA", kA, "CCCC", kC, error_ac)};
  for (int i = 0; i < 5; ++i) inSession(reports[static_cast<std::size_t>(i)], 3 * i);
  return reports;
}

TEST(Suspects, ThePairOnEveryFlaggedLoopComesFirst) {
  const NetworkCheck diagonal = checkNetwork(squareWithDiagonal({}, alongX(100)), {});
  ASSERT_EQ(diagonal.loops.size(), 2u);
  EXPECT_TRUE(diagonal.loops[0].test.flagged && diagonal.loops[1].test.flagged);
  EXPECT_FALSE(diagonal.loops[0].same_session);
  ASSERT_EQ(diagonal.suspects.size(), 5u);
  const Suspect& first = diagonal.suspects[0];
  EXPECT_EQ(diagonal.pairs[first.pair].reports, std::vector<std::size_t>{4});
  EXPECT_EQ(first.loops, 2);
  EXPECT_EQ(first.flagged_loops, 2);
  EXPECT_FALSE(first.alone);
  for (std::size_t i = 1; i < 5; ++i) EXPECT_TRUE(diagonal.suspects[i].alone);
  // Its report is the first to look at; every report of a suspect pair follows.
  ASSERT_EQ(diagonal.act_on.size(), 5u);
  EXPECT_EQ(diagonal.act_on[0].report, 4u);
  EXPECT_EQ(diagonal.act_on[0].why, "on 2 of 2 flagged loops; every loop through it is flagged");
  EXPECT_EQ(diagonal.act_on[1].why,
            "on 1 of 2 flagged loops; alone: nothing tells it from the loop's other pairs");

  // An error on A B, which lies on one loop only: A B and B C tie (by name, then A C,
  // whose other loop closes.
  const NetworkCheck side = checkNetwork(squareWithDiagonal(alongX(100), {}), {});
  ASSERT_EQ(side.suspects.size(), 3u);
  EXPECT_EQ(side.pairs[side.suspects[0].pair].reports, std::vector<std::size_t>{0});
  EXPECT_EQ(side.pairs[side.suspects[1].pair].reports, std::vector<std::size_t>{1});
  EXPECT_EQ(side.pairs[side.suspects[2].pair].reports, std::vector<std::size_t>{4});
  EXPECT_EQ(side.suspects[2].flagged_loops, 1);
  EXPECT_EQ(side.suspects[2].loops, 2);
}

}  // namespace
}  // namespace velk

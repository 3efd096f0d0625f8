// The fuzzing target trusts the oracle to tell a wrong rendering; these cases hold the
// oracle to the rules of the VELK records, so that it cannot agree with a wrong engine.

#include "fuzz/rendering_oracle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velk::fuzz {
namespace {

TEST(RenderingOracleTest, FixedRoundsTheExactBinaryValueHalvesAwayFromZero) {
  EXPECT_EQ(expectedFixed(0.0015, 5, 3), " .002");  // just above the half
  EXPECT_EQ(expectedFixed(0.125, 4, 2), " .13");    // an exact tie goes away from zero
  EXPECT_EQ(expectedFixed(-0.125, 4, 2), "-.13");
  EXPECT_EQ(expectedFixed(2.675, 5, 2), " 2.67");  // just below the half in binary
  EXPECT_EQ(expectedFixed(4512345.6789, 12, 3), " 4512345.679");
  EXPECT_EQ(expectedFixed(-123.45678, 9, 4), "-123.4568");
  EXPECT_EQ(expectedFixed(2.5, 3, 0), " 3.");
}

TEST(RenderingOracleTest, FixedWritesNoZeroBeforeThePointAndNoMinusOnZero) {
  EXPECT_EQ(expectedFixed(-0.5, 9, 3), "    -.500");
  EXPECT_EQ(expectedFixed(0.0004, 5, 3), " .000");
  EXPECT_EQ(expectedFixed(-0.0004, 5, 3), " .000");
  EXPECT_EQ(expectedFixed(-0.0, 5, 3), " .000");
  EXPECT_EQ(expectedFixed(0.9996, 5, 3), "1.000");  // rounded up to 1: the digit is written
}

TEST(RenderingOracleTest, FixedOverflowsToAsterisksAndLeavesHugeValuesOpen) {
  EXPECT_EQ(expectedFixed(10.0, 5, 3), "*****");
  EXPECT_EQ(expectedFixed(-9.9996, 6, 3), "******");
  EXPECT_EQ(expectedFixed(std::numeric_limits<double>::quiet_NaN(), 4, 1), "****");
  EXPECT_EQ(expectedFixed(-INFINITY, 4, 1), "****");
  EXPECT_EQ(expectedFixed(1e300, 400, 1), std::nullopt);
}

TEST(RenderingOracleTest, ExponentHasAPointThenTheDigitsAndATwoDigitExponent) {
  EXPECT_EQ(expectedExponent(0.00001234, 10, 4), " .1234E-04");
  EXPECT_EQ(expectedExponent(-0.000004321, 10, 4), "-.4321E-05");
  EXPECT_EQ(expectedExponent(0.99995, 10, 4), " .1000E+01");  // the carry moves the exponent
  EXPECT_EQ(expectedExponent(0.0, 10, 4), " .0000E+00");
  EXPECT_EQ(expectedExponent(-0.0, 10, 4), " .0000E+00");
  EXPECT_EQ(expectedExponent(1e-100, 10, 4), " .1000E-99");
}

TEST(RenderingOracleTest, ExponentOverflowsToAsterisks) {
  EXPECT_EQ(expectedExponent(1e99, 10, 4), "**********");  // .1000E+100
  EXPECT_EQ(expectedExponent(-0.000004321, 9, 4), "*********");
  EXPECT_EQ(expectedExponent(INFINITY, 6, 2), "******");
  EXPECT_EQ(expectedExponent(1.0, 6, 0), std::nullopt);
}

TEST(RenderingOracleTest, IntegersAndTextsAreRightJustified) {
  EXPECT_EQ(expectedInteger(14, 2), "14");
  EXPECT_EQ(expectedInteger(0, 4), "   0");
  EXPECT_EQ(expectedInteger(100, 2), "**");
  EXPECT_EQ(expectedInteger(-5, 2), "-5");
  EXPECT_EQ(expectedText("Fl", 4), "  Fl");
  EXPECT_EQ(expectedText("ABCD", 2), "AB");
  EXPECT_EQ(expectedText("ABCD ", -1), "ABCD ");
}

TEST(RenderingOracleTest, FreeFormRealsTakeSixteenDigitsInTwentyFourColumns) {
  EXPECT_EQ(expectedFreeFormReal(1.0), "        1.000000000000000");
  EXPECT_EQ(expectedFreeFormReal(12.345), "       12.345000000000000");
  EXPECT_EQ(expectedFreeFormReal(-9.301), "       -9.301000000000000");
  EXPECT_EQ(expectedFreeFormReal(0.4166666666666667), "   4.166666666666667E-001");
  EXPECT_EQ(expectedFreeFormReal(10000000.0), "   1.000000000000000E+007");
  EXPECT_EQ(expectedFreeFormReal(0.0), "   0.000000000000000E+000");
  EXPECT_EQ(expectedFreeFormReal(-0.0), "   0.000000000000000E+000");
  EXPECT_EQ(expectedFreeFormReal(NAN), " ************************");
}

}  // namespace
}  // namespace velk::fuzz

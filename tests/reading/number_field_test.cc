#include "reading/number_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace velk {
namespace {

using namespace std::string_literals;

TEST(IntegerField, ReadsSignedDigitsWithBlanksIgnored) {
  EXPECT_EQ(readIntegerField("123"), 123);
  EXPECT_EQ(readIntegerField("  7"), 7);
  EXPECT_EQ(readIntegerField("1 2"), 12);
  EXPECT_EQ(readIntegerField("- 4"), -4);
  EXPECT_EQ(readIntegerField("+04"), 4);
  EXPECT_EQ(readIntegerField("   "), 0);
  EXPECT_EQ(readIntegerField(""), 0);
}

TEST(IntegerField, HoldsExactly32Bits) {
  EXPECT_EQ(readIntegerField("2147483647"), 2147483647);
  EXPECT_EQ(readIntegerField("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(readIntegerField("2147483648"), std::nullopt);
  EXPECT_EQ(readIntegerField("-2147483649"), std::nullopt);
  EXPECT_EQ(readIntegerField("99999999999999999999999"), std::nullopt);
}

TEST(IntegerField, RejectsWhatIsNotAnInteger) {
  for (const std::string& field :
       {"-"s, "+"s, " - "s, "1.0"s, "12a"s, "1-2"s, "--1"s, "1\t2"s, "\t"s, "1\0"s + "2", "1e2"s}) {
    EXPECT_EQ(readIntegerField(field), std::nullopt) << '"' << field << '"';
  }
}

TEST(RealField, PointGovernsOverImpliedDecimals) {
  EXPECT_EQ(readRealField("1234.5678", 4), 1234.5678);
  EXPECT_EQ(readRealField("12.3", 4), 12.3);
  EXPECT_EQ(readRealField("5.", 2), 5.0);
  EXPECT_EQ(readRealField(".25", 0), 0.25);
  EXPECT_EQ(readRealField("-.5", 3), -0.5);
}

TEST(RealField, WithoutPointTheRightmostDigitsAreTheFraction) {
  EXPECT_EQ(readRealField("12345", 4), 1.2345);
  EXPECT_EQ(readRealField("    2100", 6), 0.0021);
  EXPECT_EQ(readRealField("5", 4), 0.0005);
  EXPECT_EQ(readRealField("-5", 2), -0.05);
  EXPECT_EQ(readRealField("1234", 0), 1234.0);
  EXPECT_EQ(readRealField("  25", 1), 2.5);
  EXPECT_EQ(readRealField("12345E2", 4), 123.45);
}

TEST(RealField, ReadsExponentsWithEitherLetterAndCase) {
  EXPECT_EQ(readRealField("1.5E-03", 4), 0.0015);
  EXPECT_EQ(readRealField("1.5e3", 4), 1500.0);
  EXPECT_EQ(readRealField("1.5D+03", 4), 1500.0);
  EXPECT_EQ(readRealField("-2.5d-1", 4), -0.25);
  EXPECT_EQ(readRealField("1.5E0000000000000000000000003", 1), 1500.0);
  EXPECT_EQ(readRealField("0E99999999999", 1), 0.0);
}

TEST(RealField, IgnoresBlanksAnywhere) {
  EXPECT_EQ(readRealField("   -12. 5  ", 4), -12.5);
  EXPECT_EQ(readRealField("1.5 E -0 3", 4), 0.0015);
  EXPECT_EQ(readRealField("          ", 6), 0.0);
}

TEST(RealField, GivesTheNearestDouble) {
  EXPECT_EQ(readRealField("0.1", 1), 0.1);
  EXPECT_EQ(readRealField("4512345.6789", 4), 4512345.6789);
  EXPECT_EQ(readRealField("45123456789", 4), 4512345.6789);
}

TEST(RealField, KeepsNegativeZero) {
  const std::optional<double> zero = readRealField("-0.0000", 4);
  ASSERT_TRUE(zero.has_value());
  EXPECT_EQ(*zero, 0.0);
  EXPECT_TRUE(std::signbit(*zero));
  EXPECT_FALSE(std::signbit(*readRealField("0.0000", 4)));
  EXPECT_TRUE(std::signbit(*readRealField("-0", 4)));
}

TEST(RealField, NumbersBeyondADoubleAreUnreadableAndTinyOnesAreZero) {
  EXPECT_EQ(readRealField("1E400", 1), std::nullopt);
  EXPECT_EQ(readRealField("-9.9D999", 1), std::nullopt);
  const std::optional<double> tiny = readRealField("-1E-400", 1);
  ASSERT_TRUE(tiny.has_value());
  EXPECT_EQ(*tiny, 0.0);
  EXPECT_TRUE(std::signbit(*tiny));
  EXPECT_EQ(readRealField("0.0001E-99999999999999", 1), 0.0);
}

TEST(RealField, RejectsWhatIsNotANumber) {
  for (const std::string& field :
       {"-"s,     "+"s,    "."s,     "-."s,         " . "s,    "1.5-03"s, "1.5+03"s, "1.5E"s,
        "1.5E+"s, "E5"s,   ".E5"s,   "1.2.3"s,      "12a.45"s, "--1"s,    "1-"s,     "1.5E3.0"s,
        "1.5X3"s, "1\t5"s, "1.5\t"s, "1\0"s + ".5", "\0"s,     "0x1p3"s,  "inf"s,    "nan"s}) {
    EXPECT_EQ(readRealField(field, 2), std::nullopt) << '"' << field << '"';
  }
}

// The plain forms read in integers against the general conversion: printed values of
// every field the reader takes, fields of random characters, the largest mantissas.
TEST(RealFieldReading, PlainFormsReadLikeTheGeneralConversion) {
  struct Field {
    int width, decimals;
  };
  const Field fields[] = {{5, 2}, {6, 2}, {8, 0}, {5, 1}, {8, 3}, {10, 6}, {14, 4}, {16, 4}};
  std::mt19937_64 random(5);
  const char* env = std::getenv("VELK_DIGITS_VALUES");
  const long count = env != nullptr ? std::atol(env) : 100000;
  const std::string characters = "0123456789 .-+9Ez\t";
  for (long i = 0; i < count; ++i) {
    const Field& field = fields[static_cast<std::size_t>(i) % std::size(fields)];
    std::string text;
    if (i % 3 == 0) {
      text.resize(static_cast<std::size_t>(field.width));
      for (char& c : text) c = characters[random() % characters.size()];
    } else {
      const double value = std::uniform_real_distribution<double>(-1e6, 1e6)(random) /
                           std::pow(10.0, static_cast<double>(random() % 12));
      char printed[64];
      // Right-justified as the reports have them, or left-justified (blanks after).
      std::snprintf(printed, sizeof printed, i % 5 == 0 ? "%-*.*f" : "%*.*f", field.width,
                    static_cast<int>(random() % 9), value);
      text = printed;
      if (i % 7 == 0) text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
    }
    const auto fast = readRealField(text, field.decimals);
    const auto exact = readRealFieldExactly(text, field.decimals);
    ASSERT_EQ(fast.has_value(), exact.has_value()) << '"' << text << '"';
    if (fast) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(*fast), std::bit_cast<std::uint64_t>(*exact))
          << '"' << text << '"';
    }
  }
  for (const char* text : {"9007199254740993", "9007199254740992", "1234567890123456789",
                           "12345678901234567890", "-0", "0.00000000000000000000001",
                           "999999999999999", "9999999999999999", "   +.5  ", "-1234567.89012345"})
    EXPECT_EQ(readRealField(text, 4), readRealFieldExactly(text, 4)) << text;
}

}  // namespace
}  // namespace velk

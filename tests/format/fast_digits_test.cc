// The real fields rendered through integer arithmetic against the same fields rendered
// from the exact decimal expansion of the double: random values, ties, values one unit in
// the last place from a tie, powers of ten and the limits of each field kind the layouts
// use. VELK_DIGITS_VALUES sets how many values per field kind (default 100,000; the
// campaign of the closing measurement ran 5,000,000).

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <random>
#include <vector>

#include "format/number_text.h"
#include "format/record_layout.h"
#include "format/record_layout_testing.h"

namespace velk {
namespace {

struct RealField {
  int width, decimals;
};
// Every F and E field of the VELK, LOG and echo layouts.
const std::vector<RealField> kFixedFields{{5, 3},  {6, 2},  {7, 3},  {7, 4},  {8, 3},
                                          {8, 4},  {9, 3},  {9, 4},  {10, 3}, {12, 3},
                                          {12, 4}, {13, 4}, {13, 8}, {14, 4}};
const RealField kExponentField{10, 4};

long valuesPerKind() {
  const char* text = std::getenv("VELK_DIGITS_VALUES");
  return text != nullptr ? std::atol(text) : 100000;
}

// Values that sit on or next to the rounding points of `decimals` decimals (or, for
// significant digits, of the digit at `decimals` after the first) and at random.
class AdversarialValues {
 public:
  explicit AdversarialValues(std::uint64_t seed) : random_(seed) {}

  double next(int decimals, double largest) {
    switch (random_() % 6) {
      case 0:  // any bit pattern of a finite double within the field's reach
        for (;;) {
          const double value = std::bit_cast<double>(random_());
          if (std::isfinite(value) && std::fabs(value) <= largest * 10) return value;
        }
      case 1:  // a decimal tie k + 1/2 units, nearest double, and its neighbours
        return neighbour(tie(decimals, largest));
      case 2:  // a binary tie: few mantissa bits, exactly representable halves
        return neighbour(std::ldexp(static_cast<double>(random_() % 4096),
                                    -static_cast<int>(random_() % 14)));
      case 3:  // a power of ten, or the field's limit, and its neighbours
        return neighbour(std::pow(10.0, static_cast<int>(random_() % 30) - 15) *
                         (random_() % 2 ? 1 : -1));
      case 4:
        return neighbour(random_() % 2 ? largest : -largest);
      default:  // a uniform value of the field's range
        return std::uniform_real_distribution<double>(-largest, largest)(random_);
    }
  }

 private:
  double tie(int decimals, double largest) {
    const double units = std::floor(std::uniform_real_distribution<double>(0, largest)(random_) *
                                    std::pow(10.0, decimals));
    return (units + 0.5) / std::pow(10.0, decimals) * (random_() % 2 ? 1 : -1);
  }
  double neighbour(double value) {
    switch (random_() % 3) {
      case 0:
        return std::nextafter(value, HUGE_VAL);
      case 1:
        return std::nextafter(value, -HUGE_VAL);
      default:
        return value;
    }
  }
  std::mt19937_64 random_;
};

TEST(FastDigits, FixedFieldsMatchTheExactExpansion) {
  AdversarialValues values(11);
  for (const RealField& field : kFixedFields) {
    // The largest value that fits: all nines.
    const double largest = std::pow(10.0, field.width - 1 - field.decimals);
    // After a comma, on its own; after 4X, where the record has the blanks to write it
    // in place.
    const std::string descriptor =
        "F" + std::to_string(field.width) + "." + std::to_string(field.decimals);
    const RecordLayout alone("('|'," + descriptor + ")");
    const RecordLayout after_blanks("('|',4X," + descriptor + ")");
    for (long i = 0; i < valuesPerKind(); ++i) {
      const double value = values.next(field.decimals, largest);
      const std::string exact = reference::renderFixed(value, field.width, field.decimals);
      ASSERT_EQ(renderFixed(value, field.width, field.decimals), exact)
          << descriptor << " of " << std::hexfloat << value;
      ASSERT_EQ(formatRecord(alone, {value}), "|" + exact) << std::hexfloat << value;
      ASSERT_EQ(formatRecord(after_blanks, {value}), "|    " + exact) << std::hexfloat << value;
    }
  }
}

TEST(FastDigits, ExponentAndFreeFormFieldsMatchTheExactExpansion) {
  AdversarialValues values(12);
  for (long i = 0; i < valuesPerKind(); ++i) {
    const double value = values.next(static_cast<int>(i % 20) - 4, 1e12);
    ASSERT_EQ(renderExponent(value, kExponentField.width, kExponentField.decimals),
              reference::renderExponent(value, kExponentField.width, kExponentField.decimals))
        << std::hexfloat << value;
    ASSERT_EQ(formatFreeFormReal(value), reference::formatFreeFormReal(value))
        << std::hexfloat << value;
    // Other digit counts than the records' four, as a layout may ask.
    ASSERT_EQ(renderExponent(value, 14, 7), reference::renderExponent(value, 14, 7))
        << std::hexfloat << value;
  }
  // The E field's own rounding points: four significant digits and a half (9999.5 and
  // 1000 among them, where the exponent changes), scaled, and their neighbours.
  std::mt19937_64 random(13);
  for (long i = 0; i < valuesPerKind(); ++i) {
    const double units =
        static_cast<double>(1000 + random() % 9000) + (random() % 2 == 0 ? 0.5 : 0.0);
    double value = units * std::pow(10.0, static_cast<int>(random() % 40) - 28);
    if (random() % 3 != 0) value = std::nextafter(value, random() % 2 == 0 ? 0.0 : HUGE_VAL);
    ASSERT_EQ(renderExponent(value, kExponentField.width, kExponentField.decimals),
              reference::renderExponent(value, kExponentField.width, kExponentField.decimals))
        << std::hexfloat << value;
  }
  for (const double edge : {0.0, -0.0, 5e-324, 1.7976931348623157e308, 0.9999999999999999,
                            9.9999995, 9999999.999999999, 1e7, 0.1, 0.29791666666666666})
    EXPECT_EQ(formatFreeFormReal(edge), reference::formatFreeFormReal(edge)) << edge;
}

// The fixed text of the check reports and exports: printf's exact digits (ties to even),
// with no minus on a zero.
TEST(FastDigits, FixedTextMatchesThePrintedExpansion) {
  AdversarialValues values(14);
  for (long i = 0; i < valuesPerKind(); ++i) {
    const int decimals = static_cast<int>(i % 9);
    const double value = values.next(decimals, 1e7);
    char printed[400];
    std::snprintf(printed, sizeof printed, "%.*f", decimals, value);
    std::string expected = printed;
    if (expected.front() == '-' && expected.find_first_not_of("-0.") == std::string::npos)
      expected.erase(0, 1);
    ASSERT_EQ(fixedTextTiesToEven(value, decimals), expected) << std::hexfloat << value;
  }
}

}  // namespace
}  // namespace velk

#include "fuzz/rendering_oracle.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace velk::fuzz {
namespace {

// A double has at most 1074 decimals; beyond them printf writes zeros.
constexpr int kExactDecimals = 1100;

std::string printed(const char* format, double magnitude) {
  std::vector<char> buffer(kExactDecimals + 400);
  const int length = std::snprintf(buffer.data(), buffer.size(), format, kExactDecimals, magnitude);
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

// `digits` cut to `kept` digits, raised by one unit in the last place when the first digit
// cut off is 5 or more. True when the carry ran out of the first digit (a "1" was put in
// front, so the result has kept + 1 digits).
bool roundHalfAway(std::string& digits, std::size_t kept) {
  const bool up = digits[kept] >= '5';
  digits.resize(kept);
  if (!up) return false;
  for (std::size_t i = kept; i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
  return true;
}

std::string fitted(const std::string& text, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) return std::string(w, '*');
  return std::string(w - text.size(), ' ') + text;
}

std::string signedExponent(int exponent, int digits) {
  std::string text = std::to_string(std::abs(exponent));
  text.insert(0, static_cast<std::size_t>(digits) - std::min<std::size_t>(text.size(), digits),
              '0');
  return (exponent < 0 ? "-" : "+") + text;
}

// |value| != 0 as d1 d2 d3 ... x 10^exponent with the point after d1, rounded to
// `significant` digits.
struct Scientific {
  std::string digits;
  int exponent = 0;
};

Scientific scientific(double magnitude, int significant) {
  const std::string text = printed("%.*e", magnitude);  // "d.ddd...e+XX"
  const std::size_t e = text.find('e');
  Scientific out;
  out.digits = text.substr(0, 1) + text.substr(2, e - 2);
  out.exponent = std::atoi(text.c_str() + e + 1);
  if (roundHalfAway(out.digits, static_cast<std::size_t>(significant))) {
    out.digits.pop_back();
    ++out.exponent;
  }
  return out;
}

}  // namespace

std::string expectedInteger(std::int32_t value, int width) {
  return fitted(std::to_string(value), width);
}

std::optional<std::string> expectedFixed(double value, int width, int decimals) {
  if (!std::isfinite(value)) return std::string(static_cast<std::size_t>(width), '*');
  if (std::fabs(value) >= 1e300) return std::nullopt;
  const std::string text = printed("%.*f", std::fabs(value));
  const std::size_t point = text.find('.');
  std::string digits = text.substr(0, point) + text.substr(point + 1);
  roundHalfAway(digits, point + static_cast<std::size_t>(decimals));
  const std::size_t integerLength = digits.size() - static_cast<std::size_t>(decimals);
  std::string integer = digits.substr(0, integerLength);
  const std::string fraction = digits.substr(integerLength);
  integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size()));
  const bool zero = integer.empty() && fraction.find_first_not_of('0') == std::string::npos;
  return fitted((std::signbit(value) && !zero ? "-" : "") + integer + "." + fraction, width);
}

std::optional<std::string> expectedExponent(double value, int width, int decimals) {
  if (!std::isfinite(value)) return std::string(static_cast<std::size_t>(width), '*');
  if (decimals < 1) return std::nullopt;
  std::string mantissa(static_cast<std::size_t>(decimals), '0');
  int exponent = 0;  // of the form .ddd
  if (value != 0) {
    const Scientific rounded = scientific(std::fabs(value), decimals);
    mantissa = rounded.digits;
    exponent = rounded.exponent + 1;
  }
  if (std::abs(exponent) > 99) return std::string(static_cast<std::size_t>(width), '*');
  return fitted((value < 0 ? "-." : ".") + mantissa + "E" + signedExponent(exponent, 2), width);
}

std::string expectedText(std::string_view value, int width) {
  if (width < 0) return std::string(value);
  const auto w = static_cast<std::size_t>(width);
  if (value.size() >= w) return std::string(value.substr(0, w));
  return std::string(w - value.size(), ' ') + std::string(value);
}

std::string expectedFreeFormReal(double value) {
  constexpr int kWidth = 24;
  constexpr int kSignificant = 16;
  constexpr int kDecimals = 15;
  if (!std::isfinite(value)) return " " + std::string(kWidth, '*');
  if (value == 0) return " " + fitted("0.000000000000000E+000", kWidth);
  const Scientific rounded = scientific(std::fabs(value), kSignificant);
  std::string text = value < 0 ? "-" : "";
  if (rounded.exponent >= 0 && rounded.exponent <= 6) {
    const auto integerLength = static_cast<std::size_t>(rounded.exponent) + 1;
    text += rounded.digits.substr(0, integerLength) + "." + rounded.digits.substr(integerLength);
    text.append(kDecimals - (kSignificant - integerLength), '0');
  } else {
    text += rounded.digits.substr(0, 1) + "." + rounded.digits.substr(1) + "E" +
            signedExponent(rounded.exponent, 3);
  }
  return " " + fitted(text, kWidth);
}

}  // namespace velk::fuzz

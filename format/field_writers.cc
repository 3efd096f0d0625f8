#include "format/field_writers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace velk {
namespace {

// `text` of `length` characters right-justified in `width` columns, or asterisks where it
// does not fit.
char* putRightJustified(char* out, const char* text, int length, int width) {
  if (length > width) return putAsterisks(out, width);
  copyShortText(out + (width - length), text, static_cast<std::size_t>(length));
  return out + width;
}

// The sign and at least `minimum_digits` digits of an exponent, "+05" or "-123", at `out`;
// returns their end. The decimal exponent of a double has at most three digits.
char* putSignedExponent(char* out, int exponent, int minimum_digits) {
  *out++ = exponent < 0 ? '-' : '+';
  const auto magnitude = static_cast<std::uint32_t>(std::abs(exponent));
  const int count = std::max(decimalDigitCount(magnitude), minimum_digits);
  return putDigitGroup(out + count, magnitude, count) + count;
}

constexpr int kFreeFormWidth = static_cast<int>(kFreeFormRealColumns) - 1;
constexpr int kFreeFormSignificant = 16;
// 24 characters of zeros: the free-form real's fixed-point form pads its 16 digits with
// them.
constexpr char kZeros[] = "000000000000000000000000";

}  // namespace

char* putAsterisks(char* out, int width) {
  return std::fill_n(out, width, '*');
}

char* putInteger(char* out, std::int32_t value, int width) {
  const bool minus = value < 0;
  const auto magnitude = static_cast<std::uint32_t>(
      minus ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value));
  const int digits = decimalDigitCount(magnitude);
  if (digits + (minus ? 1 : 0) > width) return putAsterisks(out, width);
  char* const end = out + width;
  char* start = nullptr;
  if (magnitude < 10000) {  // most integers of the records: one group of digits
    start = putDigitGroup(end, magnitude, digits);
  } else {
    std::uint64_t rest = magnitude;
    start = putLowDigits(end, rest, digits);
  }
  if (minus) start[-1] = '-';
  return end;
}

char* putText(char* out, std::string_view text, int width) {
  const std::size_t shown =
      width < 0 ? text.size() : std::min(text.size(), static_cast<std::size_t>(width));
  const std::size_t blanks = width < 0 ? 0 : static_cast<std::size_t>(width) - shown;
  copyShortText(out + blanks, text.data(), shown);
  return out + blanks + shown;
}

char* putFixedFromText(char* out, const DecimalDigits& rounded, bool negative, int width,
                       int decimals) {
  const bool minus = negative && rounded.count > 0;
  const int integer_digits = std::max(rounded.count - decimals, 0);
  if ((minus ? 1 : 0) + integer_digits + 1 + decimals > width) return putAsterisks(out, width);
  // From the right end: the decimals (zeros before the digits of a value below 10^(1-d)),
  // the point, the integer digits, the minus.
  char* const end = out + width;
  const int fraction_digits = std::min(rounded.count, decimals);
  copyShortText(end - fraction_digits, rounded.digits + integer_digits,
                static_cast<std::size_t>(fraction_digits));
  std::fill(end - decimals, end - fraction_digits, '0');
  char* start = end - decimals - 1;
  *start = '.';
  start -= integer_digits;
  copyShortText(start, rounded.digits, static_cast<std::size_t>(integer_digits));
  if (minus) start[-1] = '-';
  return end;
}

char* putExponent(char* out, double value, int width, int decimals, DigitTiers tiers) {
  if (!std::isfinite(value) || decimals < 1) return putAsterisks(out, width);
  DecimalDigits rounded;
  roundToSignificant(std::fabs(value), decimals, tiers, rounded);
  const int exponent = value == 0 ? 0 : rounded.exponent;
  const bool minus = value < 0;
  if (exponent > 99 || exponent < -99 || (minus ? 1 : 0) + 1 + decimals + 4 > width)
    return putAsterisks(out, width);
  // From the right end: the exponent's two digits, its sign, the E, the digits, the point.
  char* const end = out + width;
  std::memcpy(end - 2, kFourDigits.text[std::abs(exponent)] + 2, 2);
  end[-3] = exponent < 0 ? '-' : '+';
  end[-4] = 'E';
  char* start = end - 4 - decimals;
  copyShortText(start, rounded.digits, static_cast<std::size_t>(decimals));
  *--start = '.';
  if (minus) start[-1] = '-';
  return end;
}

char* putFreeFormReal(char* out, double value, DigitTiers tiers) {
  *out++ = ' ';
  if (!std::isfinite(value)) return putAsterisks(out, kFreeFormWidth);
  DecimalDigits rounded;
  roundToSignificant(std::fabs(value), kFreeFormSignificant, tiers, rounded);
  char text[40];
  char* end = text;
  if (value < 0) *end++ = '-';
  if (value != 0 && rounded.exponent >= 1 && rounded.exponent <= 7) {
    const auto integer_digits = static_cast<std::size_t>(rounded.exponent);
    copyShortText(end, rounded.digits, integer_digits);
    end += integer_digits;
    *end++ = '.';
    copyShortText(end, rounded.digits + integer_digits, kFreeFormSignificant - integer_digits);
    end += kFreeFormSignificant - integer_digits;
    copyShortText(end, kZeros, integer_digits - 1);
    end += integer_digits - 1;
  } else {
    *end++ = rounded.digits[0];
    *end++ = '.';
    copyShortText(end, rounded.digits + 1, kFreeFormSignificant - 1);
    end += kFreeFormSignificant - 1;
    *end++ = 'E';
    end = putSignedExponent(end, value == 0 ? 0 : rounded.exponent - 1, 3);
  }
  return putRightJustified(out, text, static_cast<int>(end - text), kFreeFormWidth);
}

}  // namespace velk

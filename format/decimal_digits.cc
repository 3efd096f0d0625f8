#include "format/decimal_digits.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>

namespace velk {

// Made by the compiler (constinit): no work at start-up.
constinit const FourDigitTexts kFourDigits = FourDigitTexts();

namespace {

__extension__ typedef unsigned __int128 Uint128;

// --- The fast tier: one 64 × 64-bit product -------------------------------------------

// A double taken apart: magnitude = mantissa / 2^shift exactly.
struct BinaryParts {
  std::uint64_t mantissa;
  int shift;
};
BinaryParts binaryParts(double magnitude) {
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return {fraction, 1074};  // subnormal
  return {fraction | (std::uint64_t{1} << 52), 1075 - biased};
}

// A first guess at the decimal exponent e with 10^(e-1) <= magnitude < 10^e, from the
// binary exponent: at most one off for normal doubles.
int decimalExponentGuess(double magnitude) {
  const auto biased = static_cast<int>((std::bit_cast<std::uint64_t>(magnitude) >> 52) & 0x7ff);
  // magnitude lies in [2^b, 2^(b+1)); 1233 / 4096 is log10(2) closely enough for a guess
  // (the shift of a negative product rounds down).
  return (((biased - 1023) * 1233) >> 12) + 1;
}

// magnitude rounded to `significant` digits (at most 19), for normal doubles below 2^52
// scaled up by at most 10^19 (the free-form real's 16 digits of values from 10^-3 on, the
// E10.4 fields of values from 10^-15 on). The exponent is right when the scaled value,
// truncated, lies in [10^(s-1), 10^s); a guess one off is corrected.
bool roundToSignificantFast(double magnitude, int significant, DecimalDigits& out) {
  if (!(magnitude >= 0x1p-1022) || !(magnitude < 0x1p52) || significant > 19) return false;
  const BinaryParts parts = binaryParts(magnitude);
  const std::uint64_t upper = powerOfTen64(significant);
  const std::uint64_t lower = powerOfTen64(significant - 1);
  int exponent = decimalExponentGuess(magnitude);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int power = significant - exponent;
    if (power < 0 || power > 19 || parts.shift - 1 >= 128) return false;
    const Uint128 halves = (Uint128{parts.mantissa} * powerOfTen64(power)) >> (parts.shift - 1);
    const Uint128 truncated = halves >> 1;
    if (truncated >= upper) {
      ++exponent;
    } else if (truncated < lower) {
      --exponent;
    } else {
      auto digits = static_cast<std::uint64_t>((halves + 1) >> 1);
      if (digits == upper) {  // 9.99.. rounded up to 10.0..
        digits = lower;
        ++exponent;
      }
      out.count = significant;
      out.exponent = exponent;
      putLowDigits(out.digits + significant, digits, significant);
      return true;
    }
  }
  return false;
}

// --- The exact tier: the exact decimal expansion ---------------------------------------

// Enough digits past the rounding position that the first digit cut off is that of the
// exact binary value: a double that is not itself a tie lies further than 1e-45 (relative
// to the rounding unit) from it for every width this system uses.
constexpr int kGuardDigits = 60;

// The digits of `text` (a to_chars result) with the point taken out.
std::string digitsWithoutPoint(std::string_view text) {
  std::string digits;
  digits.reserve(text.size());
  for (const char c : text)
    if (c != '.') digits += c;
  return digits;
}

// The first `kept` digits of `digits` rounded half up on the next one, in place; true when
// the rounding carried out of the first digit (9.99.. to 10.0..), which then reads "1" and
// the others zeros.
bool roundDigitsHalfUp(std::string& digits, std::size_t kept) {
  const bool up = digits[kept] >= '5';
  digits.resize(kept);
  if (!up) return false;
  std::size_t i = kept;
  while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
  if (i > 0) {
    ++digits[i - 1];
    return false;
  }
  return true;
}

void roundToDecimalsInText(double magnitude, int decimals, DecimalDigits& out) {
  std::string buffer(static_cast<std::size_t>(330 + decimals + kGuardDigits), '\0');
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                    std::chars_format::fixed, decimals + kGuardDigits);
  std::string digits =
      digitsWithoutPoint(std::string_view(buffer.data(), static_cast<std::size_t>(
                                                             result.ptr - buffer.data())));
  const std::size_t kept = digits.size() - static_cast<std::size_t>(kGuardDigits);
  if (roundDigitsHalfUp(digits, kept)) digits.insert(digits.begin(), '1');
  const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size());
  out.count = static_cast<int>(digits.size() - first);
  std::copy(digits.begin() + static_cast<std::ptrdiff_t>(first), digits.end(), out.digits);
}

void roundToSignificantExactly(double magnitude, int significant, DecimalDigits& out) {
  out.count = significant;
  if (magnitude == 0) {
    out.exponent = 0;
    std::fill_n(out.digits, significant, '0');
    return;
  }
  std::string buffer(static_cast<std::size_t>(significant + kGuardDigits + 16), '\0');
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                    std::chars_format::scientific, significant + kGuardDigits);
  const std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  const std::size_t e = text.find('e');
  int exponent = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                  exponent);
  std::string digits = digitsWithoutPoint(text.substr(0, e));
  out.exponent = exponent + 1;
  if (roundDigitsHalfUp(digits, static_cast<std::size_t>(significant))) {
    digits[0] = '1';
    ++out.exponent;
  }
  std::copy(digits.begin(), digits.end(), out.digits);
}

}  // namespace

void roundToDecimalsExactly(double magnitude, int decimals, DecimalDigits& out) {
  out.in_integer = false;
  roundToDecimalsInText(magnitude, decimals, out);
}

void roundToSignificant(double magnitude, int significant, DigitTiers tiers,
                        DecimalDigits& out) {
  if (tiers == DigitTiers::kFastThenExact && roundToSignificantFast(magnitude, significant, out))
    return;
  roundToSignificantExactly(magnitude, significant, out);
}

}  // namespace velk

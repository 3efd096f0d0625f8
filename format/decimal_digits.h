#pragma once

// Internal to format/: the decimal digits of the reals the records show. A real is rounded
// once, half away from zero, at the precision of its field, by one entry point for each
// kind of precision (decimals for F fields, significant digits for E fields and the
// free-form real). Each entry point has two tiers:
//   - the fast tier, one 64 × 64-bit product of the double's binary mantissa and a power of
//     ten, which is the exact value scaled; shifted down to one bit past the point, plus
//     one, without that bit, it is the value rounded half up. It takes doubles below 2^52
//     scaled by at most 10^19 into 64 bits: every value of the VELK records.
//   - the exact tier, the exact decimal expansion of the double (std::to_chars with guard
//     digits), for everything else.
// Both give the same digits; the tests hold the fast tier to the exact one on adversarial
// values (ties, one unit in the last place from a tie, powers of ten, field limits).

#include <bit>
#include <cstdint>
#include <cstring>

#include "format/decimal_scaling.h"

namespace velk {

// Which tiers a rounding takes: the fast tier where it applies, else the exact tier; or
// the exact tier alone, the reference the tests hold the fast tier to.
enum class DigitTiers { kFastThenExact, kExactOnly };

// The digits of one rounding: as one integer where the fast tier of roundToDecimals took
// them, as text otherwise.
struct DecimalDigits {
  bool in_integer = false;
  std::uint64_t integer = 0;
  // The most digits a field can show: 309 before the point and 1000 decimals.
  static constexpr int kCapacity = 1344;
  int count = 0;
  // For significant digits: the value is 0.d1d2...d(count) × 10^exponent.
  int exponent = 0;
  char digits[kCapacity];
};

// The fast tier of roundToDecimals: magnitude × 10^decimals rounded, for magnitudes below
// 2^52, at most 19 decimals and a result below 2^64; nothing otherwise.
inline bool roundToDecimalsFast(double magnitude, int decimals, std::uint64_t& rounded) {
  __extension__ typedef unsigned __int128 Uint128;
  if (decimals < 0 || decimals > 19 || !(magnitude < 0x1p52)) return false;
  // magnitude = mantissa / 2^shift exactly.
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t mantissa = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
  const int shift = 1075 - (biased == 0 ? 1 : biased);
  if (shift > 118) {  // below 2^117 / 2^118: less than one half
    rounded = 0;
    return true;
  }
  const Uint128 halves = (Uint128{mantissa} * powerOfTen64(decimals)) >> (shift - 1);
  const Uint128 result = (halves + 1) >> 1;
  if ((result >> 64) != 0) return false;
  rounded = static_cast<std::uint64_t>(result);
  return true;
}

// The exact tier of roundToDecimals, as text.
void roundToDecimalsExactly(double magnitude, int decimals, DecimalDigits& out);

// magnitude (>= 0, below 1e300) × 10^decimals rounded half away from zero: the fast tier's
// integer (in_integer set), or the exact tier's digits without leading zeros, none when it
// rounds to zero. The one entry point of the rounding of the F fields.
inline void roundToDecimals(double magnitude, int decimals, DigitTiers tiers,
                            DecimalDigits& out) {
  if (tiers == DigitTiers::kFastThenExact && roundToDecimalsFast(magnitude, decimals, out.integer)) {
    out.in_integer = true;
    return;
  }
  roundToDecimalsExactly(magnitude, decimals, out);
}

// magnitude (>= 0, finite) rounded to `significant` digits (1 to 1000) half away from zero:
// exactly `significant` digits, the first not zero, and the exponent. Zero gives zeros and
// exponent 0.
void roundToSignificant(double magnitude, int significant, DigitTiers tiers,
                        DecimalDigits& out);

// The four characters of every number below 10^4, zeros in front: one division by 10^4 and
// one copy give four digits. The 40 KB table is defined in decimal_digits.cc.
struct FourDigitTexts {
  char text[10000][4];
  constexpr FourDigitTexts() : text{} {
    for (int n = 0; n < 10000; ++n) {
      text[n][0] = static_cast<char>('0' + n / 1000);
      text[n][1] = static_cast<char>('0' + n / 100 % 10);
      text[n][2] = static_cast<char>('0' + n / 10 % 10);
      text[n][3] = static_cast<char>('0' + n % 10);
    }
  }
};
extern const FourDigitTexts kFourDigits;

// The last `count` (1 to 4) digits of `group` written before `position`; returns where
// they begin.
inline char* putDigitGroup(char* position, std::uint32_t group, int count) {
  const char* text = kFourDigits.text[group] + (4 - count);
  position -= count;
  if (count == 4) {
    std::memcpy(position, text, 4);
  } else if (count >= 2) {
    std::memcpy(position, text, 2);
    std::memcpy(position + count - 2, text + count - 2, 2);
  } else {
    *position = *text;
  }
  return position;
}

// How many decimal digits n has (one for zero).
inline int decimalDigitCount(std::uint64_t n) {
  const std::uint64_t m = n | 1;  // zero has one digit, as one has
  // 1233 / 4096 is just above log10(2): the guess is the count or one more than it.
  const int guess = (std::bit_width(m) * 1233) >> 12;
  return guess + 1 - (m < powerOfTen64(guess) ? 1 : 0);
}

// The lowest `count` digits of n, zeros included, written before `position` and taken off
// n; returns where they begin.
inline char* putLowDigits(char* position, std::uint64_t& n, int count) {
  // Eight digits per division of the 64-bit number; their two halves in 32 bits.
  for (; count >= 8; count -= 8) {
    const auto eight = static_cast<std::uint32_t>(n % 100000000);
    n /= 100000000;
    position -= 8;
    std::memcpy(position + 4, kFourDigits.text[eight % 10000], 4);
    std::memcpy(position, kFourDigits.text[eight / 10000], 4);
  }
  for (; count >= 4; count -= 4) {
    position = putDigitGroup(position, static_cast<std::uint32_t>(n % 10000), 4);
    n /= 10000;
  }
  // Divisions by constants, which the compiler turns into multiplications.
  switch (count) {
    case 3:
      position = putDigitGroup(position, static_cast<std::uint32_t>(n % 1000), 3);
      n /= 1000;
      break;
    case 2:
      position = putDigitGroup(position, static_cast<std::uint32_t>(n % 100), 2);
      n /= 100;
      break;
    case 1:
      position = putDigitGroup(position, static_cast<std::uint32_t>(n % 10), 1);
      n /= 10;
      break;
    default:
      break;
  }
  return position;
}

// All the digits of n, none for zero, written before `position`; returns where they begin.
inline char* putAllDigits(char* position, std::uint64_t n) {
  for (; n >= 10000; n /= 10000)
    position = putDigitGroup(position, static_cast<std::uint32_t>(n % 10000), 4);
  if (n == 0) return position;
  const int count = n >= 1000 ? 4 : n >= 100 ? 3 : n >= 10 ? 2 : 1;
  return putDigitGroup(position, static_cast<std::uint32_t>(n), count);
}

}  // namespace velk

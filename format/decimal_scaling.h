#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace velk {

__extension__ typedef unsigned __int128 Uint128;

// |value| × 10^power taken apart into its integer part and whether the part cut off is
// at least one half: exact, computed in 128-bit integers from the double's binary
// mantissa and exponent. Nothing when the exact product does not fit those integers
// (powers of ten beyond 10^22 up or 10^38 down, values beyond 2^74 scaled up); the
// caller then takes the digits the long way.
struct ScaledValue {
  Uint128 integer = 0;
  bool half_or_more = false;  // the fraction cut off is >= 1/2

  // Rounded with halves away from zero (on a magnitude: up).
  Uint128 rounded() const { return integer + (half_or_more ? 1 : 0); }
};
std::optional<ScaledValue> scaleByPowerOfTen(double magnitude, int power);

// 10^n as a double for n in 0..22: every one of them is exact.
inline constexpr double kExactPowersOfTen[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,
                                                 1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                                 1e12, 1e13, 1e14, 1e15, 1e16, 1e17,
                                                 1e18, 1e19, 1e20, 1e21, 1e22};

// A product `scaled` (>= 0) of a double and an exact power of ten, rounded half away from
// zero, where its one rounding cannot change the result: it is off the exact product by
// less than scaled × 2^-52, so where the part cut off lies further than that from one
// half, the exact product lies on the same side of the half, and any rounding rule gives
// the same integer. Below 2^50 the integer part and the part cut off are exact and that
// bound stays under 1/4. False near a tie, beyond 2^50 and for what is not a number.
inline bool roundScaledAwayFromTies(double scaled, std::uint64_t& rounded) {
  if (!(scaled < 0x1p50)) return false;
  const auto whole = static_cast<std::int64_t>(scaled);
  const double beyond_half = (scaled - static_cast<double>(whole)) - 0.5;
  if (std::fabs(beyond_half) <= scaled * 0x1p-52) return false;
  rounded = static_cast<std::uint64_t>(whole) + (beyond_half > 0 ? 1 : 0);
  return true;
}

// 10^n for n in 0..38, and in 64 bits for n in 0..19.
Uint128 powerOfTen(int n);
inline constexpr std::uint64_t kPowersOfTen64[20] = {1ULL,
                                                     10ULL,
                                                     100ULL,
                                                     1000ULL,
                                                     10000ULL,
                                                     100000ULL,
                                                     1000000ULL,
                                                     10000000ULL,
                                                     100000000ULL,
                                                     1000000000ULL,
                                                     10000000000ULL,
                                                     100000000000ULL,
                                                     1000000000000ULL,
                                                     10000000000000ULL,
                                                     100000000000000ULL,
                                                     1000000000000000ULL,
                                                     10000000000000000ULL,
                                                     100000000000000000ULL,
                                                     1000000000000000000ULL,
                                                     10000000000000000000ULL};
inline std::uint64_t powerOfTen64(int n) { return kPowersOfTen64[static_cast<std::size_t>(n)]; }

// The decimal digits of n, without leading zeros ("0" for zero), written at `out` (room
// for 39 characters); returns their count.
int writeDigits(Uint128 n, char* out);
// The four characters of every number below 10^4, zeros in front: one division by 10^4
// and one copy give four digits.
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
inline constexpr FourDigitTexts kFourDigits;

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

// The decimal digits of n, as writeDigits above.
inline int writeDigits(std::uint64_t n, char* out) {
  const int count = decimalDigitCount(n);
  char* position = out + count;
  for (; n >= 10000; n /= 10000)
    position = putDigitGroup(position, static_cast<std::uint32_t>(n % 10000), 4);
  putDigitGroup(position, static_cast<std::uint32_t>(n), static_cast<int>(position - out));
  return count;
}

}  // namespace velk

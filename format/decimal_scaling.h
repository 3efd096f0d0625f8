#pragma once

#include <bit>
#include <cstdint>
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
int writeDigits(std::uint64_t n, char* out);
// How many decimal digits n has (one for zero).
inline int decimalDigitCount(std::uint64_t n) {
  const std::uint64_t m = n | 1;  // zero has one digit, as one has
  // 1233 / 4096 is just above log10(2): the guess is the count or one more than it.
  const int guess = (std::bit_width(m) * 1233) >> 12;
  return guess + 1 - (m < powerOfTen64(guess) ? 1 : 0);
}

}  // namespace velk

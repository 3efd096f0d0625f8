#pragma once

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
std::uint64_t powerOfTen64(int n);

// The decimal digits of n, without leading zeros ("0" for zero), written at `out` (room
// for 39 characters); returns their count.
int writeDigits(Uint128 n, char* out);
int writeDigits(std::uint64_t n, char* out);
// How many decimal digits n has (one for zero).
int decimalDigitCount(std::uint64_t n);

}  // namespace velk

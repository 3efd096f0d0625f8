#include "format/decimal_scaling.h"

#include <algorithm>
#include <array>
#include <bit>

namespace velk {
namespace {

constexpr int kMaxPowerUp = 22;    // 2^53 × 10^22 < 2^127
constexpr int kMaxPowerDown = 38;  // 10^38 < 2^127

constexpr std::array<Uint128, 39> makePowers() {
  std::array<Uint128, 39> powers{};
  Uint128 power = 1;
  for (Uint128& p : powers) {
    p = power;
    power *= 10;
  }
  return powers;
}
constexpr std::array<Uint128, 39> kPowers = makePowers();

int bitWidth(Uint128 n) {
  const auto high = static_cast<std::uint64_t>(n >> 64);
  return high != 0 ? 64 + std::bit_width(high) : std::bit_width(static_cast<std::uint64_t>(n));
}

// numerator / 2^shift: integer part and whether the rest is at least one half.
ScaledValue shiftedDown(Uint128 numerator, int shift) {
  if (shift >= 128) return {0, false};  // numerator < 2^127: below one half
  const Uint128 rest = numerator & ((Uint128{1} << shift) - 1);
  return {numerator >> shift, shift > 0 && rest >= (Uint128{1} << (shift - 1))};
}

// numerator / divisor.
ScaledValue dividedDown(Uint128 numerator, Uint128 divisor) {
  const Uint128 rest = numerator % divisor;
  // rest < divisor < 2^127, so 2 rest does not overflow.
  return {numerator / divisor, 2 * rest >= divisor};
}

}  // namespace

Uint128 powerOfTen(int n) { return kPowers[static_cast<std::size_t>(n)]; }

std::optional<ScaledValue> scaleByPowerOfTen(double magnitude, int power) {
  // magnitude = mantissa × 2^exponent exactly.
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const Uint128 mantissa = biased == 0 ? fraction : (fraction | (std::uint64_t{1} << 52));
  const int exponent = (biased == 0 ? 1 : biased) - 1075;

  if (power >= 0) {
    if (power > kMaxPowerUp) return std::nullopt;
    const Uint128 product = mantissa * kPowers[static_cast<std::size_t>(power)];
    if (exponent < 0) return shiftedDown(product, -exponent);
    if (product != 0 && bitWidth(product) + exponent > 127) return std::nullopt;
    return ScaledValue{product << exponent, false};
  }
  if (-power > kMaxPowerDown) return std::nullopt;
  const Uint128 divisor = kPowers[static_cast<std::size_t>(-power)];
  if (exponent >= 0) {
    if (mantissa != 0 && bitWidth(mantissa) + exponent > 127) return std::nullopt;
    return dividedDown(mantissa << exponent, divisor);
  }
  // mantissa / (2^-exponent × divisor): below one half once the divisor outgrows 2 mantissa.
  if (-exponent + bitWidth(divisor) > 126) return ScaledValue{0, false};
  return dividedDown(mantissa, divisor << -exponent);
}

int writeDigits(Uint128 n, char* out) {
  if ((n >> 64) == 0) return writeDigits(static_cast<std::uint64_t>(n), out);
  // 128-bit divisions are slow; values beyond 2^64 are rare: their lowest 19 digits are
  // split off once.
  constexpr std::uint64_t kTen19 = 10000000000000000000ULL;
  const int high = writeDigits(n / kTen19, out);
  const auto low = static_cast<std::uint64_t>(n % kTen19);
  const int low_count = decimalDigitCount(low);
  std::fill_n(out + high, 19 - low_count, '0');
  writeDigits(low, out + high + 19 - low_count);
  return high + 19;
}

}  // namespace velk

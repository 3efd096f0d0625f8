#include "format/decimal_scaling.h"

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

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

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
  char reversed[40];
  int count = 0;
  // 128-bit divisions are slow; the digits beyond 2^64 are rare.
  while ((n >> 64) != 0) {
    reversed[count++] = static_cast<char>('0' + static_cast<int>(n % 10));
    n /= 10;
  }
  auto low = static_cast<std::uint64_t>(n);
  while (low >= 100) {
    const auto pair = static_cast<std::size_t>(low % 100) * 2;
    low /= 100;
    reversed[count++] = kDigitPairs[pair + 1];
    reversed[count++] = kDigitPairs[pair];
  }
  do {
    reversed[count++] = static_cast<char>('0' + static_cast<int>(low % 10));
    low /= 10;
  } while (low != 0);
  for (int i = 0; i < count; ++i) out[i] = reversed[count - 1 - i];
  return count;
}

}  // namespace velk

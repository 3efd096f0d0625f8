#include "format/number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>

#include "format/decimal_scaling.h"

namespace velk {
namespace {

// Large enough for any double with up to 40 decimals: the fixed text of 1e308 has 309
// digits before the point.
using NumberBuffer = std::array<char, 360>;

std::string checkedText(const NumberBuffer& buffer, std::to_chars_result result) {
  if (result.ec != std::errc{}) throw std::length_error("number text longer than its buffer");
  const char* end = result.ptr;
  return std::string(buffer.data(), end);
}

std::string toText(double value, std::chars_format format, int precision) {
  NumberBuffer buffer;
  return checkedText(buffer, std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                           value, format, precision));
}

// A product `scaled` (>= 0) of a double and an exact power of ten, rounded to an integer,
// where its one rounding in doubles cannot change the result. The product is off the exact
// one by less than scaled × 2^-52; where the part cut off lies further than that from one
// half, the exact product lies on the same side of the half, and every rounding rule, ties
// to even among them, gives the same integer. Below 2^50 the integer part and the part cut
// off are exact and that bound stays under 1/4. False near a tie, from 2^50 on and for
// what is not a number.
bool roundScaledAwayFromTies(double scaled, std::uint64_t& rounded) {
  if (!(scaled < 0x1p50)) return false;
  const auto whole = static_cast<std::int64_t>(scaled);
  const double beyond_half = (scaled - static_cast<double>(whole)) - 0.5;
  if (std::fabs(beyond_half) <= scaled * 0x1p-52) return false;
  rounded = static_cast<std::uint64_t>(whole) + (beyond_half > 0 ? 1 : 0);
  return true;
}

// The fixed text in integers where the rounding is certain: the fast path of
// fixedTextTiesToEven, whose exact path is printf's own expansion (std::to_chars).
std::optional<std::string> fixedTextAwayFromTies(double value, int decimals) {
  if (decimals < 0 || decimals > 22) return std::nullopt;
  std::uint64_t rounded = 0;
  if (!roundScaledAwayFromTies(std::fabs(value) * kExactPowersOfTen[decimals], rounded))
    return std::nullopt;
  const bool minus = std::signbit(value) && rounded != 0;
  char text[40];
  char* const end = text + sizeof text;
  char* position = end;
  for (int i = 0; i < decimals; ++i, rounded /= 10)
    *--position = static_cast<char>('0' + rounded % 10);
  if (decimals > 0) *--position = '.';
  do {
    *--position = static_cast<char>('0' + rounded % 10);
    rounded /= 10;
  } while (rounded != 0);
  if (minus) *--position = '-';
  return std::string(position, end);
}

}  // namespace

std::string fixedTextTiesToEven(double value, int decimals) {
  if (std::optional<std::string> text = fixedTextAwayFromTies(value, decimals)) return *text;
  std::string text = toText(value, std::chars_format::fixed, decimals);
  // "-0.000" is a zero like any other.
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::string exponentText(double value, int decimals) {
  return toText(value, std::chars_format::scientific, decimals);
}

std::string roundTripText(double value) {
  NumberBuffer buffer;
  return checkedText(buffer, std::to_chars(buffer.data(), buffer.data() + buffer.size(), value));
}

}  // namespace velk

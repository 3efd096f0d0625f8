#pragma once

// Internal to format/: the writers of the fields of a record and of the free-form real.
// Each writer puts its field at `out` and returns the end of what it wrote. The record is
// blanked once before its fields are written, so a writer writes only what is not blank.
// A value that does not fit its field gives as many asterisks as the field has columns.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "format/decimal_digits.h"

namespace velk {

// Iw: the integer right-justified, a minus before a negative one.
char* putInteger(char* out, std::int32_t value, int width);

// Aw: the first w characters, or the text right-justified; A (width -1): the text as it
// stands.
char* putText(char* out, std::string_view text, int width);

char* putAsterisks(char* out, int width);

// A copy of the few characters of a field by overlapping moves of fixed size, which the
// compiler makes without a call.
inline void copyShortText(char* to, const char* from, std::size_t count) {
  if (count >= 8 && count <= 16) {
    std::memcpy(to, from, 8);
    std::memcpy(to + count - 8, from + count - 8, 8);
  } else if (count >= 4 && count < 8) {
    std::memcpy(to, from, 4);
    std::memcpy(to + count - 4, from + count - 4, 4);
  } else if (count >= 2 && count < 4) {
    std::memcpy(to, from, 2);
    std::memcpy(to + count - 2, from + count - 2, 2);
  } else if (count == 1) {
    *to = *from;
  } else if (count > 16) {
    std::memcpy(to, from, count);
  }
}

// The F field of a value rounded by the fast tier (rounded = |value| × 10^decimals), from
// its right end: the decimals, the point, the integer digits (none below 1), the minus.
inline char* putFixedFromInteger(char* out, std::uint64_t rounded, bool negative, int width,
                                 int decimals) {
  const bool minus = negative && rounded != 0;
  const int integer_room = width - 1 - decimals - (minus ? 1 : 0);
  if (integer_room < 0 ||
      (integer_room + decimals < 20 && rounded >= powerOfTen64(integer_room + decimals)))
    return putAsterisks(out, width);
  char* const end = out + width;
  char* position = putLowDigits(end, rounded, decimals);
  *--position = '.';
  position = putAllDigits(position, rounded);
  if (minus) position[-1] = '-';
  return end;
}

// The F field of a value rounded by the exact tier, from its digits as text.
char* putFixedFromText(char* out, const DecimalDigits& rounded, bool negative, int width,
                       int decimals);

// Fw.d: the value rounded to d decimals (see roundToDecimals), right-justified, with no
// zero before the point and no minus on a value that rounds to zero. Values that are not
// finite or reach 1e300 give asterisks. Inline, so that the record walk takes the fast
// tier without a call.
[[gnu::always_inline]] inline char* putFixed(char* out, double value, int width, int decimals,
                      DigitTiers tiers = DigitTiers::kFastThenExact) {
  const double magnitude = std::fabs(value);
  if (!(magnitude < 1e300)) return putAsterisks(out, width);
  DecimalDigits rounded;
  roundToDecimals(magnitude, decimals, tiers, rounded);
  const bool negative = std::signbit(value);
  if (rounded.in_integer)
    return putFixedFromInteger(out, rounded.integer, negative, width, decimals);
  return putFixedFromText(out, rounded, negative, width, decimals);
}

// Ew.d: -.ddddE+ee, the value rounded to d significant digits (see roundToSignificant),
// right-justified; zero has exponent +00. Values that are not finite, d below 1 and
// exponents beyond two digits give asterisks.
char* putExponent(char* out, double value, int width, int decimals,
                  DigitTiers tiers = DigitTiers::kFastThenExact);

// The free-form real: one blank, then 24 columns holding 16 significant digits, in the
// fixed-point form for magnitudes in [1, 1e7) (the digits after the 16th written as 0),
// the exponent form d.dddE+xxx otherwise.
constexpr std::size_t kFreeFormRealColumns = 25;
char* putFreeFormReal(char* out, double value, DigitTiers tiers = DigitTiers::kFastThenExact);


}  // namespace velk

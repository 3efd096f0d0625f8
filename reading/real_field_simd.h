#pragma once

// Internal to reading/number_field.cc: the fast path of readRealField for the plain real
// fields of the O-files, read whole in one 16-byte SSE2 register. Nothing outside that file
// includes it, so that the processor's intrinsics stay out of the headers of reading/.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "format/decimal_scaling.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velk::real_field_simd {

#if defined(__SSE2__)

// One bit per column of the 16-column window (bit i for column i, left to right) for
// each kind of character a plain real field holds.
struct ColumnMasks {
  unsigned digits;
  unsigned blanks;
  unsigned points;
  unsigned minus;
  unsigned signs;  // '+' and '-'
};

// The field right-aligned in a window of 16 columns of blanks, by two overlapping moves of
// eight bytes (the field has 8 to 16 columns).
inline __m128i windowOf(std::string_view field) {
  alignas(16) char columns[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(columns), _mm_set1_epi8(' '));
  std::memcpy(columns + 16 - field.size(), field.data(), 8);
  std::memcpy(columns + 8, field.data() + field.size() - 8, 8);
  return _mm_load_si128(reinterpret_cast<const __m128i*>(columns));
}

inline unsigned columnsHolding(__m128i window, char c) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(window, _mm_set1_epi8(c))));
}

// A byte holds a digit when the byte minus '0', taken unsigned, is at most 9.
inline __m128i digitBytes(__m128i digit_values) {
  return _mm_cmpeq_epi8(_mm_min_epu8(digit_values, _mm_set1_epi8(9)), digit_values);
}

// The column masks of a window whose bytes less '0' are `digit_values`.
inline ColumnMasks classifyColumns(__m128i window, __m128i digit_values) {
  ColumnMasks masks{};
  masks.digits = static_cast<unsigned>(_mm_movemask_epi8(digitBytes(digit_values)));
  masks.blanks = columnsHolding(window, ' ');
  masks.points = columnsHolding(window, '.');
  masks.minus = columnsHolding(window, '-');
  masks.signs = masks.minus | columnsHolding(window, '+');
  return masks;
}

// The named tests of the plain form: blanks, then one run of an optional sign, digits and
// at most one point, then blanks; some digit, and fewer than 16 of them (a double's
// integers hold 15 digits).
inline unsigned numberRun(const ColumnMasks& m) { return ~m.blanks & 0xffff; }
inline bool holdsOnlyNumberCharacters(const ColumnMasks& m) {
  return (m.digits | m.blanks | m.points | m.signs) == 0xffff;
}
inline bool hasSomeDigitAndABlank(const ColumnMasks& m) {
  return m.digits != 0 && m.digits != 0xffff;
}
// Adding a run's lowest bit to it carries through the run: nothing is left of the run when
// it is one unbroken stretch of columns.
inline bool isOneRun(unsigned run) {
  const unsigned run_start = run & (0u - run);
  return ((run + run_start) & run) == 0;
}
inline bool signOnlyAtTheStart(const ColumnMasks& m, unsigned run) {
  return (m.signs & ~(run & (0u - run))) == 0;
}
inline bool atMostOnePoint(const ColumnMasks& m) { return (m.points & (m.points - 1)) == 0; }

inline bool isPlainForm(const ColumnMasks& m) {
  const unsigned run = numberRun(m);
  return holdsOnlyNumberCharacters(m) && hasSomeDigitAndABlank(m) && isOneRun(run) &&
         signOnlyAtTheStart(m, run) && atMostOnePoint(m);
}

// The digits with those before the point moved one column right, over it, so that all
// of them end at the run's last column (the point's column then holds a digit, and the
// first column of the run a zero or the sign's byte, masked to zero).
inline __m128i closeUpOverThePoint(__m128i digit_values, __m128i is_digit, int point) {
  // Set in the columns up to the point: 16 set bytes then 16 clear, seen from 15 - point.
  alignas(32) static constexpr unsigned char kSetThenClear[32] = {
      0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
      0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
  const __m128i values = _mm_and_si128(digit_values, is_digit);
  const __m128i up_to_point =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSetThenClear + 15 - point));
  return _mm_or_si128(_mm_and_si128(up_to_point, _mm_slli_si128(values, 1)),
                      _mm_andnot_si128(up_to_point, values));
}

// The 16 digit columns as one integer: pairs of digits summed into 16 bits, fours into 32,
// eights into 32, then the two eights joined. This is the SIMD digit parsing of
// Langdale and Lemire ("Parsing Gigabytes of JSON per Second", VLDB Journal 28, 2019;
// simdjson's parse_eight_digits_unrolled) and Muła's "SIMD-ized conversion of decimal
// numbers", widened here to 16 digits.
inline std::uint64_t sixteenDigitsValue(__m128i digits) {
  const __m128i pairs =
      _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(digits, _mm_set1_epi16(0xff)),
                                    _mm_set1_epi16(10)),
                    _mm_srli_epi16(digits, 8));
  const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32((1 << 16) | 100));
  const __m128i eights =
      _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32((1 << 16) | 10000));
  const auto high = static_cast<std::uint64_t>(_mm_cvtsi128_si32(eights));
  const auto low = static_cast<std::uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(eights, 4)));
  return high * 100000000 + low;
}

// A field of 8 to 16 columns in the plain form, with at most 15 digits, read whole: its
// columns are told apart all at once, the digits after the point closed up on those before
// it, and the digits summed as one integer, which is exact below 2^53; divided by an exact
// power of ten, it gives the correctly rounded double. False, and nothing read, for any
// other field. Always inline: every coordinate of every report comes through it.
[[gnu::always_inline]] inline bool readPlainReal(std::string_view field, int decimals,
                                                 double& value) {
  if (field.size() < 8 || field.size() > 16) return false;
  const __m128i window = windowOf(field);
  const __m128i digit_values = _mm_sub_epi8(window, _mm_set1_epi8('0'));
  const ColumnMasks masks = classifyColumns(window, digit_values);
  if (!isPlainForm(masks)) return false;
  const int last = std::bit_width(numberRun(masks)) - 1;
  const int point = masks.points != 0 ? std::countr_zero(masks.points) : -1;
  const int scale = point >= 0 ? last - point : std::max(decimals, 0);
  if (scale > 22) return false;
  const __m128i digits = closeUpOverThePoint(digit_values, digitBytes(digit_values), point);
  std::uint64_t mantissa = sixteenDigitsValue(digits);
  if (last != 15) mantissa /= powerOfTen64(15 - last);  // the blanks after the run
  const double magnitude = static_cast<double>(mantissa) / kExactPowersOfTen[scale];
  value = masks.minus != 0 ? -magnitude : magnitude;
  return true;
}

#else

inline bool readPlainReal(std::string_view, int, double&) { return false; }

#endif

}  // namespace velk::real_field_simd

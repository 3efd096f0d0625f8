#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "format/decimal_scaling.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velk {

// The number fields of an O-file line, read the way the report's fixed columns are meant:
// blanks (spaces only) anywhere in the field are ignored and an all-blank field reads as 0.
// Any other character that does not belong to the number makes the field unreadable
// (nullopt), as do a sign or a point without digits.

// An optionally signed decimal integer that fits 32 bits.
std::optional<std::int32_t> readIntegerField(std::string_view field);

// A real field Fw.d: an optionally signed decimal number, optionally followed by an
// exponent (E or D in either case, an optional sign, at least one digit). Without a
// point, the rightmost `decimals` digits of the mantissa are the fraction. The value is
// the double nearest to the decimal number; "-0.0000" gives negative zero. A number too
// large for a double is unreadable; one too small reads as zero of its sign.
std::optional<double> readRealField(std::string_view field, int decimals);

#if defined(__SSE2__)
// A field of 8 to 16 columns in the plain form with at most 15 digits, read whole in one
// 16-byte register: its columns are told apart all at once, the digits after the point
// closed up on those before it, and the digits summed in pairs, fours and eights. False,
// and nothing read, for any other field, which readRealField takes. Inline: every
// coordinate of every report comes through it.
[[gnu::always_inline]] inline bool readPlainRealAtOnce(std::string_view field, int decimals, double& value) {
  const std::size_t size = field.size();
  if (size < 8 || size > 16) return false;
  // The field right-aligned in 16 blanks: two overlapping moves of 8.
  alignas(16) char columns[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(columns), _mm_set1_epi8(' '));
  std::memcpy(columns + 16 - size, field.data(), 8);
  std::memcpy(columns + 8, field.data() + size - 8, 8);
  const __m128i bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(columns));
  const auto maskOf = [&bytes](char c) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
  };
  const __m128i digits = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
  const __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(digits, _mm_set1_epi8(9)), digits);
  const auto digit_mask = static_cast<unsigned>(_mm_movemask_epi8(is_digit));
  const unsigned blank_mask = maskOf(' ');
  const unsigned point_mask = maskOf('.');
  const unsigned minus_mask = maskOf('-');
  const unsigned sign_mask = minus_mask | maskOf('+');
  // Blanks, then one run of an optional sign, digits and at most one point, then blanks;
  // some digit, and not 16 of them (more than a double's integers hold).
  const unsigned run = ~blank_mask & 0xffff;
  const unsigned run_start = run & (0u - run);
  if ((digit_mask | blank_mask | point_mask | sign_mask) != 0xffff || digit_mask == 0 ||
      digit_mask == 0xffff || ((run + run_start) & run) != 0 || (sign_mask & ~run_start) != 0 ||
      (point_mask & (point_mask - 1)) != 0)
    return false;
  const int last = std::bit_width(run) - 1;
  const int point = point_mask != 0 ? std::countr_zero(point_mask) : -1;
  const int scale = point >= 0 ? last - point : std::max(decimals, 0);
  if (scale > 22) return false;
  // Each digit before the point moved one column right, over the point: the digits then
  // end at the last column of the run.
  const __m128i digit_values = _mm_and_si128(digits, is_digit);
  // Set in the columns up to the point: 16 set bytes then 16 clear, seen from 15 - point.
  alignas(32) static constexpr unsigned char kSetThenClear[32] = {
      0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
      0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
  const __m128i up_to_point =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSetThenClear + 15 - point));
  const __m128i closed = _mm_or_si128(_mm_and_si128(up_to_point, _mm_slli_si128(digit_values, 1)),
                                      _mm_andnot_si128(up_to_point, digit_values));
  // Pairs of digits in 16 bits, fours in 32, eights in 32: the 16 columns as one number.
  const __m128i pairs =
      _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(closed, _mm_set1_epi16(0xff)),
                                    _mm_set1_epi16(10)),
                    _mm_srli_epi16(closed, 8));
  const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32((1 << 16) | 100));
  const __m128i eights =
      _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32((1 << 16) | 10000));
  const auto high = static_cast<std::uint64_t>(_mm_cvtsi128_si32(eights));
  const auto low = static_cast<std::uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(eights, 4)));
  std::uint64_t mantissa = high * 100000000 + low;
  if (last != 15) mantissa /= powerOfTen64(15 - last);  // the blanks after the run
  const double magnitude = static_cast<double>(mantissa) / kExactPowersOfTen[scale];
  value = minus_mask != 0 ? -magnitude : magnitude;
  return true;
}
#else
inline bool readPlainRealAtOnce(std::string_view, int, double&) {
  return false;
}
#endif

// The same, always through the general decimal conversion (from_chars): the reference
// the tests hold the integer reading of the plain forms to.
std::optional<double> readRealFieldLongWay(std::string_view field, int decimals);

}  // namespace velk

#include "reading/number_field.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <cstddef>
#include <iterator>
#include <limits>
#include <string>
#include <system_error>

#include "format/decimal_scaling.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velk {
namespace {

// Far beyond any decimal exponent a double can reach, in either direction.
constexpr std::int64_t kExponentLimit = 100000;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isSign(char c) {
  return c == '+' || c == '-';
}
bool isExponentLetter(char c) {
  return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

std::string withoutBlanks(std::string_view field) {
  std::string kept;
  std::copy_if(field.begin(), field.end(), std::back_inserter(kept),
               [](char c) { return c != ' '; });
  return kept;
}

// A real field taken apart: sign, the digits on either side of the point, the exponent.
struct DecimalNumber {
  bool negative = false;
  bool has_point = false;
  std::string integer_digits;
  std::string fraction_digits;
  std::int64_t exponent = 0;  // held within +-kExponentLimit
};

// Reads "[sign]digits[.digits][letter[sign]digits]" to its end; nullopt when anything
// else is met or the mantissa has no digit.
std::optional<DecimalNumber> splitReal(std::string_view text) {
  DecimalNumber number;
  std::size_t pos = 0;
  if (pos < text.size() && isSign(text[pos])) number.negative = text[pos++] == '-';
  for (; pos < text.size(); ++pos) {
    if (isDigit(text[pos])) {
      (number.has_point ? number.fraction_digits : number.integer_digits) += text[pos];
    } else if (text[pos] == '.' && !number.has_point) {
      number.has_point = true;
    } else {
      break;
    }
  }
  if (number.integer_digits.empty() && number.fraction_digits.empty()) return std::nullopt;
  if (pos == text.size()) return number;

  if (!isExponentLetter(text[pos++])) return std::nullopt;
  bool negative_exponent = false;
  if (pos < text.size() && isSign(text[pos])) negative_exponent = text[pos++] == '-';
  if (pos == text.size()) return std::nullopt;
  for (; pos < text.size(); ++pos) {
    if (!isDigit(text[pos])) return std::nullopt;
    number.exponent = std::min(number.exponent * 10 + (text[pos] - '0'), kExponentLimit);
  }
  if (negative_exponent) number.exponent = -number.exponent;
  return number;
}

// Without a point, the rightmost `decimals` digits are the fraction.
void applyImpliedDecimals(DecimalNumber& number, int decimals) {
  if (number.has_point || decimals <= 0) return;
  const auto fraction_width = static_cast<std::size_t>(decimals);
  std::string& digits = number.integer_digits;
  if (digits.size() < fraction_width) digits.insert(0, fraction_width - digits.size(), '0');
  number.fraction_digits = digits.substr(digits.size() - fraction_width);
  digits.erase(digits.size() - fraction_width);
}

std::string canonicalText(const DecimalNumber& number) {
  std::string text = number.negative ? "-" : "";
  text += number.integer_digits.empty() ? "0" : number.integer_digits;
  text += '.';
  text += number.fraction_digits.empty() ? "0" : number.fraction_digits;
  text += 'e';
  text += std::to_string(number.exponent);
  return text;
}

// For a number out of a double's range: true when it is too large, false when too small.
bool exceedsDoubleRange(const DecimalNumber& number) {
  const std::size_t first_integer = number.integer_digits.find_first_not_of('0');
  if (first_integer != std::string::npos) {
    const auto integer_places =
        static_cast<std::int64_t>(number.integer_digits.size() - first_integer);
    return integer_places + number.exponent > 0;
  }
  const std::size_t first_fraction = number.fraction_digits.find_first_not_of('0');
  return number.exponent - static_cast<std::int64_t>(first_fraction) > 0;
}

}  // namespace

std::optional<std::int32_t> readIntegerField(std::string_view field) {
  const char* position = field.data();
  const char* const end = position + field.size();
  while (position != end && *position == ' ') ++position;
  if (position == end) return 0;
  const bool negative = *position == '-';
  if (isSign(*position)) ++position;
  const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                      : std::int64_t{std::numeric_limits<std::int32_t>::max()};
  std::int64_t magnitude = 0;
  bool any_digit = false;
  for (; position != end; ++position) {
    const auto digit = static_cast<unsigned>(*position - '0');
    if (digit < 10) {
      any_digit = true;
      magnitude = magnitude * 10 + digit;
      if (magnitude > limit) return std::nullopt;
    } else if (*position != ' ') {
      return std::nullopt;
    }
  }
  if (!any_digit) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

namespace {

// The plain forms of the O-files ("  -532.5693", "0.001183", "  12345" with implied
// decimals), at most 19 digits and no exponent, read in integers: a mantissa below 2^53
// and a power of ten up to 10^22 are both exact doubles, so their one quotient is the
// correctly rounded value, the same double the long way gives. A field with a character
// no number can hold is unreadable at once; any other form is left to the long way.
enum class PlainReading { kRead, kUnreadable, kOtherForm };

// Whether a character met after `digits` digits of the mantissa may still belong to a
// number (blanks inside a number are ignored): an exponent letter needs a digit before it.
bool mayBeInANumber(char c, int digits) {
  return isDigit(c) || isSign(c) || c == '.' || (isExponentLetter(c) && digits > 0);
}

// Eight bytes as a word, the first in its lowest bits.
std::uint64_t loadWord(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, 8);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

constexpr std::uint64_t kEachByte = 0x0101010101010101ULL;

// Past the blanks from `position` on, eight at a time.
const char* skipBlanks(const char* position, const char* end) {
  for (; end - position >= 8; position += 8) {
    const std::uint64_t others = loadWord(position) ^ (' ' * kEachByte);
    if (others != 0) return position + std::countr_zero(others) / 8;
  }
  while (position != end && *position == ' ') ++position;
  return position;
}

// Digits from `position` on, added to `mantissa`; returns where they end.
const char* readDigits(const char* position, const char* end, std::uint64_t& mantissa) {
  // Two at a time while two are left: one bound check for both.
  while (end - position >= 2) {
    const auto first = static_cast<unsigned>(static_cast<unsigned char>(position[0]) - '0');
    const auto second = static_cast<unsigned>(static_cast<unsigned char>(position[1]) - '0');
    if (first >= 10) return position;
    if (second >= 10) {
      mantissa = mantissa * 10 + first;
      return position + 1;
    }
    mantissa = mantissa * 100 + (first * 10 + second);
    position += 2;
  }
  if (position != end) {
    const auto digit = static_cast<unsigned>(static_cast<unsigned char>(*position) - '0');
    if (digit < 10) {
      mantissa = mantissa * 10 + digit;
      ++position;
    }
  }
  return position;
}

#if defined(__SSE2__)
// A field of 8 to 16 columns in the plain form with at most 15 digits, read whole in one
// 16-byte register: its columns are told apart all at once, the digits after the point
// closed up on those before it, and the digits summed in pairs, fours and eights. False,
// and nothing read, for any other field, which the column-by-column reading takes.
bool readPlainRealAtOnce(std::string_view field, int decimals, double& value) {
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
  const __m128i up_to_point = _mm_cmplt_epi8(
      _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
      _mm_set1_epi8(static_cast<char>(point + 1)));
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
bool readPlainRealAtOnce(std::string_view, int, double&) {
  return false;
}
#endif

PlainReading readPlainReal(std::string_view field, int decimals, double& value) {
  if (readPlainRealAtOnce(field, decimals, value)) return PlainReading::kRead;
  constexpr long kMaxDigits = 19;
  constexpr std::uint64_t kExactMantissa = std::uint64_t{1} << 53;
  const char* const end = field.data() + field.size();
  const char* position = skipBlanks(field.data(), end);
  bool negative = false;
  if (position != end && isSign(*position)) negative = *position++ == '-';
  // Blanks, signs, exponents... after the digits leave the form to the long way; the
  // mantissa is only used once its digits are counted.
  std::uint64_t mantissa = 0;
  const char* const integer_start = position;
  position = readDigits(position, end, mantissa);
  long digits = position - integer_start;
  long fraction_digits = -1;  // -1: no point
  if (position != end && *position == '.') {
    const char* const fraction_start = ++position;
    position = readDigits(position, end, mantissa);
    fraction_digits = position - fraction_start;
    digits += fraction_digits;
  }
  while (position != end && *position == ' ') ++position;
  if (position != end) {
    return mayBeInANumber(*position, static_cast<int>(digits)) ? PlainReading::kOtherForm
                                                                : PlainReading::kUnreadable;
  }
  if (digits == 0 || digits > kMaxDigits) return PlainReading::kOtherForm;
  const long scale = fraction_digits >= 0 ? fraction_digits : std::max(decimals, 0);
  if (mantissa > kExactMantissa || scale > 22) return PlainReading::kOtherForm;
  const double magnitude = static_cast<double>(mantissa) / kExactPowersOfTen[scale];
  value = negative ? -magnitude : magnitude;
  return PlainReading::kRead;
}

}  // namespace

std::optional<double> readRealField(std::string_view field, int decimals) {
  double value = 0;
  switch (readPlainReal(field, decimals, value)) {
    case PlainReading::kRead:
      return value;
    case PlainReading::kUnreadable:
      return std::nullopt;
    case PlainReading::kOtherForm:
      break;
  }
  return readRealFieldLongWay(field, decimals);
}

std::optional<double> readRealFieldLongWay(std::string_view field, int decimals) {
  const std::string text = withoutBlanks(field);
  if (text.empty()) return 0.0;
  std::optional<DecimalNumber> number = splitReal(text);
  if (!number) return std::nullopt;
  applyImpliedDecimals(*number, decimals);

  const std::string canonical = canonicalText(*number);
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
  if (error == std::errc::result_out_of_range) {
    if (exceedsDoubleRange(*number)) return std::nullopt;
    return number->negative ? -0.0 : 0.0;
  }
  if (error != std::errc{} || end != canonical.data() + canonical.size()) return std::nullopt;
  return value;
}

}  // namespace velk

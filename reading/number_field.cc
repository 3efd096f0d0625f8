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
#include "reading/real_field_simd.h"

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
// correctly rounded value, the same double the exact path gives. A field with a character
// no number can hold is unreadable at once; any other form is left to the exact path.
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

PlainReading readPlainReal(std::string_view field, int decimals, double& value) {
  constexpr long kMaxDigits = 19;
  constexpr std::uint64_t kExactMantissa = std::uint64_t{1} << 53;
  const char* const end = field.data() + field.size();
  const char* position = skipBlanks(field.data(), end);
  bool negative = false;
  if (position != end && isSign(*position)) negative = *position++ == '-';
  // Blanks, signs, exponents... after the digits leave the form to the exact path; the
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

// The fields the 16-byte register does not read: kept apart, so that readRealField has no
// frame to set up for them.
[[gnu::noinline]] std::optional<double> readRealFieldInWordsOrExactly(std::string_view field,
                                                                      int decimals) {
  double value = 0;
  switch (readPlainReal(field, decimals, value)) {
    case PlainReading::kRead:
      return value;
    case PlainReading::kUnreadable:
      return std::nullopt;
    case PlainReading::kOtherForm:
      break;
  }
  return readRealFieldExactly(field, decimals);
}

}  // namespace

std::optional<double> readRealField(std::string_view field, int decimals) {
  double value = 0;
  if (real_field_simd::readPlainReal(field, decimals, value)) return value;
  return readRealFieldInWordsOrExactly(field, decimals);
}

std::optional<double> readRealFieldExactly(std::string_view field, int decimals) {
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

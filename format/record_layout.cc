#include "format/record_layout.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "format/decimal_scaling.h"

namespace velk {
namespace {

// --- Parsing the notation -------------------------------------------------------------

// A record has a few dozen fields and at most a group in a group; layouts beyond these
// limits are typos, which would otherwise take memory by the gigabyte
// ((1000(1000(1000(X))))) or the whole stack (thousands of nested parentheses).
constexpr std::size_t kMaxDescriptors = 10000;
constexpr int kMaxNesting = 100;

class LayoutParser {
 public:
  explicit LayoutParser(std::string_view notation) : text_(notation) {}

  std::vector<FieldDescriptor> parse() {
    skipBlanks();
    expect('(');
    std::vector<FieldDescriptor> out = parseList();
    expect(')');
    skipBlanks();
    if (pos_ != text_.size()) fail("text after the closing parenthesis");
    return out;
  }

 private:
  // Items separated by commas, up to (not including) the closing parenthesis.
  std::vector<FieldDescriptor> parseList() {
    std::vector<FieldDescriptor> out;
    skipBlanks();
    if (peek() == ')') return out;
    for (;;) {
      parseItem(out);
      skipBlanks();
      if (peek() != ',') return out;
      ++pos_;
    }
  }

  void parseItem(std::vector<FieldDescriptor>& out) {
    skipBlanks();
    if (peek() == '\'') {
      out.push_back({FieldDescriptor::Kind::Literal, 0, 0, parseLiteral()});
      return;
    }
    const int count = isDigit(peek()) ? parseNumber() : 1;
    skipBlanks();
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(peek())));
    if (letter == 'X') {
      ++pos_;
      out.push_back({FieldDescriptor::Kind::Skip, count, 0, {}});
      return;
    }
    std::vector<FieldDescriptor> unit;
    if (letter == '(') {
      ++pos_;
      if (++depth_ > kMaxNesting) fail("repeat groups nested too deep");
      unit = parseList();
      expect(')');
      --depth_;
    } else {
      unit.push_back(parseDataField());
    }
    if (count < 1) fail("a repeat count must be at least 1");
    if (unit.size() * static_cast<std::size_t>(count) > kMaxDescriptors - out.size())
      fail("more than " + std::to_string(kMaxDescriptors) + " descriptors once expanded");
    for (int i = 0; i < count; ++i) out.insert(out.end(), unit.begin(), unit.end());
  }

  FieldDescriptor parseDataField() {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(peek())));
    ++pos_;
    switch (letter) {
      case 'I':
        return {FieldDescriptor::Kind::Integer, parseWidth(), 0, {}};
      case 'A':
        return {FieldDescriptor::Kind::Text, isDigit(peek()) ? parseWidth() : -1, 0, {}};
      case 'F':
      case 'E': {
        const int width = parseWidth();
        expect('.');
        const int decimals = parseNumber();
        const auto kind =
            letter == 'F' ? FieldDescriptor::Kind::Fixed : FieldDescriptor::Kind::Exponent;
        return {kind, width, decimals, {}};
      }
      default:
        fail("unknown descriptor");
    }
  }

  int parseWidth() {
    const int width = parseNumber();
    if (width < 1) fail("a field width must be at least 1");
    return width;
  }

  // Field widths and counts of a record line are small; anything beyond is a typo.
  int parseNumber() {
    if (!isDigit(peek())) fail("a number was expected");
    int value = 0;
    while (isDigit(peek())) {
      value = value * 10 + (text_[pos_++] - '0');
      if (value > 1000) fail("a number above 1000");
    }
    return value;
  }

  // 'text', with a doubled apostrophe standing for one.
  std::string parseLiteral() {
    ++pos_;
    std::string literal;
    for (;;) {
      if (pos_ >= text_.size()) fail("an unterminated literal");
      const char c = text_[pos_++];
      if (c != '\'') {
        literal += c;
      } else if (peek() == '\'') {
        literal += '\'';
        ++pos_;
      } else {
        return literal;
      }
    }
  }

  void expect(char c) {
    skipBlanks();
    if (peek() != c) fail(std::string("'") + c + "' was expected");
    ++pos_;
  }
  void skipBlanks() {
    while (peek() == ' ') ++pos_;
  }
  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  static bool isDigit(char c) { return c >= '0' && c <= '9'; }

  [[noreturn]] void fail(const std::string& what) const {
    throw std::invalid_argument("record layout \"" + std::string(text_) + "\", column " +
                                std::to_string(pos_ + 1) + ": " + what);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int depth_ = 0;  // of repeat groups around the current item
};

// --- Decimal digits of a double -------------------------------------------------------

// Enough digits past the rounding position that the first digit cut off is that of the
// exact binary value: a double that is not itself a tie lies further than 1e-45 (relative
// to the rounding unit) from it for every width this system uses.
constexpr int kGuardDigits = 60;

// The decimal digits of |value| (no sign, no point) and the power of ten of the first,
// rounded to `significant` digits with halves away from zero, for any number of digits.
// For value 0, all zeros.
struct LongDigits {
  std::string digits;
  int exponent = 0;  // value = 0.d1d2d3... x 10^exponent
};

LongDigits roundToSignificantLongWay(double magnitude, int significant) {
  LongDigits out;
  if (magnitude == 0) {
    out.digits.assign(static_cast<std::size_t>(significant), '0');
    return out;
  }
  std::string buffer(static_cast<std::size_t>(significant + kGuardDigits + 16), '\0');
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                    std::chars_format::scientific, significant + kGuardDigits);
  const std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  const std::size_t e = text.find('e');
  std::string all;
  for (char c : text.substr(0, e))
    if (c != '.') all += c;
  int exponent = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                  exponent);
  out.exponent = exponent + 1;
  out.digits = all.substr(0, static_cast<std::size_t>(significant));
  if (all[static_cast<std::size_t>(significant)] >= '5') {
    int i = significant - 1;
    while (i >= 0 && out.digits[static_cast<std::size_t>(i)] == '9')
      out.digits[static_cast<std::size_t>(i--)] = '0';
    if (i >= 0) {
      ++out.digits[static_cast<std::size_t>(i)];
    } else {  // 9.99.. rounded up to 10.0..
      out.digits[0] = '1';
      ++out.exponent;
    }
  }
  return out;
}

// The same for the fields of a record and the free-form real, held in place: up to
// kMostDigitsInPlace digits (more go the long way with their own text).
constexpr int kMostDigitsInPlace = 38;
struct SignificantDigits {
  char digits[kMostDigitsInPlace + 2];
  int count = 0;
  int exponent = 0;  // value = 0.d1d2d3... x 10^exponent
};

// |value| rounded to `decimals` decimals: the integer digits (empty below 1) and the
// decimals.
struct FixedDigits {
  std::string integer;
  std::string fraction;
  bool isZero() const {
    return integer.empty() && fraction.find_first_not_of('0') == std::string::npos;
  }
};

FixedDigits roundToDecimals(double magnitude, int decimals) {
  std::string buffer(static_cast<std::size_t>(330 + decimals + kGuardDigits), '\0');
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                    std::chars_format::fixed, decimals + kGuardDigits);
  const std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  const std::size_t point = text.find('.');
  std::string digits(text.substr(0, point));
  digits.append(text.substr(point + 1, static_cast<std::size_t>(decimals)));
  const bool roundUp = text[point + 1 + static_cast<std::size_t>(decimals)] >= '5';
  if (roundUp) {
    int i = static_cast<int>(digits.size()) - 1;
    while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9')
      digits[static_cast<std::size_t>(i--)] = '0';
    if (i >= 0)
      ++digits[static_cast<std::size_t>(i)];
    else
      digits.insert(digits.begin(), '1');
  }
  const std::size_t integerLength = digits.size() - static_cast<std::size_t>(decimals);
  FixedDigits out;
  out.integer = digits.substr(0, integerLength);
  out.fraction = digits.substr(integerLength);
  const std::size_t firstNonZero = out.integer.find_first_not_of('0');
  out.integer.erase(0, firstNonZero == std::string::npos ? out.integer.size() : firstNonZero);
  return out;
}

// Which way the digits are taken: integers where they suffice (every value of the VELK
// records), else the exact decimal expansion. Both give the same digits; the tests hold
// the fast way to the long one.
enum class DigitsWay { kFastWhereExact, kLongWayOnly };

char* putLowDigits(char* position, std::uint64_t& n, int count);

// A first guess at the decimal exponent e with 10^(e-1) <= magnitude < 10^e, from the
// binary exponent: at most one off for normal doubles.
int decimalExponentGuess(double magnitude) {
  const auto biased = static_cast<int>((std::bit_cast<std::uint64_t>(magnitude) >> 52) & 0x7ff);
  // magnitude lies in [2^b, 2^(b+1)); 1233 / 4096 is log10(2) closely enough for a guess
  // (the shift of a negative product rounds down).
  const int binary = biased - 1023;
  return ((binary * 1233) >> 12) + 1;
}

// The rounded digits in integers: magnitude × 10^(significant - e) has its integer part
// in [10^(significant-1), 10^significant) exactly when e is the right exponent. Nothing
// where the integers cannot hold the scaled value.
std::optional<SignificantDigits> roundToSignificantInIntegers(double magnitude, int significant) {
  if (magnitude == 0 || significant > 38 || magnitude < 0x1p-1022) return std::nullopt;
  int exponent = decimalExponentGuess(magnitude);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::optional<ScaledValue> scaled = scaleByPowerOfTen(magnitude, significant - exponent);
    if (!scaled) return std::nullopt;
    const Uint128 upper = significant <= 19 ? powerOfTen64(significant) : powerOfTen(significant);
    const Uint128 lower =
        significant <= 20 ? powerOfTen64(significant - 1) : powerOfTen(significant - 1);
    if (scaled->integer >= upper) {
      ++exponent;
    } else if (scaled->integer < lower) {
      --exponent;
    } else {
      SignificantDigits out;
      Uint128 digits = scaled->rounded();
      if (digits == upper) {  // 9.99.. rounded up to 10.0..
        digits = lower;
        ++exponent;
      }
      out.exponent = exponent;
      out.count = writeDigits(digits, out.digits);
      return out;
    }
  }
  return std::nullopt;
}

// The same in doubles, for up to 15 digits, on the reasoning of roundScaledAwayFromTies:
// the scaled product is off the exact one by less than scaled × 2^-52, so an exponent is
// taken only when the product lies further than that from 10^(significant-1) and
// 10^significant, and the rounding only where it is certain. Nothing otherwise.
struct RoundedSignificand {
  std::uint64_t digits;  // `significant` digits, the first not zero
  int exponent;          // value = 0.d1d2d3... x 10^exponent
};
std::optional<RoundedSignificand> roundSignificandInDoubles(double magnitude, int significant) {
  if (!(magnitude >= 0x1p-1022) || significant < 1 || significant > 15) return std::nullopt;
  const double lower = kExactPowersOfTen[significant - 1];
  const double upper = kExactPowersOfTen[significant];
  int exponent = decimalExponentGuess(magnitude);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int power = significant - exponent;
    if (power < 0 || power > 15) return std::nullopt;
    const double scaled = magnitude * kExactPowersOfTen[power];
    const double bound = scaled * 0x1p-52;
    if (scaled >= upper + bound) {
      ++exponent;
    } else if (scaled < lower - bound) {
      --exponent;
    } else if (scaled < lower + bound || scaled >= upper - bound) {
      return std::nullopt;
    } else {
      std::uint64_t digits = 0;
      if (!roundScaledAwayFromTies(scaled, digits)) return std::nullopt;
      if (digits == powerOfTen64(significant)) {  // 9.99.. rounded up to 10.0..
        digits = powerOfTen64(significant - 1);
        ++exponent;
      }
      return RoundedSignificand{digits, exponent};
    }
  }
  return std::nullopt;
}

// The rounded digits as text, for the ways that take them one by one.
SignificantDigits significantDigitsOf(RoundedSignificand rounded, int significant) {
  SignificantDigits out;
  out.exponent = rounded.exponent;
  out.count = significant;
  putLowDigits(out.digits + significant, rounded.digits, significant);
  return out;
}

// The same in one 64 × 64-bit product, for up to 19 digits of a normal double below 2^52
// scaled up by at most 10^19 (the free-form real's 16 digits of most values): mantissa ×
// 10^power is exact in 128 bits, and shifting it down to one bit past the point, adding
// one and dropping that bit rounds half up.
std::optional<RoundedSignificand> roundSignificandInOneProduct(double magnitude,
                                                               int significant) {
  if (!(magnitude >= 0x1p-1022) || !(magnitude < 0x1p52) || significant > 19)
    return std::nullopt;
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int shift = 1075 - static_cast<int>(bits >> 52);  // magnitude = mantissa / 2^shift
  const std::uint64_t upper = powerOfTen64(significant);
  int exponent = decimalExponentGuess(magnitude);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int power = significant - exponent;
    if (power < 0 || power > 19 || shift - 1 >= 128) return std::nullopt;
    const Uint128 product = Uint128{mantissa} * powerOfTen64(power);
    const auto halves = product >> (shift - 1);
    const Uint128 rounded = (halves + 1) >> 1;
    // The exponent is right when the value truncated lies in [10^(s-1), 10^s).
    if ((halves >> 1) >= upper) {
      ++exponent;
    } else if ((halves >> 1) < powerOfTen64(significant - 1)) {
      --exponent;
    } else {
      std::uint64_t digits = static_cast<std::uint64_t>(rounded);
      if (digits == upper) {  // 9.99.. rounded up to 10.0..
        digits = powerOfTen64(significant - 1);
        ++exponent;
      }
      return RoundedSignificand{digits, exponent};
    }
  }
  return std::nullopt;
}

SignificantDigits roundToSignificant(double magnitude, int significant, DigitsWay way) {
  if (way == DigitsWay::kFastWhereExact) {
    if (const auto rounded = roundSignificandInDoubles(magnitude, significant))
      return significantDigitsOf(*rounded, significant);
    if (const auto rounded = roundSignificandInOneProduct(magnitude, significant))
      return significantDigitsOf(*rounded, significant);
    if (auto digits = roundToSignificantInIntegers(magnitude, significant)) return *digits;
  }
  const LongDigits long_way = roundToSignificantLongWay(magnitude, significant);
  SignificantDigits out;
  out.count = static_cast<int>(long_way.digits.size());
  out.exponent = long_way.exponent;
  std::copy(long_way.digits.begin(), long_way.digits.end(), out.digits);
  return out;
}

// --- Writing fields into a record -----------------------------------------------------
// Each writer puts its field at `out` and returns the end of what it wrote. The record is
// blanked once before its fields are written, so a field writes only what is not blank.

// The lowest `count` digits of n, zeros included, written before `position` and taken
// off n.
char* putLowDigits(char* position, std::uint64_t& n, int count) {
  // Eight digits per division of the 64-bit number; their two halves in 32 bits.
  for (; count >= 8; count -= 8) {
    const auto eight = static_cast<std::uint32_t>(n % 100000000);
    n /= 100000000;
    position -= 8;
    std::memcpy(position + 4, kFourDigits.text[eight % 10000], 4);
    std::memcpy(position, kFourDigits.text[eight / 10000], 4);
  }
  for (; count >= 4; count -= 4) {
    position = putDigitGroup(position, static_cast<std::uint32_t>(n % 10000), 4);
    n /= 10000;
  }
  switch (count) {
    case 3:
      position = putDigitGroup(position, static_cast<std::uint32_t>(n % 1000), 3);
      n /= 1000;
      break;
    case 2:
      position = putDigitGroup(position, static_cast<std::uint32_t>(n % 100), 2);
      n /= 100;
      break;
    case 1:
      position = putDigitGroup(position, static_cast<std::uint32_t>(n % 10), 1);
      n /= 10;
      break;
    default:
      break;
  }
  return position;
}

// All the digits of n, none for zero.
char* putAllDigits(char* position, std::uint64_t n) {
  for (; n >= 10000; n /= 10000)
    position = putDigitGroup(position, static_cast<std::uint32_t>(n % 10000), 4);
  if (n == 0) return position;
  const int count = n >= 1000 ? 4 : n >= 100 ? 3 : n >= 10 ? 2 : 1;
  return putDigitGroup(position, static_cast<std::uint32_t>(n), count);
}

char* putAsterisks(char* out, int width) {
  return std::fill_n(out, width, '*');
}

// A copy of the few characters of a field: overlapping moves of fixed size instead of a
// call.
void copyShortText(char* to, const char* from, std::size_t count) {
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

char* putRightJustified(char* out, const char* text, int length, int width) {
  if (length > width) return putAsterisks(out, width);
  copyShortText(out + (width - length), text, static_cast<std::size_t>(length));
  return out + width;
}

// "+05", "-123": the sign, then at least `minimum_digits` digits.
char* putSignedExponent(char* out, int exponent, int minimum_digits) {
  *out++ = exponent < 0 ? '-' : '+';
  // The decimal exponent of a double has at most three digits, and no field asks more.
  const auto magnitude = static_cast<std::uint32_t>(std::abs(exponent));
  if (minimum_digits == 3 && magnitude < 1000) {  // the free-form real's exponent
    std::memcpy(out, kFourDigits.text[magnitude] + 1, 3);
    return out + 3;
  }
  const int count = std::max(decimalDigitCount(magnitude), minimum_digits);
  return putDigitGroup(out + count, magnitude, count) + count;
}

// The text of a magnitude scaled by 10^decimals and rounded, as the F field shows it (no
// zero before the point, no minus on a zero); returns its length. For the roundings beyond
// 64 bits, which putFixedDigits does not take.
int fixedText(Uint128 rounded, bool negative, int decimals, char (&text)[96]) {
  char digits[40];
  const int count = writeDigits(rounded, digits);
  char* out = text;
  if (negative && rounded != 0) *out++ = '-';
  const int integer_digits = rounded == 0 ? 0 : std::max(count - decimals, 0);
  out = std::copy_n(digits, integer_digits, out);
  *out++ = '.';
  if (decimals > 0) {
    out = std::fill_n(out, std::max(decimals - count, 0), '0');
    out = std::copy(digits + std::max(count - decimals, 0), digits + count, out);
  }
  return static_cast<int>(out - text);
}

std::string fixedFieldLongWay(double value, int width, int decimals);

// The F field of a magnitude already scaled and rounded to `decimals` decimals, written
// from its right end: no zero before the point, no minus on a zero.
char* putFixedDigits(char* out, std::uint64_t rounded, bool negative, int width, int decimals) {
  const bool minus = negative && rounded != 0;
  const int integer_room = width - 1 - decimals - (minus ? 1 : 0);
  if (integer_room < 0 ||
      (integer_room + decimals < 20 && rounded >= powerOfTen64(integer_room + decimals)))
    return putAsterisks(out, width);
  char* const end = out + width;
  char* position = putLowDigits(end, rounded, decimals);
  *--position = '.';
  position = putAllDigits(position, rounded);
  if (minus) *--position = '-';
  return end;
}


// |value| × unit (10^decimals, at most 10^19) rounded half away from zero, exactly: the
// double is mantissa / 2^shift, so the product mantissa × unit (below 2^117) shifted down
// to one bit past the point, plus one, without that bit, is the rounded integer. Nothing
// for what is not a number, for magnitudes from 2^52 on, or when it exceeds 64 bits.
[[gnu::noinline]] std::optional<std::uint64_t> roundScaledExactly(double value,
                                                                std::uint64_t unit) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t mantissa = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
  const int shift = 1075 - (biased == 0 ? 1 : biased);
  if (shift < 1) return std::nullopt;
  if (shift > 118) return 0;  // below 2^117 / 2^118: less than one half
  const Uint128 halves = (Uint128{mantissa} * unit) >> (shift - 1);
  const Uint128 rounded = (halves + 1) >> 1;
  if ((rounded >> 64) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(rounded);
}

// What one 64 × 64-bit product does not round (magnitudes from 2^52, more than 19
// decimals, results past 64 bits) and what is not a number: the exact digits. Kept apart,
// so that the common way has no frame to set up for it.
[[gnu::noinline]] char* putFixedExactly(char* out, double value, int width, int decimals) {
  if (!std::isfinite(value) || std::fabs(value) >= 1e300) return putAsterisks(out, width);
  const std::optional<ScaledValue> scaled =
      decimals <= 38 ? scaleByPowerOfTen(std::fabs(value), decimals) : std::nullopt;
  if (!scaled) {  // beyond the 128-bit integers: the exact expansion
    const std::string shown = fixedFieldLongWay(value, width, decimals);
    return std::copy(shown.begin(), shown.end(), out);
  }
  const Uint128 rounded = scaled->rounded();
  if ((rounded >> 64) == 0)
    return putFixedDigits(out, static_cast<std::uint64_t>(rounded), std::signbit(value), width,
                          decimals);
  char text[96];
  return putRightJustified(out, text, fixedText(rounded, std::signbit(value), decimals, text),
                           width);
}

char* putFixed(char* out, double value, int width, int decimals) {
  if (decimals >= 0 && decimals <= 19)
    if (const std::optional<std::uint64_t> rounded =
            roundScaledExactly(value, powerOfTen64(decimals)))
      return putFixedDigits(out, *rounded, std::signbit(value), width, decimals);
  return putFixedExactly(out, value, width, decimals);
}

// The common way of the F fields of a record: at most kMostCommonDecimals decimals and
// kMostCommonWidth columns. The field is composed from its right end, four digits per
// copy: where it stands on the blanked record, or in a scratch line of blanks then copied
// whole.
constexpr int kMostCommonDecimals = 8;
constexpr int kMostCommonWidth = 20;
constexpr int kScratchWidth = 32;

// The four characters of every number below 10^4 with blanks for its leading zeros (four
// blanks for zero): the highest group of an F field's integer part, which shows no zero
// before the point.
struct BlankedFourDigitTexts {
  char text[10000][4];
  constexpr BlankedFourDigitTexts() : text{} {
    for (int n = 0; n < 10000; ++n) {
      for (int i = 0; i < 4; ++i) text[n][i] = kFourDigits.text[n][i];
      for (int i = 0; i < 4 && text[n][i] == '0'; ++i) text[n][i] = ' ';
    }
  }
};
constexpr BlankedFourDigitTexts kBlankedFourDigits;

// Where a minus goes, from the start of the highest group of the integer part (its value
// below 10^4 given): right before its first digit, or before the point for a zero.
struct MinusPlaces {
  std::int8_t offset[10000];
  constexpr MinusPlaces() : offset{} {
    for (int n = 0; n < 10000; ++n)
      offset[n] = static_cast<std::int8_t>(n == 0     ? 3
                                           : n < 10   ? 2
                                           : n < 100  ? 1
                                           : n < 1000 ? 0
                                                      : -1);
  }
};
constexpr MinusPlaces kMinusPlaces;

void planFixedField(RecordLayout::Step& step) {
  if (step.decimals > kMostCommonDecimals || step.width > kMostCommonWidth) return;
  step.unit = powerOfTen64(step.decimals);
  step.scale = static_cast<double>(step.unit);
  // Room for the integer digits: the columns left of the point, one fewer with a minus.
  const int room = step.width - 1 - step.decimals;
  step.too_large = room < 0 ? 0 : powerOfTen64(room + step.decimals);
  step.too_large_negative = room < 1 ? 0 : powerOfTen64(room - 1 + step.decimals);
  // The integer part is written in whole groups of four, its highest group blanked where
  // it has no digits: up to `spill` columns left of the field get a blank. Where the skip
  // before the field has those columns, the field is written where it stands.
  const int spill = 4 * ((std::max(room, 1) + 3) / 4) - room;
  step.way = spill <= step.blanks_before ? RecordLayout::Step::Way::kFixedInPlace
                                         : RecordLayout::Step::Way::kFixedThroughScratch;
}

// The F field, its rounding exact in integers; false, and nothing written, for what that
// does not take. It is written where it stands on the blanked record, or whole from a
// scratch line.
template <bool kInPlace>
[[gnu::always_inline]] inline bool putFixedCommonWay(char* out, double value,
                                                     const RecordLayout::Step& step) {
  // The product in doubles where it rounds as the exact one (all but ties and values
  // next to them), else the exact product.
  std::uint64_t rounded = 0;
  if (!roundScaledAwayFromTies(std::fabs(value) * step.scale, rounded)) {
    const std::optional<std::uint64_t> exact = roundScaledExactly(value, step.unit);
    if (!exact) return false;
    rounded = *exact;
  }
  const bool minus = std::signbit(value) && rounded != 0;
  if (rounded >= (minus ? step.too_large_negative : step.too_large)) {
    putAsterisks(out, step.width);
    return true;
  }
  std::uint64_t integer = rounded / step.unit;
  const std::uint64_t fraction = rounded % step.unit;
  char scratch[kScratchWidth];
  char* const end = kInPlace ? out + step.width : scratch + kScratchWidth;
  if (!kInPlace) std::memset(scratch, ' ', kScratchWidth);
  // The decimals as four-digit groups ending at the field's end; the zeros a group puts
  // left of them lie where the point and the integer part's lowest group go next.
  if (step.decimals > 4) {
    std::memcpy(end - 4, kFourDigits.text[fraction % 10000], 4);
    std::memcpy(end - 8, kFourDigits.text[fraction / 10000], 4);
  } else {
    std::memcpy(end - 4, kFourDigits.text[fraction], 4);
  }
  char* start = end - 1 - step.decimals;
  *start = '.';
  for (; integer >= 10000; integer /= 10000) {
    start -= 4;
    std::memcpy(start, kFourDigits.text[integer % 10000], 4);
  }
  start -= 4;
  std::memcpy(start, kBlankedFourDigits.text[integer], 4);
  if (minus) start[kMinusPlaces.offset[integer]] = '-';
  if (!kInPlace)
    copyShortText(out, scratch + kScratchWidth - step.width, static_cast<std::size_t>(step.width));
  return true;
}

template <bool kInPlace>
[[gnu::always_inline]] inline char* putFixedCommonWayOr(char* out, double value,
                                                        const RecordLayout::Step& step) {
  if (putFixedCommonWay<kInPlace>(out, value, step)) return out + step.width;
  return putFixed(out, value, step.width, step.decimals);
}

[[gnu::always_inline]] inline char* putFixedField(char* out, double value,
                                                  const RecordLayout::Step& step) {
  switch (step.way) {
    case RecordLayout::Step::Way::kFixedInPlace:
      return putFixedCommonWayOr<true>(out, value, step);
    case RecordLayout::Step::Way::kFixedThroughScratch:
      return putFixedCommonWayOr<false>(out, value, step);
    default:
      return putFixed(out, value, step.width, step.decimals);
  }
}

// An E field of more digits than are held in place: its text in memory of its own.
char* putExponentOfManyDigits(char* out, double value, int width, int decimals) {
  const LongDigits rounded = roundToSignificantLongWay(std::fabs(value), decimals);
  const int exponent = value == 0 ? 0 : rounded.exponent;
  if (exponent > 99 || exponent < -99) return putAsterisks(out, width);
  std::string text(value < 0 ? "-." : ".");
  text += rounded.digits;
  text += 'E';
  char exponent_text[8];
  text.append(exponent_text, putSignedExponent(exponent_text, exponent, 2));
  return putRightJustified(out, text.data(), static_cast<int>(text.size()), width);
}

// The E field, for at most kMostCommonDecimals digits in at most kMostCommonWidth
// columns, where the doubles tell its digits; false, and nothing written, otherwise. It
// is written from its right end onto the blanked record, each part at its exact length.
[[gnu::always_inline]] inline bool putExponentCommonWay(char* out, double value, int width,
                                                       int decimals) {
  RoundedSignificand rounded{0, 0};  // zero: all digits zeros, exponent +00
  if (value != 0) {
    const std::optional<RoundedSignificand> digits =
        roundSignificandInDoubles(std::fabs(value), decimals);
    if (!digits) return false;
    rounded = *digits;
  }
  const bool minus = value < 0;
  const int length = (minus ? 1 : 0) + 1 + decimals + 4;  // -.dddE+ee
  if (rounded.exponent > 99 || rounded.exponent < -99 || length > width) {
    putAsterisks(out, width);
    return true;
  }
  char* const end = out + width;
  std::memcpy(end - 2, kFourDigits.text[std::abs(rounded.exponent)] + 2, 2);
  end[-3] = rounded.exponent < 0 ? '-' : '+';
  end[-4] = 'E';
  char* start = end - 4;
  if (decimals == 4) {  // the E10.4 of the covariance records
    start -= 4;
    std::memcpy(start, kFourDigits.text[rounded.digits], 4);
  } else {
    start = putLowDigits(start, rounded.digits, decimals);
  }
  *--start = '.';
  if (minus) *--start = '-';
  return true;
}

// The E field beyond the common way: its digits in memory of their own, then copied.
[[gnu::noinline]] char* putExponentOtherWays(char* out, double value, int width, int decimals,
                                             DigitsWay way) {
  if (decimals > kMostDigitsInPlace) return putExponentOfManyDigits(out, value, width, decimals);
  const SignificantDigits rounded = roundToSignificant(std::fabs(value), decimals, way);
  const int exponent = value == 0 ? 0 : rounded.exponent;
  if (exponent > 99 || exponent < -99) return putAsterisks(out, width);
  char text[96];
  char* end = text;
  if (value < 0) *end++ = '-';
  *end++ = '.';
  end = std::copy_n(rounded.digits, rounded.count, end);
  *end++ = 'E';
  end = putSignedExponent(end, exponent, 2);
  return putRightJustified(out, text, static_cast<int>(end - text), width);
}

// Inline: the common way is taken within the record walk.
[[gnu::always_inline]] inline char* putExponent(char* out, double value, int width, int decimals,
                                                DigitsWay way) {
  if (!std::isfinite(value) || decimals < 1) return putAsterisks(out, width);
  if (way == DigitsWay::kFastWhereExact && decimals <= kMostCommonDecimals &&
      width <= kMostCommonWidth && putExponentCommonWay(out, value, width, decimals))
    return out + width;
  return putExponentOtherWays(out, value, width, decimals, way);
}

[[gnu::always_inline]] inline char* putInteger(char* out, std::int32_t value, int width) {
  const bool minus = value < 0;
  const auto magnitude = static_cast<std::uint32_t>(
      minus ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value));
  const int digits = decimalDigitCount(magnitude);
  if (digits + (minus ? 1 : 0) > width) return putAsterisks(out, width);
  char* const end = out + width;
  char* position = end;
  if (magnitude < 10000) {  // the common way: one group
    position = putDigitGroup(position, magnitude, digits);
  } else {
    std::uint64_t rest = magnitude;
    position = putLowDigits(position, rest, digits);
  }
  if (minus) position[-1] = '-';
  return end;
}

// Aw: the first w characters, or the text right-justified; A: the text as it stands.
char* putText(char* out, std::string_view text, int width) {
  const std::size_t shown =
      width < 0 ? text.size() : std::min(text.size(), static_cast<std::size_t>(width));
  const std::size_t blanks = width < 0 ? 0 : static_cast<std::size_t>(width) - shown;
  copyShortText(out + blanks, text.data(), shown);
  return out + blanks + shown;
}

constexpr int kFreeFormWidth = 24;
constexpr int kFreeFormSignificant = 16;

// The free-form real of 16 rounded digits, written from the right end of its 24 blanked
// columns.
char* putFreeFormDigits(char* out, bool negative, RoundedSignificand rounded) {
  char* const end = out + kFreeFormWidth;
  std::uint64_t digits = rounded.digits;
  char* start = nullptr;
  if (rounded.exponent >= 1 && rounded.exponent <= 7) {
    // The integer digits, the point, the other digits, then one zero fewer than the
    // integer digits (the zeros first: the digits cover the ones they do not need).
    std::memcpy(end - 8, "00000000", 8);
    start = putLowDigits(end - (rounded.exponent - 1), digits,
                         kFreeFormSignificant - rounded.exponent);
    *--start = '.';
    start = putLowDigits(start, digits, rounded.exponent);
  } else {
    const int exponent = rounded.exponent - 1;
    std::memcpy(end - 3, kFourDigits.text[std::abs(exponent)] + 1, 3);
    end[-4] = exponent < 0 ? '-' : '+';
    end[-5] = 'E';
    // 16 digits: the last eight in two groups, then four, then the first with the point
    // after it and three more.
    const std::uint64_t high = digits / 100000000;
    const std::uint64_t low = digits % 100000000;
    std::memcpy(end - 9, kFourDigits.text[low % 10000], 4);
    std::memcpy(end - 13, kFourDigits.text[low / 10000], 4);
    std::memcpy(end - 17, kFourDigits.text[high % 10000], 4);
    const char* first = kFourDigits.text[high / 10000];
    std::memcpy(end - 20, first + 1, 3);
    end[-21] = '.';
    end[-22] = first[0];
    start = end - 22;
  }
  if (negative) *--start = '-';
  return end;
}

// The free-form real: 24 columns after the record's blank; 16 significant digits, the
// rest written as 0; fixed-point form for magnitudes in [1, 1e7), exponent form otherwise.
char* putFreeFormReal(char* out, double value, DigitsWay way) {
  constexpr int kWidth = kFreeFormWidth;
  constexpr int kSignificant = kFreeFormSignificant;
  *out++ = ' ';
  if (!std::isfinite(value)) return putAsterisks(out, kWidth);
  if (way == DigitsWay::kFastWhereExact)
    if (const std::optional<RoundedSignificand> rounded =
            roundSignificandInOneProduct(std::fabs(value), kSignificant))
      return putFreeFormDigits(out, value < 0, *rounded);
  const SignificantDigits rounded = roundToSignificant(std::fabs(value), kSignificant, way);
  const bool fixed_form = value != 0 && rounded.exponent >= 1 && rounded.exponent <= 7;
  char text[64];
  char* end = text;
  if (value < 0) *end++ = '-';
  if (fixed_form) {
    const auto integer_digits = static_cast<std::size_t>(rounded.exponent);
    copyShortText(end, rounded.digits, integer_digits);
    end += integer_digits;
    *end++ = '.';
    copyShortText(end, rounded.digits + integer_digits, kSignificant - integer_digits);
    end += kSignificant - integer_digits;
    copyShortText(end, "0000000000000000", integer_digits - 1);
    end += integer_digits - 1;
  } else {
    *end++ = rounded.digits[0];
    *end++ = '.';
    copyShortText(end, rounded.digits + 1, kSignificant - 1);
    end += kSignificant - 1;
    *end++ = 'E';
    end = putSignedExponent(end, value == 0 ? 0 : rounded.exponent - 1, 3);
  }
  return putRightJustified(out, text, static_cast<int>(end - text), kWidth);
}

// --- Walking a layout -----------------------------------------------------------------

[[noreturn, gnu::noinline]] void failWrongValueType(FieldDescriptor::Kind kind,
                                                   const RecordLayout& layout) {
  static const char* const kKinds[] = {"I", "F", "E", "A", "X", "literal"};
  throw LayoutMismatch("record layout \"" + std::string(layout.notation()) +
                       "\": a value of the wrong type for an " + kKinds[static_cast<int>(kind)] +
                       " field");
}

template <class T>
const T& valueAs(const FieldValue& value, FieldDescriptor::Kind kind, const RecordLayout& layout) {
  if (const T* held = std::get_if<T>(&value)) return *held;
  failWrongValueType(kind, layout);
}

// The most characters a field can take: its width, or more for a number the long way
// writes without a width limit (never more than its 96-character text).
std::size_t widestField(const FieldDescriptor& field) {
  switch (field.kind) {
    case FieldDescriptor::Kind::Skip:
      return static_cast<std::size_t>(field.width);
    case FieldDescriptor::Kind::Literal:
      return field.literal.size();
    case FieldDescriptor::Kind::Text:
      return field.width < 0 ? 0 : static_cast<std::size_t>(field.width);
    default:
      return static_cast<std::size_t>(field.width);
  }
}

// `count` blanks at `out`, sixteen at a time, the last sixteen overlapping the ones before
// (a record is a few dozen columns: no call for them).
void putBlanks(char* out, std::size_t count) {
  static constexpr char kBlanks[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  if (count < 16) {
    std::fill_n(out, count, ' ');
    return;
  }
  for (std::size_t at = 0; at + 16 < count; at += 16) std::memcpy(out + at, kBlanks, 16);
  std::memcpy(out + count - 16, kBlanks, 16);
}

// A literal of a few dozen characters: two overlapping moves of sixteen up to 32.
void copyLiteral(char* to, const std::string& literal) {
  const std::size_t count = literal.size();
  if (count >= 16 && count <= 32) {
    std::memcpy(to, literal.data(), 16);
    std::memcpy(to + count - 16, literal.data() + count - 16, 16);
  } else {
    copyShortText(to, literal.data(), count);
  }
}

// One data field at `field` (the record blanked, the skip before it too); returns its end.
[[gnu::always_inline]] inline char* putField(char* field, const RecordLayout::Step& step,
                                             const FieldValue& value, const RecordLayout& layout) {
  using Way = RecordLayout::Step::Way;
  // Tested from the most frequent way on (a jump table costs more than a few tests).
  if (step.way == Way::kFixedInPlace)
    return putFixedCommonWayOr<true>(field, valueAs<double>(value, step.kind, layout), step);
  if (step.way == Way::kText)
    return putText(field, valueAs<std::string_view>(value, step.kind, layout), step.width);
  if (step.way == Way::kInteger)
    return putInteger(field, valueAs<std::int32_t>(value, step.kind, layout), step.width);
  if (step.way == Way::kFixedThroughScratch)
    return putFixedCommonWayOr<false>(field, valueAs<double>(value, step.kind, layout), step);
  if (step.way == Way::kExponent)
    return putExponent(field, valueAs<double>(value, step.kind, layout), step.width,
                       step.decimals, DigitsWay::kFastWhereExact);
  return putFixed(field, valueAs<double>(value, step.kind, layout), step.width, step.decimals);
}

RecordLayout::Step::Way wayOf(FieldDescriptor::Kind kind) {
  using Way = RecordLayout::Step::Way;
  switch (kind) {
    case FieldDescriptor::Kind::Integer:
      return Way::kInteger;
    case FieldDescriptor::Kind::Fixed:
      return Way::kFixed;
    case FieldDescriptor::Kind::Exponent:
      return Way::kExponent;
    case FieldDescriptor::Kind::Text:
      return Way::kText;
    default:
      return Way::kLiteral;
  }
}

}  // namespace

RecordLayout::RecordLayout(std::string_view notation, std::span<const ConstantField> constants)
    : notation_(notation), descriptors_(LayoutParser(notation).parse()) {
  int blanks = 0;
  for (const FieldDescriptor& field : descriptors_) {
    widest_record_ += widestField(field);
    if (field.kind == FieldDescriptor::Kind::Text && field.width < 0) text_without_width_ = true;
    if (field.kind == FieldDescriptor::Kind::Skip) {
      blanks += field.width;
      continue;
    }
    steps_.push_back({field.kind, wayOf(field.kind), blanks, field.width, field.decimals});
    if (field.kind == FieldDescriptor::Kind::Literal) {
      steps_.back().literal = literals_.size();
      literals_.push_back(field.literal);
    }
    if (field.kind == FieldDescriptor::Kind::Fixed) planFixedField(steps_.back());
    blanks = 0;
  }
  // From the last to the first, so that each place still counts the data fields before it.
  std::vector<ConstantField> ordered(constants.begin(), constants.end());
  std::sort(ordered.begin(), ordered.end(),
            [](const ConstantField& a, const ConstantField& b) { return a.field > b.field; });
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    if (i > 0 && ordered[i].field == ordered[i - 1].field)
      throw std::invalid_argument("record layout \"" + notation_ +
                                  "\": a data field given two constants");
    makeConstant(ordered[i].field, ordered[i].value);
  }
  joinLiterals();
  data_fields_ = static_cast<std::size_t>(
      std::count_if(steps_.begin(), steps_.end(),
                    [](const Step& step) { return step.way != Step::Way::kLiteral; }));
}

// The data field becomes a literal of its text, written as any record would show it.
void RecordLayout::makeConstant(std::size_t field, const FieldValue& value) {
  std::size_t data_fields = 0;
  for (Step& step : steps_) {
    if (step.kind == FieldDescriptor::Kind::Literal) continue;
    if (data_fields++ != field) continue;
    // An F field may blank a few columns before it: room for them.
    constexpr std::size_t kRoomBefore = 8;
    const auto* text = std::get_if<std::string_view>(&value);
    std::string shown(kRoomBefore + (step.width < 0 && text ? text->size() : 0) +
                          static_cast<std::size_t>(std::max(step.width, 0)),
                      ' ');
    const char* end = putField(shown.data() + kRoomBefore, step, value, *this);
    shown.resize(static_cast<std::size_t>(end - shown.data()));
    if (step.width < 0) widest_record_ += shown.size() - kRoomBefore;
    step.kind = FieldDescriptor::Kind::Literal;
    step.way = Step::Way::kLiteral;
    step.literal = literals_.size();
    literals_.push_back(shown.substr(kRoomBefore));
    return;
  }
  throw std::invalid_argument("record layout \"" + notation_ + "\": no data field " +
                              std::to_string(field + 1) + " to make constant");
}

// A literal right after another becomes part of it, with the blanks between them.
void RecordLayout::joinLiterals() {
  std::vector<Step> joined;
  for (const Step& step : steps_) {
    if (step.kind == FieldDescriptor::Kind::Literal && !joined.empty() &&
        joined.back().kind == FieldDescriptor::Kind::Literal) {
      std::string& text = literals_[joined.back().literal];
      text.append(static_cast<std::size_t>(step.blanks_before), ' ');
      text += literals_[step.literal];
      continue;
    }
    joined.push_back(step);
  }
  steps_ = std::move(joined);
}

std::string formatRecord(const RecordLayout& layout, std::span<const FieldValue> values) {
  std::string line;
  appendRecord(line, layout, values);
  return line;
}

std::size_t widestRecordWithTexts(const RecordLayout& layout,
                                  std::span<const FieldValue> values) {
  std::size_t widest = layout.widestRecord();
  for (const FieldValue& value : values)
    if (const auto* text = std::get_if<std::string_view>(&value)) widest += text->size();
  return widest;
}

namespace {

// The steps of the layout with their values; with kEveryValue (a value for every data
// field, as most records have) no step looks for the end of the values.
template <bool kEveryValue>
char* putSteps(char* out, const RecordLayout& layout, std::span<const FieldValue> values) {
  const FieldValue* value = values.data();
  const FieldValue* const values_end = value + values.size();
  for (const RecordLayout::Step& step : layout.steps()) {
    if (step.way == RecordLayout::Step::Way::kLiteral) {
      const std::string& literal = layout.literal(step);
      copyLiteral(out + step.blanks_before, literal);
      out += step.blanks_before + static_cast<std::ptrdiff_t>(literal.size());
      continue;
    }
    if (!kEveryValue && value == values_end) return out;
    out = putField(out + step.blanks_before, step, *value, layout);
    ++value;
  }
  return out;
}

}  // namespace

char* putRecord(char* out, const RecordLayout& layout, std::span<const FieldValue> values) {
  putBlanks(out, widestRecord(layout, values));
  if (values.size() == layout.dataFields()) return putSteps<true>(out, layout, values);
  if (values.size() > layout.dataFields())
    throw LayoutMismatch("record layout \"" + std::string(layout.notation()) +
                         "\": more values than data fields");
  return putSteps<false>(out, layout, values);
}

void appendRecord(std::string& line, const RecordLayout& layout,
                  std::span<const FieldValue> values) {
  const std::size_t start = line.size();
  line.resize(start + widestRecord(layout, values));
  char* end = putRecord(line.data() + start, layout, values);
  line.resize(static_cast<std::size_t>(end - line.data()));
}

std::string formatFreeForm(std::string_view text) {
  std::string line(" ");
  line += text;
  return line;
}

std::string_view formatFreeFormReal(double value, char (&text)[kFreeFormRealLength]) {
  std::fill_n(text, kFreeFormRealLength, ' ');
  const char* end = putFreeFormReal(text, value, DigitsWay::kFastWhereExact);
  return {text, static_cast<std::size_t>(end - text)};
}

std::string formatFreeFormReal(double value) {
  char text[kFreeFormRealLength];
  return std::string(formatFreeFormReal(value, text));
}

std::string renderInteger(std::int32_t value, int width) {
  std::string text(static_cast<std::size_t>(width), ' ');
  putInteger(text.data(), value, width);
  return text;
}

namespace {

std::string fixedFieldLongWay(double value, int width, int decimals) {
  if (!std::isfinite(value) || std::fabs(value) >= 1e300)
    return std::string(static_cast<std::size_t>(width), '*');
  const FixedDigits digits = roundToDecimals(std::fabs(value), decimals);
  std::string text;
  if (std::signbit(value) && !digits.isZero()) text += '-';
  text += digits.integer;
  text += '.';
  text += digits.fraction;
  std::string field(static_cast<std::size_t>(width), ' ');
  putRightJustified(field.data(), text.data(), static_cast<int>(text.size()), width);
  return field;
}

std::string exponentField(double value, int width, int decimals, DigitsWay way) {
  std::string field(static_cast<std::size_t>(width), ' ');
  putExponent(field.data(), value, width, decimals, way);
  return field;
}

}  // namespace

std::string renderText(std::string_view text, int width) {
  std::string line(std::max(text.size(), static_cast<std::size_t>(std::max(width, 0))), ' ');
  const char* end = putText(line.data(), text, width);
  line.resize(static_cast<std::size_t>(end - line.data()));
  return line;
}

std::string renderFixed(double value, int width, int decimals) {
  std::string text(static_cast<std::size_t>(width) + 96, ' ');
  RecordLayout::Step step{FieldDescriptor::Kind::Fixed, RecordLayout::Step::Way::kFixed, 0, width,
                          decimals};
  planFixedField(step);
  const char* end = putFixedField(text.data(), value, step);
  text.resize(static_cast<std::size_t>(end - text.data()));
  return text;
}
std::string renderExponent(double value, int width, int decimals) {
  return exponentField(value, width, decimals, DigitsWay::kFastWhereExact);
}

namespace long_way {
std::string formatFreeFormReal(double value) {
  char text[kFreeFormRealLength];
  std::fill_n(text, kFreeFormRealLength, ' ');
  const char* end = putFreeFormReal(text, value, DigitsWay::kLongWayOnly);
  return std::string(text, static_cast<std::size_t>(end - text));
}
std::string renderFixed(double value, int width, int decimals) {
  return fixedFieldLongWay(value, width, decimals);
}
std::string renderExponent(double value, int width, int decimals) {
  return exponentField(value, width, decimals, DigitsWay::kLongWayOnly);
}
}  // namespace long_way

}  // namespace velk

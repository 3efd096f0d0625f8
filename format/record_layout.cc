#include "format/record_layout.h"

#include <charconv>
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
// rounded to `significant` digits with halves away from zero. For value 0, all zeros.
struct RoundedDigits {
  std::string digits;
  int exponent = 0;  // value = 0.d1d2d3... x 10^exponent
};

RoundedDigits roundToSignificantLongWay(double magnitude, int significant) {
  RoundedDigits out;
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
    } else {
      out.digits.insert(out.digits.begin(), '1');
      out.digits.pop_back();
      ++out.exponent;
    }
  }
  return out;
}

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

// The first decimal exponent e with magnitude < 10^e, for magnitude > 0, from an estimate
// checked exactly; nothing when the check cannot be made in integers.
std::optional<int> decimalExponent(double magnitude) {
  int exponent = static_cast<int>(std::floor(std::log10(magnitude))) + 1;
  for (int attempt = 0; attempt < 3; ++attempt) {
    // magnitude × 10^(1-e) lies in [1, 10) exactly when the exponent is right.
    const std::optional<ScaledValue> leading = scaleByPowerOfTen(magnitude, 1 - exponent);
    if (!leading) return std::nullopt;
    if (leading->integer >= 10) {
      ++exponent;
    } else if (leading->integer == 0) {
      --exponent;
    } else {
      return exponent;
    }
  }
  return std::nullopt;
}

RoundedDigits roundToSignificant(double magnitude, int significant, DigitsWay way) {
  if (way == DigitsWay::kFastWhereExact && magnitude != 0 && significant <= 38) {
    if (const std::optional<int> exponent = decimalExponent(magnitude)) {
      if (const auto scaled = scaleByPowerOfTen(magnitude, significant - *exponent)) {
        RoundedDigits out;
        out.exponent = *exponent;
        Uint128 digits = scaled->rounded();
        if (digits == powerOfTen(significant)) {  // 9.99.. rounded up to 10.0..
          digits = powerOfTen(significant - 1);
          ++out.exponent;
        }
        char text[40];
        out.digits.assign(text, static_cast<std::size_t>(writeDigits(digits, text)));
        return out;
      }
    }
  }
  return roundToSignificantLongWay(magnitude, significant);
}

std::string asterisks(int width) {
  return std::string(static_cast<std::size_t>(width), '*');
}

std::string rightJustified(const std::string& text, int width) {
  if (static_cast<int>(text.size()) > width) return asterisks(width);
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

std::string twoOrMoreDigitExponent(int exponent, int minimumDigits) {
  std::string digits = std::to_string(std::abs(exponent));
  if (static_cast<int>(digits.size()) < minimumDigits)
    digits.insert(0, static_cast<std::size_t>(minimumDigits) - digits.size(), '0');
  return (exponent < 0 ? "-" : "+") + digits;
}

// --- Walking a layout -----------------------------------------------------------------

template <class T>
const T& valueAs(const FieldValue& value, const FieldDescriptor& field, std::string_view notation) {
  if (const T* held = std::get_if<T>(&value)) return *held;
  static const char* const kKinds[] = {"I", "F", "E", "A", "X", "literal"};
  throw LayoutMismatch("record layout \"" + std::string(notation) +
                       "\": a value of the wrong type for an " +
                       kKinds[static_cast<int>(field.kind)] + " field");
}

// The text of |value| rounded to `decimals` decimals, halves away from zero, as the F
// field shows it (no zero before the point, no minus on a zero); nothing when the
// integers cannot hold the scaled value.
std::optional<std::string_view> fixedText(double value, int decimals, char (&text)[96]) {
  if (decimals > 38) return std::nullopt;
  const std::optional<ScaledValue> scaled = scaleByPowerOfTen(std::fabs(value), decimals);
  if (!scaled) return std::nullopt;
  const Uint128 rounded = scaled->rounded();
  char digits[40];
  const int count = writeDigits(rounded, digits);
  int length = 0;
  if (std::signbit(value) && rounded != 0) text[length++] = '-';
  const int integer_digits = rounded == 0 ? 0 : count - decimals;
  for (int i = 0; i < integer_digits; ++i) text[length++] = digits[i];
  text[length++] = '.';
  if (decimals > 0) {
    for (int i = count; i < decimals; ++i) text[length++] = '0';
    for (int i = std::max(count - decimals, 0); i < count; ++i) text[length++] = digits[i];
  }
  return std::string_view(text, static_cast<std::size_t>(length));
}

std::string fixedFieldLongWay(double value, int width, int decimals);

void appendRightJustified(std::string& line, std::string_view text, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) {
    line.append(w, '*');
  } else {
    line.append(w - text.size(), ' ');
    line += text;
  }
}

void appendFixed(std::string& line, double value, int width, int decimals) {
  if (!std::isfinite(value) || std::fabs(value) >= 1e300) {
    line.append(static_cast<std::size_t>(width), '*');
    return;
  }
  char text[96];
  if (const std::optional<std::string_view> shown = fixedText(value, decimals, text))
    appendRightJustified(line, *shown, width);
  else
    line += fixedFieldLongWay(value, width, decimals);
}

void appendInteger(std::string& line, std::int32_t value, int width) {
  char text[16];
  const auto result = std::to_chars(text, text + sizeof text, value);
  appendRightJustified(line, std::string_view(text, static_cast<std::size_t>(result.ptr - text)),
                       width);
}

void appendText(std::string& line, std::string_view text, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() >= w) {
    line += text.substr(0, w);
  } else {
    line.append(w - text.size(), ' ');
    line += text;
  }
}

void appendField(std::string& line, const FieldDescriptor& field, const FieldValue& value,
                 std::string_view notation) {
  switch (field.kind) {
    case FieldDescriptor::Kind::Integer:
      appendInteger(line, valueAs<std::int32_t>(value, field, notation), field.width);
      return;
    case FieldDescriptor::Kind::Fixed:
      appendFixed(line, valueAs<double>(value, field, notation), field.width, field.decimals);
      return;
    case FieldDescriptor::Kind::Exponent:
      line += renderExponent(valueAs<double>(value, field, notation), field.width, field.decimals);
      return;
    case FieldDescriptor::Kind::Text: {
      const std::string_view text = valueAs<std::string_view>(value, field, notation);
      if (field.width < 0)
        line += text;
      else
        appendText(line, text, field.width);
      return;
    }
    default:
      return;
  }
}

}  // namespace

RecordLayout::RecordLayout(std::string_view notation)
    : notation_(notation), descriptors_(LayoutParser(notation).parse()) {}

std::string formatRecord(const RecordLayout& layout, std::span<const FieldValue> values) {
  std::string line;
  appendRecord(line, layout, values);
  return line;
}

void appendRecord(std::string& line, const RecordLayout& layout,
                  std::span<const FieldValue> values) {
  std::size_t pendingBlanks = 0;  // a skip leaves no blanks unless something follows it
  std::size_t next = 0;
  for (const FieldDescriptor& field : layout.descriptors()) {
    if (field.kind == FieldDescriptor::Kind::Skip) {
      pendingBlanks += static_cast<std::size_t>(field.width);
      continue;
    }
    if (field.consumesValue() && next == values.size()) return;
    line.append(pendingBlanks, ' ');
    pendingBlanks = 0;
    if (field.kind == FieldDescriptor::Kind::Literal)
      line += field.literal;
    else
      appendField(line, field, values[next++], layout.notation());
  }
  if (next != values.size())
    throw LayoutMismatch("record layout \"" + std::string(layout.notation()) +
                         "\": more values than data fields");
}

std::string formatFreeForm(std::string_view text) {
  std::string line(" ");
  line += text;
  return line;
}

namespace {

// 24 columns after the record's blank; 16 significant digits, the rest written as 0.
std::string freeFormReal(double value, DigitsWay way) {
  constexpr int kWidth = 24;
  constexpr int kSignificant = 16;
  std::string text;
  if (!std::isfinite(value)) {
    text = asterisks(kWidth);
  } else {
    const RoundedDigits rounded = roundToSignificant(std::fabs(value), kSignificant, way);
    const bool fixedForm = value != 0 && rounded.exponent >= 1 && rounded.exponent <= 7;
    if (value < 0 && value != 0) text += '-';
    if (fixedForm) {
      const auto integerLength = static_cast<std::size_t>(rounded.exponent);
      text += rounded.digits.substr(0, integerLength);
      text += '.';
      text += rounded.digits.substr(integerLength);
      text.append(15 - (kSignificant - integerLength), '0');
    } else {
      text += rounded.digits[0];
      text += '.';
      text += rounded.digits.substr(1);
      text += 'E';
      text += twoOrMoreDigitExponent(value == 0 ? 0 : rounded.exponent - 1, 3);
    }
  }
  return formatFreeForm(rightJustified(text, kWidth));
}

}  // namespace

std::string renderInteger(std::int32_t value, int width) {
  std::string text;
  appendInteger(text, value, width);
  return text;
}

namespace {

std::string fixedFieldLongWay(double value, int width, int decimals) {
  if (!std::isfinite(value) || std::fabs(value) >= 1e300) return asterisks(width);
  const FixedDigits digits = roundToDecimals(std::fabs(value), decimals);
  std::string text;
  if (std::signbit(value) && !digits.isZero()) text += '-';
  text += digits.integer;
  text += '.';
  text += digits.fraction;
  return rightJustified(text, width);
}

std::string exponentField(double value, int width, int decimals, DigitsWay way) {
  if (!std::isfinite(value) || decimals < 1) return asterisks(width);
  const RoundedDigits rounded = roundToSignificant(std::fabs(value), decimals, way);
  const int exponent = value == 0 ? 0 : rounded.exponent;
  if (exponent > 99 || exponent < -99) return asterisks(width);
  std::string text;
  if (value < 0) text += '-';
  text += '.';
  text += rounded.digits;
  text += 'E';
  text += twoOrMoreDigitExponent(exponent, 2);
  return rightJustified(text, width);
}

}  // namespace

std::string renderText(std::string_view text, int width) {
  std::string line;
  appendText(line, text, width);
  return line;
}

}  // namespace velk

namespace velk {

std::string formatFreeFormReal(double value) {
  return freeFormReal(value, DigitsWay::kFastWhereExact);
}
std::string renderFixed(double value, int width, int decimals) {
  std::string text;
  appendFixed(text, value, width, decimals);
  return text;
}
std::string renderExponent(double value, int width, int decimals) {
  return exponentField(value, width, decimals, DigitsWay::kFastWhereExact);
}

namespace long_way {
std::string formatFreeFormReal(double value) {
  return freeFormReal(value, DigitsWay::kLongWayOnly);
}
std::string renderFixed(double value, int width, int decimals) {
  return fixedFieldLongWay(value, width, decimals);
}
std::string renderExponent(double value, int width, int decimals) {
  return exponentField(value, width, decimals, DigitsWay::kLongWayOnly);
}
}  // namespace long_way

}  // namespace velk

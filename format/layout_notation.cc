#include "format/layout_notation.h"

#include <cctype>
#include <stdexcept>

namespace velk {
namespace {

// A record has a few dozen fields and at most a group in a group. Layouts beyond these
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

}  // namespace

std::vector<FieldDescriptor> parseLayoutNotation(std::string_view notation) {
  return LayoutParser(notation).parse();
}

}  // namespace velk

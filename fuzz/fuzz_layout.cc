// libFuzzer target: the formatting engine's parser and formatter on arbitrary layouts and
// values. The input is text: the first line is a layout notation, every further line one
// value, told by its first character:
//   I<integer>          a 32-bit integer
//   F<decimal number>   a real as from_chars reads it ("inf" and "nan" included)
//   B<16 hex digits>    a real given by its bits (subnormals, NaN payloads, -0)
//   A<text>             a text, the rest of the line, any bytes but the line feed
// other lines are passed over. A malformed notation (std::invalid_argument) and values of
// the wrong type (velk::LayoutMismatch) are the engine's expected answers. Every field the
// record walks, and every real and text as a free-form record, is compared with the
// rendering worked out independently (rendering_oracle.h); a difference aborts.

#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fuzz/rendering_oracle.h"
#include "format/layout_notation.h"
#include "format/record_layout.h"
#include "format/record_layout_testing.h"

namespace {

using velk::FieldDescriptor;
using velk::FieldValue;

struct LayoutInput {
  std::string_view notation;
  std::vector<FieldValue> values;  // texts point into the fuzzer's input
};

template <typename Number>
std::optional<Number> parsed(std::string_view text, int base = 10) {
  Number value{};
  const char* end = text.data() + text.size();
  std::from_chars_result result;
  if constexpr (std::is_floating_point_v<Number>)
    result = std::from_chars(text.data(), end, value);
  else
    result = std::from_chars(text.data(), end, value, base);
  if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

std::optional<FieldValue> decodeValue(std::string_view line) {
  if (line.empty()) return std::nullopt;
  const std::string_view text = line.substr(1);
  switch (line.front()) {
    case 'I':
      if (const auto value = parsed<std::int32_t>(text)) return *value;
      return std::nullopt;
    case 'F':
      if (const auto value = parsed<double>(text)) return *value;
      return std::nullopt;
    case 'B':
      if (const auto bits = parsed<std::uint64_t>(text, 16)) return std::bit_cast<double>(*bits);
      return std::nullopt;
    case 'A':
      return text;
    default:
      return std::nullopt;
  }
}

LayoutInput decode(std::string_view input) {
  LayoutInput decoded;
  std::size_t end = input.find('\n');
  decoded.notation = input.substr(0, end);
  while (end != std::string_view::npos) {
    const std::size_t start = end + 1;
    end = input.find('\n', start);
    const std::string_view line =
        input.substr(start, end == std::string_view::npos ? end : end - start);
    if (const auto value = decodeValue(line)) decoded.values.push_back(*value);
  }
  return decoded;
}

[[noreturn]] void reportDifference(std::string_view what, std::string_view engine,
                                   std::string_view expected) {
  std::fprintf(stderr, "%.*s:\n  engine:   \"%.*s\"\n  expected: \"%.*s\"\n",
               static_cast<int>(what.size()), what.data(), static_cast<int>(engine.size()),
               engine.data(), static_cast<int>(expected.size()), expected.data());
  std::abort();
}

void compare(std::string_view what, const std::string& engine,
             const std::optional<std::string>& expected) {
  if (expected && engine != *expected) reportDifference(what, engine, *expected);
}

// The rendering of one data field, when the value has the field's type.
void checkField(const FieldDescriptor& field, const FieldValue& value) {
  const int w = field.width;
  const int d = field.decimals;
  if (const auto* integer = std::get_if<std::int32_t>(&value)) {
    if (field.kind == FieldDescriptor::Kind::Integer)
      compare("I field", velk::renderInteger(*integer, w),
              velk::fuzz::expectedInteger(*integer, w));
  } else if (const auto* real = std::get_if<double>(&value)) {
    if (field.kind == FieldDescriptor::Kind::Fixed)
      compare("F field", velk::renderFixed(*real, w, d), velk::fuzz::expectedFixed(*real, w, d));
    if (field.kind == FieldDescriptor::Kind::Exponent)
      compare("E field", velk::renderExponent(*real, w, d),
              velk::fuzz::expectedExponent(*real, w, d));
  } else if (field.kind == FieldDescriptor::Kind::Text && w >= 0) {
    const std::string_view text = std::get<std::string_view>(value);
    compare("A field", velk::renderText(text, w), velk::fuzz::expectedText(text, w));
  }
}

void checkFields(const velk::RecordLayout& layout, const std::vector<FieldValue>& values) {
  std::size_t next = 0;
  for (const FieldDescriptor& field : velk::parseLayoutNotation(layout.notation())) {
    if (field.kind == FieldDescriptor::Kind::Skip || field.kind == FieldDescriptor::Kind::Literal)
      continue;
    if (next == values.size()) return;
    checkField(field, values[next++]);
  }
}

void checkFreeForm(const FieldValue& value) {
  if (const auto* real = std::get_if<double>(&value))
    compare("free-form real", velk::formatFreeFormReal(*real),
            velk::fuzz::expectedFreeFormReal(*real));
  if (const auto* text = std::get_if<std::string_view>(&value))
    compare("free-form text", velk::formatFreeForm(*text), " " + std::string(*text));
}

void formatWholeRecord(const velk::RecordLayout& layout, const std::vector<FieldValue>& values) {
  try {
    (void)velk::formatRecord(layout, values);
  } catch (const velk::LayoutMismatch&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const LayoutInput input = decode(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const FieldValue& value : input.values) checkFreeForm(value);
  std::optional<velk::RecordLayout> layout;
  try {
    layout.emplace(input.notation);
  } catch (const std::invalid_argument&) {
    return 0;
  }
  formatWholeRecord(*layout, input.values);
  checkFields(*layout, input.values);
  return 0;
}

#include "format/record_layout_testing.h"

#include <algorithm>

#include "format/field_writers.h"

namespace velk {
namespace {

std::string fixedField(double value, int width, int decimals, DigitTiers tiers) {
  std::string field(static_cast<std::size_t>(width), ' ');
  putFixed(field.data(), value, width, decimals, tiers);
  return field;
}

std::string exponentField(double value, int width, int decimals, DigitTiers tiers) {
  std::string field(static_cast<std::size_t>(width), ' ');
  putExponent(field.data(), value, width, decimals, tiers);
  return field;
}

std::string freeFormReal(double value, DigitTiers tiers) {
  char text[kFreeFormRealColumns];
  std::fill_n(text, kFreeFormRealColumns, ' ');
  const char* end = putFreeFormReal(text, value, tiers);
  return std::string(text, static_cast<std::size_t>(end - text));
}

}  // namespace

std::string formatRecord(const RecordLayout& layout, std::span<const FieldValue> values) {
  std::string line;
  appendRecord(line, layout, values);
  return line;
}

std::string formatFreeFormReal(double value) {
  return freeFormReal(value, DigitTiers::kFastThenExact);
}

std::string renderInteger(std::int32_t value, int width) {
  std::string text(static_cast<std::size_t>(width), ' ');
  putInteger(text.data(), value, width);
  return text;
}

std::string renderFixed(double value, int width, int decimals) {
  return fixedField(value, width, decimals, DigitTiers::kFastThenExact);
}

std::string renderExponent(double value, int width, int decimals) {
  return exponentField(value, width, decimals, DigitTiers::kFastThenExact);
}

std::string renderText(std::string_view text, int width) {
  std::string line(std::max(text.size(), static_cast<std::size_t>(std::max(width, 0))), ' ');
  const char* end = putText(line.data(), text, width);
  line.resize(static_cast<std::size_t>(end - line.data()));
  return line;
}

namespace reference {
std::string formatFreeFormReal(double value) {
  return freeFormReal(value, DigitTiers::kExactOnly);
}
std::string renderFixed(double value, int width, int decimals) {
  return fixedField(value, width, decimals, DigitTiers::kExactOnly);
}
std::string renderExponent(double value, int width, int decimals) {
  return exponentField(value, width, decimals, DigitTiers::kExactOnly);
}
}  // namespace reference

}  // namespace velk

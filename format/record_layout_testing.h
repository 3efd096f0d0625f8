#pragma once

// For the tests and the fuzzer only: records and single fields as strings, and the
// reference renderings of the reals. The programs write records with putRecord and
// appendRecord (format/record_layout.h), which need no allocation.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "format/record_layout.h"

namespace velk {

// The text of one record (see putRecord).
std::string formatRecord(const RecordLayout& layout, std::span<const FieldValue> values);
inline std::string formatRecord(const RecordLayout& layout,
                                std::initializer_list<FieldValue> values) {
  return formatRecord(layout, std::span<const FieldValue>(values.begin(), values.size()));
}

// The free-form real record as a string.
std::string formatFreeFormReal(double value);

// One field alone, exactly `width` columns wide (asterisks when the value does not fit),
// as a record shows it.
std::string renderInteger(std::int32_t value, int width);
std::string renderFixed(double value, int width, int decimals);
std::string renderExponent(double value, int width, int decimals);
std::string renderText(std::string_view text, int width);

// The reference the tests hold the fast tier of the rounding to: the real fields with
// their digits always taken from the exact decimal expansion of the double (std::to_chars
// with guard digits).
namespace reference {
std::string formatFreeFormReal(double value);
std::string renderFixed(double value, int width, int decimals);
std::string renderExponent(double value, int width, int decimals);
}  // namespace reference

}  // namespace velk

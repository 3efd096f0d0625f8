#include "format/number_text.h"

#include <array>
#include <charconv>
#include <stdexcept>

namespace velk {
namespace {

// Large enough for any double with up to 40 decimals: the fixed text of 1e308 has 309
// digits before the point.
using NumberBuffer = std::array<char, 360>;

std::string checkedText(const NumberBuffer& buffer, std::to_chars_result result) {
  if (result.ec != std::errc{}) throw std::length_error("number text longer than its buffer");
  const char* end = result.ptr;
  return std::string(buffer.data(), end);
}

std::string toText(double value, std::chars_format format, int precision) {
  NumberBuffer buffer;
  return checkedText(buffer, std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                           value, format, precision));
}

}  // namespace

std::string fixedText(double value, int decimals) {
  std::string text = toText(value, std::chars_format::fixed, decimals);
  // "-0.000" is a zero like any other.
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::string exponentText(double value, int decimals) {
  return toText(value, std::chars_format::scientific, decimals);
}

std::string roundTripText(double value) {
  NumberBuffer buffer;
  return checkedText(buffer, std::to_chars(buffer.data(), buffer.data() + buffer.size(), value));
}

}  // namespace velk

#include "format/decimal_text.h"

#include <array>
#include <charconv>

namespace velk {

std::string decimalText(double value, int decimals) {
  std::array<char, 400> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                    std::chars_format::fixed, decimals);
  std::string text(buffer.data(), result.ptr);
  // "-0.000" is a zero like any other.
  if (!text.empty() && text.front() == '-' &&
      text.find_first_not_of("-0.") == std::string::npos)
    text.erase(0, 1);
  return text;
}

}  // namespace velk

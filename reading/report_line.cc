#include "reading/report_line.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "format/fixed_text.h"
#include "reading/number_field.h"

namespace velk {
namespace {

// A field's text for an error message: without its surrounding blanks, control bytes
// made visible.
std::string shownFieldText(std::string_view field) {
  const std::size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  field = field.substr(first, field.find_last_not_of(' ') - first + 1);
  std::string shown;
  for (const char c : field) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      shown += escaped;
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace

std::string_view ReportLine::paddedColumns(int first, int last) const {
  if (!padded_) {
    const std::size_t kept = std::min(text_.size(), kWidth);
    std::memcpy(padded_text_.data(), text_.data(), kept);
    std::memset(padded_text_.data() + kept, ' ', kWidth - kept);
    padded_ = true;
  }
  return {padded_text_.data() + (first - 1), static_cast<std::size_t>(last - first + 1)};
}

bool ReportLine::holdsPastTheEnd(int first, int last, std::string_view literal) const {
  for (std::size_t i = 0; i < literal.size(); ++i)
    if (at(first + static_cast<int>(i)) != literal[i]) return false;
  for (int column = first + static_cast<int>(literal.size()); column <= last; ++column)
    if (at(column) != ' ') return false;
  return true;
}

RunError ReportLine::unreadableField(int first, int last, std::string_view path) const {
  return RunError(std::string(path) + " line " + std::to_string(number()) + " columns " +
                  std::to_string(first) + "-" + std::to_string(last) + ": \"" +
                  shownFieldText(columns(first, last)) + "\" is not a number");
}

}  // namespace velk

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


// The characters that can open a keyword of the main scan in column 1 and in column 27:
// a line with neither is none of them, which most lines show at once.
struct KeywordStarts {
  std::array<bool, 256> in_column_1{};
  std::array<bool, 256> in_column_27{};
  constexpr KeywordStarts() {
    for (const char c : std::string_view("GFUTCE"))
      in_column_1[static_cast<unsigned char>(c)] = true;
    for (const char c : std::string_view("54F")) in_column_27[static_cast<unsigned char>(c)] = true;
  }
};
constexpr KeywordStarts kKeywordStarts;

// The tests are made in the reader's order: the name in columns 27-48 before the station
// kinds in column 1, those before the epochs in 27-48.
MainLine classifyMainLine(const ReportLine& line) {
  const char first = line.at(1);
  const char at27 = line.at(27);
  if (!kKeywordStarts.in_column_1[static_cast<unsigned char>(first)] &&
      !kKeywordStarts.in_column_27[static_cast<unsigned char>(at27)])
    return MainLine::kOther;
  if (first == 'G' && line.holds(1, 4, "GPS ")) return MainLine::kReportHeader;
  if (at27 == '5' && line.holds(27, 37, "5-character")) return MainLine::kDay;
  if (at27 == '4' && line.holds(27, 48, "4-character short name")) return MainLine::kShortName;
  switch (first) {
    case 'F':
      if (line.holds(1, 13, "FIXED STATION")) return MainLine::kFixedStation;
      break;
    case 'U':
      if (line.holds(1, 15, "UNKNOWN STATION")) return MainLine::kUnknownStation;
      break;
    default:
      break;
  }
  if (at27 == 'F' && (line.holds(27, 48, "First epoch to process") ||
                      line.holds(27, 48, "Final epoch to process")))
    return MainLine::kEpochToProcess;
  switch (first) {
    case 'T':
      if (line.holds(1, 9, "THE FLOAT")) return MainLine::kFloatSection;
      if (line.holds(1, 9, "THE FIXED")) return MainLine::kFixedSection;
      break;
    case 'C':
      if (line.holds(1, 13, "Common start")) return MainLine::kCommonStart;
      if (line.holds(1, 13, "Common end")) return MainLine::kCommonEnd;
      break;
    case 'E':
      if (line.holds(1, 15, "Epoch interval")) return MainLine::kEpochInterval;
      break;
    default:
      break;
  }
  return MainLine::kOther;
}

RunError ReportLine::unreadableField(int first, int last, std::string_view path) const {
  return RunError(std::string(path) + " line " + std::to_string(number()) + " columns " +
                  std::to_string(first) + "-" + std::to_string(last) + ": \"" +
                  shownFieldText(columns(first, last)) + "\" is not a number");
}

}  // namespace velk

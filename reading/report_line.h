#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "reading/line_reader.h"
#include "format/run_error.h"
#include "reading/number_field.h"
#include "reading/o_file_columns.h"

namespace velk {

// One O-file line seen through its 80 columns (longer lines cut, shorter ones read as
// blank-padded). Columns are numbered from 1. Both readers of the O-files recognise lines
// through it. The line is not copied: its text must stay in place while it is examined;
// only a field that runs past the end of a short line takes a padded copy.
class ReportLine {
 public:
  // The lines come from `reader`, which numbers them (for the messages).
  void numberedBy(const LineReader& reader) { reader_ = &reader; }

  void assign(std::string_view text) {
    text_ = text;  // columns past 80 are never asked for, so the line needs no cut
    padded_ = false;
  }

  std::string_view columns(int first, int last) const {
    if (static_cast<std::size_t>(last) <= text_.size())
      return {text_.data() + (first - 1), static_cast<std::size_t>(last - first + 1)};
    return paddedColumns(first, last);
  }

  std::string_view columns(o_file::Columns field) const { return columns(field.first, field.last); }

  // The character in one column (a blank past the end of the line).
  char at(int column) const {
    return static_cast<std::size_t>(column) <= text_.size() ? text_[column - 1] : ' ';
  }

  // The columns hold the literal followed by blanks up to their last column (the literal
  // no longer than the columns). Most tests fail at the first character.
  bool holds(int first, int last, std::string_view literal) const {
    if (static_cast<std::size_t>(last) > text_.size()) return holdsPastTheEnd(first, last, literal);
    const char* range = text_.data() + (first - 1);
    if (!sameText(range, literal)) return false;
    for (auto i = literal.size(); i < static_cast<std::size_t>(last - first + 1); ++i)
      if (range[i] != ' ') return false;
    return true;
  }

  // The keyword at its column. Most lines fail at its first character, tested first.
  bool holds(const o_file::Keyword& keyword) const {
    return at(keyword.column) == keyword.text.front() &&
           holds(keyword.column, keyword.lastColumn(), keyword.text);
  }

  long number() const { return reader_ != nullptr ? reader_->lineNumber() : 0; }

  // The number fields of the line; a field that does not read ends the run with
  // `path` line L columns a-b: "text" is not a number.
  std::int32_t integerField(int first, int last, std::string_view path) const {
    if (const auto value = readIntegerField(columns(first, last))) return *value;
    throw unreadableField(first, last, path);
  }
  std::int32_t integerField(o_file::Columns field, std::string_view path) const {
    return integerField(field.first, field.last, path);
  }
  double realField(o_file::RealColumns field, std::string_view path) const {
    return realField(field.first, field.last, field.decimals, path);
  }
  // The real field, or nothing where it does not read (a line that only looks like one).
  std::optional<double> realFieldIfReadable(o_file::RealColumns field) const {
    return readRealField(columns(field.first, field.last), field.decimals);
  }
  double realField(int first, int last, int decimals, std::string_view path) const {
    if (const auto value = readRealField(columns(first, last), decimals)) return *value;
    throw unreadableField(first, last, path);
  }

 private:
  // The characters at `text` are the literal's: compared eight at a time.
  static bool sameText(const char* text, std::string_view literal) {
    std::size_t i = 0;
    for (; i + 8 <= literal.size(); i += 8) {
      std::uint64_t ours = 0;
      std::uint64_t theirs = 0;
      std::memcpy(&ours, text + i, 8);
      std::memcpy(&theirs, literal.data() + i, 8);
      if (ours != theirs) return false;
    }
    for (; i < literal.size(); ++i)
      if (text[i] != literal[i]) return false;
    return true;
  }

  std::string_view paddedColumns(int first, int last) const;
  bool holdsPastTheEnd(int first, int last, std::string_view literal) const;
  RunError unreadableField(int first, int last, std::string_view path) const;

  static constexpr std::size_t kWidth = 80;
  std::string_view text_;
  const LineReader* reader_ = nullptr;
  mutable std::array<char, kWidth> padded_text_{};  // the line blank-padded, made on demand
  mutable bool padded_ = false;
};

// The lines of the main scan, in the order they are tested.
enum class MainLine {
  kReportHeader,     // 1-4 "GPS "
  kDay,              // 27-37 "5-character": day number in 1-3
  kShortName,        // 27-48 "4-character short name": the name in 1-4
  kFixedStation,     // 1-13 "FIXED STATION"
  kUnknownStation,   // 1-15 "UNKNOWN STATION"
  kEpochToProcess,   // 27-48 "First/Final epoch to process": a number in 1-8
  kFloatSection,     // 1-9 "THE FLOAT"
  kFixedSection,     // 1-9 "THE FIXED"
  kCommonStart,      // 1-13 "Common start"
  kCommonEnd,        // 1-13 "Common end"
  kEpochInterval,    // 1-15 "Epoch interval": a number in 26-30
  kOther,
};

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
inline constexpr KeywordStarts kKeywordStarts;

// The tests are made in the reader's order: the name in columns 27-48 before the station
// kinds in column 1, those before the epochs in 27-48. Inline: both readers classify every
// line of every O-file.
inline MainLine classifyMainLine(const ReportLine& line) {
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

// The lines of a solution section, in the order they are tested (after the ratio lines,
// which the editions read differently).
enum class SectionLine {
  kSigmaX, kSigmaY, kSigmaZ,  // "  Sigmax" ...: F10.6 in 18-27
  kOtherSigma,                // "  SigmaN" and any other "  Sigma" line
  kVector,                    // " Baseline vector:"
  kMark1,                     // " Mark1_xyz"
  kMark2,                     // " Mark2_xyz": ends the section
  kLocal,                     // " E1 N1 U1 "
  kCorrelationY,              // "y": r_xy in 2-6
  kCorrelationZ,              // "z": r_xz in 2-6, r_yz in 8-12
  kOther,
};

// The section's keywords differ in their first two columns, so those choose the one test.
inline SectionLine classifySectionLine(const ReportLine& line) {
  switch (line.at(1)) {
    case 'y':
      return SectionLine::kCorrelationY;
    case 'z':
      return SectionLine::kCorrelationZ;
    case ' ':
      break;
    default:
      return SectionLine::kOther;
  }
  switch (line.at(2)) {
    case ' ':
      // Blank lines come here too: the S tells them apart at once.
      if (line.at(3) != 'S' || !line.holds(1, 7, "  Sigma")) return SectionLine::kOther;
      if (line.holds(1, 8, "  Sigmax")) return SectionLine::kSigmaX;
      if (line.holds(1, 8, "  Sigmay")) return SectionLine::kSigmaY;
      if (line.holds(1, 8, "  Sigmaz")) return SectionLine::kSigmaZ;
      return SectionLine::kOtherSigma;
    case 'B':
      return line.holds(1, 17, " Baseline vector:") ? SectionLine::kVector : SectionLine::kOther;
    case 'M':
      if (line.holds(1, 10, " Mark1_xyz")) return SectionLine::kMark1;
      if (line.holds(1, 10, " Mark2_xyz")) return SectionLine::kMark2;
      return SectionLine::kOther;
    case 'E':
      return line.holds(1, 10, " E1 N1 U1 ") ? SectionLine::kLocal : SectionLine::kOther;
    default:
      return SectionLine::kOther;
  }
}


}  // namespace velk

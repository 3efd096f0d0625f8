#pragma once

#include <string_view>

namespace velk::o_file {

// The columns of the O-file lines that both readers take values from (the dialog's
// scan_report and the per-report read_reports), numbered from 1 as the report numbers them.
// The keywords that tell the lines apart are in classifyMainLine and classifySectionLine
// (reading/report_line.h).

struct Columns {
  int first, last;
};
// A real field: its columns and the decimals implied when it has no point.
struct RealColumns {
  int first, last, decimals;
};
// A keyword that starts at a column.
struct Keyword {
  int column;
  std::string_view text;
  int lastColumn() const { return column + static_cast<int>(text.size()) - 1; }
};
// The line of a fixed solution that gives the ratio of its integer search: its keyword and
// the ratio's field.
struct RatioLine {
  Keyword keyword;
  RealColumns ratio;
};

// The main part of a report.
inline constexpr Columns kDayNumber{1, 3};
inline constexpr Columns kShortName{1, 4};
inline constexpr Columns kStationDescription{1, 25};
inline constexpr Keyword kStationDescriptionKeyword{27, "Station description"};
inline constexpr RealColumns kEpochToProcess{1, 8, 0};
inline constexpr RealColumns kEpochInterval{26, 30, 1};

// "Common start   (GPS time) : 2017-03-23 07:09:00" and "Common end ...": the date and
// time in columns 29 to 47, the year, hour and minute the dialog reads, and the time text
// "07:09" the quelmar records keep.
inline constexpr Columns kPeriod{29, 47};
inline constexpr Columns kPeriodYear{29, 32};
inline constexpr Columns kPeriodMonth{34, 35};
inline constexpr Columns kPeriodDay{37, 38};
inline constexpr Columns kPeriodHour{40, 41};
inline constexpr Columns kPeriodMinute{43, 44};
inline constexpr Columns kPeriodSecond{46, 47};
inline constexpr Columns kPeriodTimeText{40, 44};

// The solution sections.
inline constexpr RealColumns kSigma{18, 27, 6};
inline constexpr RealColumns kVector[3]{{19, 32, 4}, {34, 47, 4}, {49, 62, 4}};
// The two marks and the local components.
inline constexpr RealColumns kCoordinates[3]{{14, 27, 4}, {29, 42, 4}, {44, 57, 4}};
// The correlation rows: the first coefficient of the "y" and "z" lines, the second of "z".
inline constexpr RealColumns kFirstCorrelation{2, 6, 2};
inline constexpr RealColumns kSecondCorrelation{8, 12, 2};
// The ratio line of each edition's reports: novrale's "Ratio =", quelmar's "Integer ...".
inline constexpr RatioLine kRatioEqualsLine{{51, "Ratio ="}, {60, 65, 2}};
inline constexpr RatioLine kIntegerRatioLine{{36, "Integer"}, {59, 66, 3}};

}  // namespace velk::o_file

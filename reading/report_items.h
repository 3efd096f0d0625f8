#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "reading/calendar_date.h"
#include "reading/report.h"
#include "reading/report_line.h"

namespace velk {

// The pieces of an O-file report that both readers judge alike, so that the dialog's
// reader and the per-report reader agree on what a report gave.

// A station's short name as a report may give it: non-empty once trailing blanks are
// removed, and without control or zero bytes.
bool isUsableStationName(std::string_view name);

// A "Common start" or "Common end" line read as a calendar date and a time of day:
// "Common start   (GPS time) : 2017-03-23 07:09:00", year in columns 29-32, month 34-35,
// day 37-38, hour 40-41, minute 43-44, second 46-47. Nothing when a field does not read or
// is out of its range (a leap second, 60, is allowed). Never throws. The text form takes
// columns 29 to 47 of the line.
struct PeriodBound {
  CalendarDate date;
  double seconds_of_day = 0;
};
std::optional<PeriodBound> readPeriodBound(std::string_view columns_29_to_47);
inline std::optional<PeriodBound> readPeriodBound(const ReportLine& line) {
  return readPeriodBound(line.columns(o_file::kPeriod));
}

// What the report behind one entry of the dialog's table gave, item by item. The dialog's
// reader keeps values from report to report and from the float section to the fixed one;
// this record lets the run name an entry whose record carries such values, in the terms of
// the per-report reading: the solution is the fixed section's when the report has one,
// else the float section's.
struct EntryItems {
  long header_line = 0;         // the report's "GPS " line
  long fixed_section_line = 0;  // its (last) fixed section's first line; 0: none
  // The first report header met inside one of its sections, where the dialog's reading
  // does not look for headers: the report it starts goes into this entry. 0: none.
  long hidden_header_line = 0;
  bool has_float = false, has_fixed = false;
  // The fixed and unknown station lines came after a short name line of this report (the
  // names themselves are judged from the record, which holds them as read).
  bool fixed_name_read = false, unknown_name_read = false;
  // Columns 29-47 of the report's last "Common start" and "Common end" lines, kept as they
  // stand (judged only when asked: the dialog's reading does not need them); empty: none.
  std::array<char, o_file::kPeriod.last - o_file::kPeriod.first + 1> start_text{}, end_text{};
  bool start_seen = false, end_seen = false;
  std::uint32_t float_given = 0;  // the solution items of the (last) float section
  std::uint32_t fixed_given = 0;  // those of the (last) fixed section

  // The items the per-report reading finds missing (reportItemBit), as Report::missing,
  // given the two station names of the entry's record.
  std::uint32_t missing(std::string_view fixed_name, std::string_view unknown_name) const;
};

// The bits of a solution section: its three sigmas count as one item only once all three
// are given, so they are gathered apart.
struct SectionItemsSeen {
  std::uint32_t items = 0;  // reportItemBit of vector, marks, local components, ratio
  std::uint8_t sigmas = 0;  // bit 0 x, bit 1 y, bit 2 z
  std::uint32_t given() const {
    return items | (sigmas == 7 ? reportItemBit(ReportItem::kSigmas) : 0);
  }
};

}  // namespace velk

#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/geodesy.h"

namespace velk {

// What a report can lack. A report that lacks an item that a subcommand needs is left out
// by name ("AB082101.017: no mark 1"), never completed from another report.
enum class ReportItem : std::uint8_t {
  kNames,   // both station names, non-empty and without control or zero bytes
  kVector,  // the " Baseline vector:" line of the solution's section
  kSigmas,  // the three "  Sigmax/y/z" lines of that section
  kMark1,
  kMark2,
  kLocal,   // the " E1 N1 U1 " line
  kRatio,   // the "Integer research ratio" or the "Ratio =" line
  kDate,    // a readable calendar date and time on both "Common start" and "Common end"
};
inline constexpr int kReportItemCount = 8;

// "names", "vector", "sigmas", "mark 1", "mark 2", "local components", "ratio", "date".
std::string_view reportItemName(ReportItem item);

// An item's bit in a set of items.
constexpr std::uint32_t reportItemBit(ReportItem item) {
  return std::uint32_t{1} << static_cast<unsigned>(item);
}

// The items that every analysis needs from a report: without one of them a report is
// incomplete.
inline constexpr std::uint32_t kNeededReportItems =
    reportItemBit(ReportItem::kNames) | reportItemBit(ReportItem::kVector) |
    reportItemBit(ReportItem::kSigmas) | reportItemBit(ReportItem::kMark1) |
    reportItemBit(ReportItem::kDate);

// A calendar date.
struct CalendarDate {
  std::int32_t year = 0, month = 0, day = 0;
};

// Days since 1858-11-17 (the modified Julian date) of a date and a time of day.
double modifiedJulianDate(const CalendarDate& date, double seconds_of_day);

// One report of an O-file, read on its own: a "GPS " header line up to the next header or
// the end of its file. Its solution is taken whole from one section, the fixed one if the
// report has it, else the float one; nothing comes from another section or report. A value
// that the report does not give is 0 and its item is recorded as missing.
struct Report {
  std::string file;       // the O-file's base name, as reports are shown
  std::string path;       // the name the O-file was opened under, for messages
  long header_line = 0;   // line number of the report's "GPS " header in its file
  // Short names without trailing blanks; bytes above 0x7F are code page 850.
  std::string fixed_station, unknown_station;
  // The "Station description" lines of the two station blocks (trailing blanks removed).
  std::string fixed_description, unknown_description;
  bool fixed = false;  // the solution is the fixed section's (else the float one's)
  Cartesian vector;    // dx, dy, dz, metres
  double sigma_x = 0, sigma_y = 0, sigma_z = 0;
  double r_xy = 0, r_xz = 0, r_yz = 0;  // correlation rows; 0 where the section has none
  Cartesian mark1, mark2;
  LocalENU local;  // E1 N1 U1 as the report gives them
  double ratio = 0;
  CalendarDate start_date;  // the date of "Common start"
  // Start and end of the common observation period, modified Julian dates; an end that
  // reads earlier than the start is on the next day.
  double start_mjd = 0, end_mjd = 0;

  std::uint32_t missing = 0;  // bit (1 << item) per missing item
  bool lacks(ReportItem item) const { return (missing & bit(item)) != 0; }
  void markMissing(ReportItem item) { missing |= bit(item); }
  // The missing items' names joined: "no mark 1, no ratio"; empty when nothing is missing.
  std::string missingText() const;

  // The variance-covariance matrix of the vector in m² (sigmas and correlation rows).
  Matrix3 covariance() const;

  // Whether the report gives what every analysis needs: its names, vector, sigmas, mark 1
  // and date. One that lacks any of them is incomplete: the subcommands name it and pass
  // it over, and the legacy files carry other values in its place.
  bool isComplete() const { return (missing & kNeeded) == 0; }
  // The needed items it lacks, joined as missingText joins them; empty when complete.
  std::string missingNeededText() const;

 private:
  static constexpr std::uint32_t bit(ReportItem item) { return reportItemBit(item); }
  static constexpr std::uint32_t kNeeded = kNeededReportItems;
};

// Free form of Report::isComplete, for algorithms.
inline bool reportIsComplete(const Report& report) { return report.isComplete(); }

}  // namespace velk

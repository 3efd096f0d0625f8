#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "format/fixed_text.h"
#include "reading/report_items.h"

namespace velk {

// One baseline as the O-file reports gave it. Numbers start at 0 and texts as zero bytes;
// a field that no line of its report sets keeps that value.
struct BaselineRecord {
  FixedText<8> name;
  std::int32_t day_number = 0;
  FixedText<4> fixed_station;
  FixedText<4> unknown_station;
  std::int32_t year = 0;    // novrale only
  FixedText<5> start_time;  // quelmar only
  FixedText<5> end_time;    // quelmar only
  // "Fl"/"Fx" (2 characters, novrale) or " Fl."/" Fx." (4 characters, quelmar): the
  // declared length is the edition's, see ReadingEdition::solution_kind_width.
  FixedText<4> solution_kind;
  double mid_epoch = 0;
  double sigma_x = 0, sigma_y = 0, sigma_z = 0;
  double cov_xy = 0, cov_xz = 0, cov_yz = 0;  // covariances, from the correlation rows
  double dx = 0, dy = 0, dz = 0;
  double length = 0;
  double mark1_x = 0, mark1_y = 0, mark1_z = 0;
  double enu1_e = 0, enu1_n = 0, enu1_u = 0;
  double mark2_x = 0, mark2_y = 0, mark2_z = 0;
  double ratio = 0;
};

// The solution kind at the edition's declared length (2 or 4 characters).
inline std::string_view solutionKind(const BaselineRecord& record, int width) {
  return record.solution_kind.view().substr(0, static_cast<std::size_t>(width));
}

// The run's table of baselines. Entry 0 is a scratch entry that takes what a report
// stores before the first report header of the run; it is never written out. The table
// has no fixed capacity.
class BaselineTable {
 public:
  BaselineTable() : entries_(1), items_(1) {}

  // A report header line: a new current entry named after the O-file (first 8 of its
  // 12 characters).
  void open_entry(std::string_view report_file_name) {
    entries_.emplace_back();
    entries_.back().name = report_file_name.substr(0, 8);
    items_.emplace_back();
  }

  std::int32_t baseline_count() const { return static_cast<std::int32_t>(entries_.size() - 1); }
  BaselineRecord& current_entry() { return entries_.back(); }
  const BaselineRecord& current_entry() const { return entries_.back(); }
  // Entries 1 to baseline_count, in reading order.
  std::span<const BaselineRecord> entries() const {
    return std::span<const BaselineRecord>(entries_).subspan(1);
  }

  // What the report behind each entry gave, entries 1 to baseline_count in order; the
  // records hold other values where it gave nothing (see EntryItems).
  EntryItems& current_items() { return items_.back(); }
  std::span<const EntryItems> items() const {
    return std::span<const EntryItems>(items_).subspan(1);
  }
  // The items that the report of entry `index` (from 0, as entries() counts) lacks, in the
  // terms of the per-report reading (reportItemBit).
  std::uint32_t missingItems(std::size_t index) const {
    const BaselineRecord& record = entries_[index + 1];
    return items_[index + 1].missing(record.fixed_station.view(), record.unknown_station.view());
  }

 private:
  std::vector<BaselineRecord> entries_;
  std::vector<EntryItems> items_;
};

// What the reader carries from one line, and one O-file, to the next; never reset.
struct ReportScanState {
  FixedText<4> current_short_name;
  std::int32_t hour = 0, minute = 0;
  double start_fraction = 0, end_fraction = 0;
  double sigma_x = 0, sigma_y = 0, sigma_z = 0;
  double dx = 0, dy = 0, dz = 0;
  double ratio = 0;
};

}  // namespace velk

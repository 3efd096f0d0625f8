#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "format/record_sink.h"
#include "reading/baseline_table.h"
#include "run/edition.h"

namespace velk::testing {

inline const WritingEdition& quelmar() { return quelmarEdition().writing; }
inline const WritingEdition& novrale() { return novraleEdition().writing; }

// Keeps every record as it was handed to the destination, without line control.
class CapturingSink : public RecordSink {
 public:
  void put(std::string_view record) override { lines.emplace_back(record); }
  std::vector<std::string> lines;
};

// Columns first to last of a line, counted from 1 as the record tables count them; a line
// that ends earlier gives what it has.
inline std::string cols(const std::string& line, std::size_t first, std::size_t last) {
  if (first > line.size()) return {};
  return line.substr(first - 1, last - first + 1);
}

// A baseline as a report with a float and a fixed section leaves it: 1352 m from ST01 to
// ST02, measured at a mark near 48.9 grads of latitude, with ratio 7.99.
inline BaselineRecord& addBaseline(BaselineTable& table, std::string_view solution_kind,
                                   std::string_view report_name = "AB123450.001") {
  table.open_entry(report_name);
  BaselineRecord& e = table.current_entry();
  e.day_number = 123;
  e.fixed_station = "ST01";
  e.unknown_station = "ST02";
  e.year = 2023;
  e.start_time = "10:30";
  e.end_time = "14:45";
  e.solution_kind = solution_kind;
  e.mid_epoch = 123.5260416666667;
  e.sigma_x = 0.003;
  e.sigma_y = 0.002;
  e.sigma_z = 0.004;
  e.dx = 312.1234;
  e.dy = -416.5678;
  e.dz = 1248.0;
  e.length = 1352.3456;
  e.mark1_x = 4201000.0;
  e.mark1_y = 168000.0;
  e.mark1_z = 4780000.0;
  e.enu1_e = 1000.25;
  e.enu1_n = 1000.25;
  e.enu1_u = -12.5;
  e.mark2_x = 4201312.1234;
  e.mark2_y = 167583.4322;
  e.mark2_z = 4781248.0;
  e.ratio = 7.99;
  return e;
}

inline void setSigmas(BaselineRecord& e, double sx, double sy, double sz) {
  e.sigma_x = sx;
  e.sigma_y = sy;
  e.sigma_z = sz;
}

}  // namespace velk::testing

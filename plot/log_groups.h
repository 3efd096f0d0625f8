#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "plot/log_file.h"

namespace velk::plot {

// The records of one LOG file that follow one baseline.
struct LogGroup {
  // novrale: the fixed station (type 4) or the principal point (types 5, 6), as printed;
  // quelmar: empty (its records name no station).
  std::string station;
  double length = 0;                 // metres: the median of its records' lengths
  std::vector<std::size_t> records;  // indices into LogFile::records, in file order
};

// Two records follow one baseline when their components lie within this distance (metres).
inline constexpr double kSameBaselineMetres = 1;

// Groups the records of a LOG file into baselines. A record joins the first group whose first
// record's components (E, N, U or dX, dY, dZ as the file gives them) lie within
// `same_baseline_m` of its own (the distance in space) and, in a novrale type-4 file, whose
// fixed station is its own; otherwise it opens a new group. A record that moved more than
// `same_baseline_m` between observations therefore opens a group of its own. Groups come in
// the order of their first records. Throws RunError naming `path` and the line when a novrale
// record's tag differs from the first record's (a file mixes LOG types).
std::vector<LogGroup> groupLogRecords(const LogFile& file, double same_baseline_m,
                                      const std::string& path);

// What names a group, in UTF-8: "S001, 1234.6 m", or "1234.6 m" without a station.
std::string logGroupName(const LogGroup& group);

// The same for a file name: "S001-1234.6m", "1234.6m".
std::string logGroupStem(const LogGroup& group);

}  // namespace velk::plot

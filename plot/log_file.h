#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "reading/line_reader.h"

namespace velk::plot {

// The two editions' LOG layouts, told apart by their columns: novrale's record starts with
// the year (I4) and carries a tag, a station and an entry name; quelmar's starts with the
// epoch and has "%" in column 86.
enum class LogLayout { kNovrale, kQuelmar };

// What the three components of a record are.
enum class LogSeriesFrame { kLocal, kGeocentric };  // E, N, U or dX, dY, dZ

// One record of a LOG file, values in metres as printed.
struct LogRecord {
  long line = 0;                // its line number in the file
  std::optional<int> year;      // novrale only
  double epoch = 0;             // day of the year and its fraction (1.0: 1 January, 0 h)
  std::array<double, 3> components{};
  std::array<double, 3> sigmas{};
  double length = 0, sigma3d = 0;
  bool fixed = false;           // "Fx" (fixed) or "Fl" (float)
  std::string tag;              // novrale: "v.gpps /" (type 4), "v.local/" (5), "v.geoc /" (6)
  std::string station;          // novrale: the fixed station (type 4) or the principal point
};

struct LogFile {
  LogLayout layout = LogLayout::kNovrale;
  std::vector<LogRecord> records;
};

// Reads a LOG file. A line that does not start with a number, such as the " -> Attention"
// notice, is not a record and is passed over, as are blank lines; a record of neither
// layout, of the other layout than the file's first record, or whose numbers do not read
// is a RunError naming `path` and the line.
LogFile readLogFile(LineReader& lines, const std::string& path);

// The components of a novrale record from its tag; nothing for an unknown tag.
std::optional<LogSeriesFrame> componentsOfTag(const std::string& tag);

}  // namespace velk::plot

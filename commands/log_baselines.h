#pragma once

// The baselines that the records of one LOG file follow, as series.

#include <optional>
#include <string>
#include <vector>

#include "plot/log_file.h"
#include "series/series.h"

namespace velk {

// Records of one baseline: the records (indices into the file's) whose vectors agree
// within `same_baseline_m` of the group's previous record and, in a novrale type-4 file,
// that share its fixed station; in file order.
struct LogBaseline {
  std::string name;     // "STATION 1523 m": the station (else the file's name) and the length
  std::string station;  // the fixed station or principal point of novrale files; else empty
  std::vector<std::size_t> records;
};
std::vector<LogBaseline> groupLogRecords(const plot::LogFile& file, const std::string& file_name,
                                         double same_baseline_m);

// The series of one baseline: the records in time order, components in mm minus the first
// point's, each sigma floored at 0.5 mm (a printed .000 would weigh infinitely) and squared
// on the diagonal of its covariance. Epochs: novrale's year and day; for quelmar's, which
// carry no year, `quelmar_year` is the year of the file's first record and a day smaller
// than the one before starts the next year. Float records count towards the trailing float
// reports and are points only `with_float`. Each point's file is "FILE line L".
series::Series logBaselineSeries(const plot::LogFile& file, const LogBaseline& baseline,
                                 const std::string& file_name, plot::LogComponents components,
                                 std::optional<int> quelmar_year, bool with_float);

}  // namespace velk

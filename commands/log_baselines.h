#pragma once

// The baselines that the records of one LOG file follow, as series.

#include <optional>
#include <string>

#include "plot/log_file.h"
#include "plot/log_groups.h"
#include "series/series.h"

namespace velk {

// The series of one baseline of a LOG file (a group of plot::groupLogRecords), named as
// the pictures name it ("S001, 1234.6 m"): the records in time order, components in mm
// minus the first point's, each sigma floored at 0.5 mm (a printed .000 would weigh
// infinitely) and squared on the diagonal of its covariance. Epochs: novrale's year and day;
// for quelmar's, which carry no year, `quelmar_year` is the year of the file's first record
// and a day smaller than the one before starts the next year. Float records count towards
// the trailing float reports and are points only `with_float`. Each point's file is
// "FILE line L".
series::Series logBaselineSeries(const plot::LogFile& file, const plot::LogGroup& group,
                                 const std::string& file_name, plot::LogSeriesFrame components,
                                 std::optional<int> quelmar_year, bool with_float);

}  // namespace velk

#pragma once

// The baselines that the records of one LOG file follow, as series.

#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "commands/inputs.h"
#include "commands/options.h"
#include "plot/log_file.h"
#include "plot/log_groups.h"
#include "series/series.h"

namespace velk {

// Reads each LOG file that the operands and --list name and hands it to `use` with the name
// it was opened under. One that cannot be opened or holds no LOG record is named on `err`
// and counted in `tally` (whose inputs are then LOG files). Throws like inputPaths.
void forEachLogFile(const ParsedOptions& options, std::ostream& err, InputTally& tally,
                    const std::function<void(const plot::LogFile& file, const std::string& path)>& use);

// What a quelmar LOG file's components are (--components enu|xyz; novrale's tag says it).
plot::LogSeriesFrame quelmarComponents(const ParsedOptions& options);

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

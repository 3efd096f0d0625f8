#pragma once

#include <functional>
#include <istream>
#include <string_view>
#include <vector>

#include "reading/line_reader.h"
#include "reading/report.h"

namespace velk {

// Reads one open O-file report by report (each on its own: nothing is carried from one
// report to the next), appending the reports to `reports`. Lines before the file's first
// report header are passed over, and `notice` is told so once. `path` is the name the file
// was opened under: its base name becomes the reports' `file`. Throws RunError on a number
// field that does not read, as the dialog's reader does.
void read_reports(LineReader& in, std::string_view path, std::vector<Report>& reports,
                  const std::function<void(std::string_view)>& notice);
void read_reports(std::istream& in, std::string_view path, std::vector<Report>& reports,
                  const std::function<void(std::string_view)>& notice);

}  // namespace velk

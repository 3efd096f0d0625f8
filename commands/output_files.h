#pragma once

#include <string>

#include "format/output_file.h"

namespace velk {

// The output file of a subcommand: created new, or with `force` made to replace an existing
// file once complete. Throws RunError when the file exists (without `force`) or cannot be
// made.
OutputFile openOutputFile(const std::string& path, bool force);

}  // namespace velk

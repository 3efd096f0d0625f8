#pragma once

#include <string>

#include "format/output_file.h"

namespace velk {

// The file a subcommand writes: created new, or with `force` replacing an existing file in
// one step once it is complete. Throws RunError when the file exists (without `force`) or
// cannot be made.
OutputFile openOutputFile(const std::string& path, bool force);

}  // namespace velk

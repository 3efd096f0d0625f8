#pragma once

#include <string>
#include <string_view>

#include "format/output_file.h"

namespace velk {

// The name that stands for standard output where a subcommand writes one file.
inline constexpr std::string_view kStandardOutputName = "-";

// The output file of a subcommand: created new, or with `force` made to replace an existing
// file once complete; "-" is standard output, written at commit. Throws RunError when the
// file exists (without `force`), is a folder, or cannot be made.
OutputFile openOutputFile(const std::string& path, bool force);

}  // namespace velk

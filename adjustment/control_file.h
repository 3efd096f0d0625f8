#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "adjustment/adjustment.h"

namespace velk {

// The control stations of a CSV text, one per line: `name,X,Y,Z` (held) or
// `name,X,Y,Z,sX,sY,sZ` (weighted), metres, geocentric. Blank lines and lines starting with
// '#' are passed over, and so is a first line whose X is not a number (a heading). Names
// are kept as written (the caller matches them to the reports' spelling). Throws RunError
// naming `path` and the line for a wrong field count, a value that is not a finite number,
// a sigma not above 0, an empty name or a name given twice.
std::vector<ControlStation> readControlStations(std::string_view text, const std::string& path);

}  // namespace velk

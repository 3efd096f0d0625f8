#pragma once

#include <istream>
#include <ostream>

#include "run/edition.h"

namespace velk {

// The whole run of one edition: dialog, reading phase, writing phase, end. Returns the
// exit status (0 at the normal end, 1 after a fatal error reported on `err`).
int runConversion(const Edition& edition, int argc, char** argv, std::istream& in,
                  std::ostream& out, std::ostream& err);

// The same on the process's standard streams.
int runConversion(const Edition& edition, int argc, char** argv);

}  // namespace velk

#pragma once

#include <ostream>

namespace velk {

// The `baselines` program: `baselines SUBCOMMAND [options] [inputs]`. Returns the exit
// status (the README's table).
int runBaselines(int argc, char** argv, std::ostream& out, std::ostream& err);

// The same on the process's standard streams.
int runBaselines(int argc, char** argv);

}  // namespace velk

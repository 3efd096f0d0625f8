#pragma once

#include <stdexcept>

namespace velk {

// An error the user caused (bad input, a closed console, a failed write) that ends the
// run: the message is shown on standard error, the output file is removed, and the
// program exits with status 1.
class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace velk

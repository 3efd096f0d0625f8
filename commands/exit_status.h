#pragma once

namespace velk {

// The exit statuses of every program (the README's table).
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;      // a failed run: nothing is left behind
inline constexpr int kExitUsageError = 2;  // a wrong command line
inline constexpr int kExitFlagged = 3;     // a finding is flagged
inline constexpr int kExitPassedOver = 4;  // done, with inputs passed over (each named)

}  // namespace velk

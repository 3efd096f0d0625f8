#pragma once

#include <string>

namespace velk {

// A real with a fixed number of decimals ("12.346"), rounded to nearest by the standard
// library's exact conversion, never in the stream's default format. A value that rounds to
// zero is written without a sign. Not for NaN or infinities: the caller decides how those
// are shown.
std::string decimalText(double value, int decimals);

}  // namespace velk

#pragma once

#include <string>

namespace velk {

// Numbers for XML, JSON and SVG, each in a format its caller states. All three are
// independent of the locale and exact: the text is the correctly rounded decimal of the
// double.

// value with `decimals` digits after the point, rounded from its exact binary value with
// ties to even, as printf's "%.*f" does: fixedTextTiesToEven(818.49321, 4) == "818.4932",
// fixedTextTiesToEven(0.125, 2) == "0.12". A value that rounds to zero has no minus sign.
// (The F fields of the records round ties away from zero instead; see RecordLayout.)
std::string fixedTextTiesToEven(double value, int decimals);

// value as d.ddd…e±XX with `decimals` digits after the point (printf "%.*e"):
// exponentText(1.399489e-06, 13) == "1.3994890000000e-06".
std::string exponentText(double value, int decimals);

// The shortest text that reads back as the same double: 1 -> "1", 0.1 -> "0.1".
std::string roundTripText(double value);

}  // namespace velk

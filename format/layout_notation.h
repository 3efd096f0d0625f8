#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velk {

// One descriptor of a record layout, once its repeat groups are expanded.
struct FieldDescriptor {
  enum class Kind { Integer, Fixed, Exponent, Text, Skip, Literal };
  Kind kind;
  int width = 0;        // Iw, Fw.d, Ew.d, Aw; the n of nX; -1 for A without width
  int decimals = 0;     // d of Fw.d and Ew.d
  std::string literal;  // the text of 'text'
};

// The descriptors of a layout in the notation of the VELK record tables, for example
// "(I2,2X,A4,2X,A4,4(1X,F12.4))": Iw, Fw.d, Ew.d, Aw, A, nX, 'text' (a doubled apostrophe
// standing for one) and n(...), letters in either case, blanks between items. Widths and
// counts are 1 to 1000, groups nest at most 100 deep and expand to at most 10,000
// descriptors: a layout beyond these limits is a typo, which would otherwise take memory by
// the gigabyte. Throws std::invalid_argument, naming the column, for a malformed notation.
std::vector<FieldDescriptor> parseLayoutNotation(std::string_view notation);

}  // namespace velk

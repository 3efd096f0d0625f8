#pragma once

// Internal to format/: the steps in which a RecordLayout is walked.

#include <cstddef>

#include "format/layout_notation.h"

namespace velk {

// A field or literal of a layout with the blanks of the skips before it.
struct LayoutStep {
  FieldDescriptor::Kind kind;  // never Skip
  int blanks_before;
  int width;
  int decimals;
  std::size_t literal = 0;  // for a literal: where its text is among the layout's literals
};

}  // namespace velk

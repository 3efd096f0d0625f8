#pragma once

#include <cstdint>

#include "format/fixed_text.h"

namespace velk {

// The operator's answers, set during the dialog and read-only afterwards.
struct RunSettings {
  std::int32_t output_type = 0;
  FixedText<12> output_file_name;
  FixedText<12> list_file_name;
  FixedText<12> report_file_name;
  FixedText<40> title;          // zero bytes unless the output type has a title
  FixedText<2> file_name_code;  // quelmar only
};

}  // namespace velk

#pragma once

#include <string_view>

#include "format/record_layout.h"
#include "reading/o_file_columns.h"

namespace velk {

// What the two editions read differently from an O-file and how they echo it.
struct ReadingEdition {
  int solution_kind_width;      // 2 (novrale) or 4 (quelmar)
  std::string_view float_kind;  // "Fl" or " Fl."
  std::string_view fixed_kind;  // "Fx" or " Fx."
  bool dates_as_year;           // novrale: year from 29-32; quelmar: start/end time texts 40-44
  o_file::RatioLine ratio_line;  // the ratio line of the fixed section
  bool ratio_echo;  // novrale shows the ratio on the console
  RecordLayout vector_echo;
  RecordLayout sigma_echo;
  RecordLayout mark_echo;
};

}  // namespace velk

#pragma once

#include <array>
#include <string_view>

#include "output/writing_edition.h"
#include "reading/reading_edition.h"

namespace velk {

// One description per edition: everything in which quelmar and novrale differ.
struct Edition {
  std::string_view program_name;               // "quelmar" or "novrale"
  std::string_view banner;                     // " Programme : novrale :"
  std::array<std::string_view, 7> menu_lines;  // output types 0 to 6
  std::array<std::string_view, 7> titles;      // output types 0 to 6, before the cut to 40
  bool has_file_name_code;                     // quelmar: characters 7-8 of the output name
  const ReadingEdition& reading;
  const WritingEdition& writing;
};

const Edition& quelmarEdition();
const Edition& novraleEdition();

}  // namespace velk

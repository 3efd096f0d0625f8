#pragma once

#include <set>
#include <string>
#include <string_view>

namespace velk::plot {

// Names for the files of one output folder, made from station and file names. A byte that
// is not an ASCII letter, digit, '-', '_', '+' or '.' becomes '_' (so does a leading '.',
// which would hide the file); a name taken already in this folder, in any mix of upper and
// lower case (some file systems do not tell them apart), gets "-2", "-3", ... before its
// extension. Two pictures therefore never get the same file.
class FileNamer {
 public:
  // `stem` made safe and unique, then `extension` (".svg") appended.
  std::string name(std::string_view stem, std::string_view extension);

 private:
  std::set<std::string> taken_;  // lower case
};

std::string safeFileStem(std::string_view text);

}  // namespace velk::plot

#pragma once

#include <span>
#include <string>
#include <string_view>

namespace velk::plot {

// One picture of a folder's index page.
struct IndexEntry {
  std::string caption;  // UTF-8
  std::string file;     // a name made by FileNamer: nothing in it needs escaping in a URL
  double width = 0, height = 0;
};

// A plain HTML page (no script, no style sheet) that shows every picture under its caption,
// each a link to its own file.
std::string indexPage(std::string_view title, std::string_view introduction,
                      std::span<const IndexEntry> entries);

}  // namespace velk::plot

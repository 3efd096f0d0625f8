#pragma once

#include <span>
#include <string>
#include <string_view>

#include "plot/log_series.h"

namespace velk::plot {

// One picture of a folder's index page, or a series listed without a picture.
struct IndexEntry {
  std::string caption;  // UTF-8
  std::string file;     // a name made by FileNamer: nothing in it needs escaping in a URL;
                        // empty: listed, not drawn
  double width = 0, height = 0;
  std::string summary;  // UTF-8: one line under the caption
  bool flagged = false;
};

// A plain HTML page (no script, no style sheet) that lists the flagged entries first, then
// the others, each in its given order: every caption with its summary, and its picture as a
// link to its own file.
std::string indexPage(std::string_view title, std::string_view introduction,
                      std::span<const IndexEntry> entries);

// The summary of a series: its counts, weighted RMS and flags, e.g. "9 reports (2 float,
// 1 flagged); weighted RMS dE 1.2, dN 0.8, dU 2.1, d(length) 0.9 mm; flags: repeat flagged".
std::string seriesSummary(const NamedSeries& series);

// Whether the series or one of its samples is flagged.
bool isFlagged(const NamedSeries& series);

}  // namespace velk::plot

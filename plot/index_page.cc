#include "plot/index_page.h"

#include <algorithm>
#include <cstdio>

#include "plot/svg_writer.h"

namespace velk::plot {
namespace {

std::string escaped(std::string_view text) { return svgText(text).escaped(); }

}  // namespace

std::string indexPage(std::string_view title, std::string_view introduction,
                      std::span<const IndexEntry> entries) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
      escaped(title) + "</title>\n</head>\n<body>\n<h1>" + escaped(title) + "</h1>\n<p>" +
      escaped(introduction) + "</p>\n";
  for (const bool flagged : {true, false})
    for (const IndexEntry& entry : entries) {
      if (entry.flagged != flagged) continue;
      page += "<h2>" + escaped(entry.caption) + "</h2>\n";
      if (!entry.summary.empty()) page += "<p>" + escaped(entry.summary) + "</p>\n";
      if (entry.file.empty()) continue;
      const std::string file = escaped(entry.file);
      page += "<p><a href=\"" + file + "\"><img src=\"" + file + "\" width=\"" +
              coordinateText(entry.width) + "\" height=\"" + coordinateText(entry.height) +
              "\" alt=\"" + escaped(entry.caption) + "\"></a></p>\n";
    }
  return page + "</body>\n</html>\n";
}

bool isFlagged(const NamedSeries& series) {
  return !series.flags.empty() ||
         std::any_of(series.drawing.samples.begin(), series.drawing.samples.end(),
                     [](const SeriesSample& sample) { return !sample.flags.empty(); });
}

std::string seriesSummary(const NamedSeries& series) {
  const SeriesDrawing& drawing = series.drawing;
  const auto count = static_cast<long>(drawing.samples.size());
  const auto floats = std::count_if(drawing.samples.begin(), drawing.samples.end(),
                                    [](const SeriesSample& s) { return !s.fixed; });
  const auto flagged = std::count_if(drawing.samples.begin(), drawing.samples.end(),
                                     [](const SeriesSample& s) { return !s.flags.empty(); });
  std::string summary = std::to_string(count) + " " + drawing.unit + (count == 1 ? "" : "s");
  std::string parts;
  if (floats > 0) parts += std::to_string(floats) + " float";
  if (flagged > 0) parts += (parts.empty() ? "" : ", ") + std::to_string(flagged) + " flagged";
  if (!parts.empty()) summary += " (" + parts + ")";
  if (count == 1) return summary + ": " + drawing.samples.front().source + ", not drawn";
  summary += "; weighted RMS";
  for (std::size_t c = 0; c < 4; ++c) {
    char value[32];
    std::snprintf(value, sizeof value, "%.1f", drawing.weighted_rms[c]);
    summary += (c == 0 ? " " : ", ") + drawing.components[c] + " " + value;
  }
  summary += " mm";
  if (!series.flags.empty()) {
    summary += "; flags:";
    for (std::size_t i = 0; i < series.flags.size(); ++i)
      summary += (i == 0 ? " " : ", ") + series.flags[i];
  }
  return summary;
}

}  // namespace velk::plot

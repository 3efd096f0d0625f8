#pragma once

// The views of analysed series: the text report, the JSON document, one CSV per pair and
// Hector's .mom files. Each shows the results as computed, never a second computation.

#include <array>
#include <span>
#include <string>

#include "series/series.h"
#include "series/series_analysis.h"

namespace velk::series {

struct AnalysedSeries {
  Series series;
  SeriesResult result;
};

// The report for standard output: one line per pair, then each pair's steps, outliers and
// notes, each table with a line under it that says what its columns are. Station names
// and files are code page 850 text, shown in UTF-8.
std::string seriesText(std::span<const AnalysedSeries> all, const AnalysisOptions& options);

// {"pairs": [...]}: every number with the digits that read back as the same double.
std::string seriesJson(std::span<const AnalysedSeries> all);

// One pair's points: file, GPS time (ISO 8601), decimal year, the three components (mm,
// relative to the reference value), their sigmas and correlations, the model, the
// residuals, whether it is an outlier, and its segment. Comma-separated, a heading line,
// line feeds.
std::string seriesCsv(const AnalysedSeries& one);

// Hector's .mom files of one pair, one per component: "# sampling period DAYS" (the median
// interval between points), one "# offset MJD" line per step, then "MJD VALUE" lines
// (mm, relative to the reference value), the epochs rounded to the sampling period from
// the first point and the points falling on one sample averaged. Outliers are left out.
std::array<std::string, 3> seriesMom(const AnalysedSeries& one);

// What a component is called in headings and file names: "E", "N", "U" or "X", "Y", "Z".
char componentLetter(ComponentKind kind, int component);

}  // namespace velk::series

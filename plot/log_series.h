#pragma once

#include <string>
#include <vector>

#include "plot/log_file.h"
#include "plot/series_picture.h"

namespace velk::plot {

// One picture to draw from a LOG file: its name (for the file name and the index) and
// its drawing.
struct NamedSeries {
  std::string name;  // UTF-8
  std::string from, to;  // a pair's stations, UTF-8; empty for a LOG file
  SeriesDrawing drawing;
  // What the checks found about the whole series ("repeat", "suspect", "on a flagged
  // loop"); empty when nothing.
  std::vector<std::string> flags;
};

// A printed sigma of ".000" would weigh infinitely: no record weighs more than one with
// this sigma (metres).
inline constexpr double kLeastLogSigma = 0.0005;

// The series of one LOG file, one per baseline as groupLogRecords finds them with
// `same_baseline_m`, in the order of their first records; a group of one record is a series
// of one sample, to be listed rather than drawn. Each is named by the file, the group's
// station and its length. Values are drawn relative to their weighted means (weights
// 1 / max(sigma, 0.5 mm)²), with the sigmas as printed as error bars. `quelmar_components`
// says what a quelmar file's components are (its records do not). `file_name` is the LOG
// file's base name as the file system gives it (UTF-8, or taken as code page 850 when it is
// not). Throws RunError naming `path` and the line when a novrale record's tag is not its
// file's first.
std::vector<NamedSeries> logSeries(const LogFile& file, const std::string& file_name,
                                   const std::string& path, LogSeriesFrame quelmar_components,
                                   double same_baseline_m);

// The weighted mean of `values` with weights 1 / max(sigma, least_sigma)².
double flooredWeightedMean(std::span<const double> values, std::span<const double> sigmas,
                           double least_sigma);

}  // namespace velk::plot

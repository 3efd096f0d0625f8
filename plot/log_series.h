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
};

// A printed sigma of ".000" would weigh infinitely: no record weighs more than one with
// this sigma (metres).
inline constexpr double kLeastLogSigma = 0.0005;

// The pictures of one LOG file: one, or one per station of a novrale type-4 file (its
// station column holds each record's fixed station). Values are drawn relative to their
// weighted means (weights 1 / max(sigma, 0.5 mm)²), with the sigmas as printed as error
// bars. `quelmar_components` says what a quelmar file's components are (its records do
// not). `file_name` is the LOG file's base name as the file system gives it (UTF-8, or
// taken as code page 850 when it is not). Throws RunError naming `path`
// and the line when a novrale record's tag is not its file's first.
std::vector<NamedSeries> logSeries(const LogFile& file, const std::string& file_name,
                                   const std::string& path, LogComponents quelmar_components);

// The weighted mean of `values` with weights 1 / max(sigma, least_sigma)².
double flooredWeightedMean(std::span<const double> values, std::span<const double> sigmas,
                           double least_sigma);

}  // namespace velk::plot

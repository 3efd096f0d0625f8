#pragma once

// Synthetic GPS campaigns: O-files that look like the reports of the baseline-processing
// package, built from a seed so that a campaign can be written again byte for byte.
//
// A campaign is a small network of stations on the ellipsoid in one region, observed in
// sessions of a few hours: in each session one station is held fixed and a baseline is
// processed to each of the others. Every report carries its float solution and, unless the
// ambiguities could not be fixed, its fixed solution; within a solution the vector is
// exactly mark 2 minus mark 1 (to the printed 0.1 mm) and E1 N1 U1 is that vector in the
// local East-North-Up frame of mark 1.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velk::campaign {

enum class LineEnds { kDos, kUnix };

// Which ratio lines the fixed sections carry: the later edition reads the "Integer" line, the
// earlier one the "Ratio =" line.
enum class RatioLines { kBoth, kQuelmar, kNovrale };

struct CampaignOptions {
  int reports = 0;
  std::uint64_t seed = 1;
  LineEnds line_ends = LineEnds::kDos;
  RatioLines ratio_lines = RatioLines::kBoth;
  std::string prefix = "AB";  // two letters that start every O-file name
};

struct GeneratedReport {
  std::string name;  // 8.3 name, at most 12 characters
  std::string text;  // the whole O-file, line ends included
};

// Calls `sink` once per report, in campaign order, so that large campaigns never have to
// be held in memory.
void generateCampaign(const CampaignOptions& options,
                      const std::function<void(const GeneratedReport&)>& sink);

// The list file naming the reports, one name per line.
std::string listFileText(const std::vector<std::string>& names, LineEnds line_ends);

}  // namespace velk::campaign

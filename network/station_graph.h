#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "reading/report.h"

namespace velk {

// Two stations measured by one or more reports, in either direction. `from` and `to` are in
// the direction of the pair's first report.
struct StationPair {
  int from = 0, to = 0;              // station indices
  std::vector<std::size_t> reports;  // indices into the reports given, in their order
};

// The network of a set of reports: its stations (in order of first appearance, the fixed
// station of a report before its unknown one), the measured pairs and the connected parts.
// Every report given must have its station names; a report from a station to itself is
// not a pair and is left out.
class StationGraph {
 public:
  explicit StationGraph(std::span<const Report> reports);

  int stationCount() const { return static_cast<int>(names_.size()); }
  const std::string& stationName(int station) const { return names_[static_cast<std::size_t>(station)]; }
  std::optional<int> stationIndex(const std::string& name) const;

  const std::vector<StationPair>& pairs() const { return pairs_; }
  // Whether the report runs against its pair's direction (its vector is then negated).
  bool isReversed(const StationPair& pair, const Report& report) const;

  // The stations of each connected part, parts in order of their first station.
  std::vector<std::vector<int>> connectedParts() const;

 private:
  int addStation(const std::string& name);

  std::vector<std::string> names_;
  std::map<std::string, int> index_;
  std::vector<StationPair> pairs_;
};

}  // namespace velk

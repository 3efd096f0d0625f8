#include "network/station_graph.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace velk {
namespace {

// Union-find over station indices.
class Parts {
 public:
  explicit Parts(int count) : parent_(static_cast<std::size_t>(count)) {
    std::iota(parent_.begin(), parent_.end(), 0);
  }
  int root(int station) {
    while (parent_[static_cast<std::size_t>(station)] != station) {
      int& parent = parent_[static_cast<std::size_t>(station)];
      parent = parent_[static_cast<std::size_t>(parent)];
      station = parent;
    }
    return station;
  }
  void join(int a, int b) { parent_[static_cast<std::size_t>(root(a))] = root(b); }

 private:
  std::vector<int> parent_;
};

}  // namespace

StationGraph::StationGraph(std::span<const Report> reports) {
  std::map<std::pair<int, int>, std::size_t> pair_of;
  for (std::size_t i = 0; i < reports.size(); ++i) {
    const int from = addStation(reports[i].fixed_station);
    const int to = addStation(reports[i].unknown_station);
    if (from == to) continue;
    const auto key = std::minmax(from, to);
    const auto [found, added] = pair_of.try_emplace(key, pairs_.size());
    if (added) pairs_.push_back({from, to, {}});
    pairs_[found->second].reports.push_back(i);
  }
}

int StationGraph::addStation(const std::string& name) {
  const auto [found, added] = index_.try_emplace(name, stationCount());
  if (added) names_.push_back(name);
  return found->second;
}

std::optional<int> StationGraph::stationIndex(const std::string& name) const {
  const auto found = index_.find(name);
  if (found == index_.end()) return std::nullopt;
  return found->second;
}

bool StationGraph::isReversed(const StationPair& pair, const Report& report) const {
  return report.fixed_station != stationName(pair.from);
}

std::vector<std::vector<int>> StationGraph::connectedParts() const {
  Parts parts(stationCount());
  for (const StationPair& pair : pairs_) parts.join(pair.from, pair.to);
  std::vector<std::vector<int>> result;
  std::map<int, std::size_t> part_of_root;
  for (int station = 0; station < stationCount(); ++station) {
    const auto [found, added] = part_of_root.try_emplace(parts.root(station), result.size());
    if (added) result.emplace_back();
    result[found->second].push_back(station);
  }
  return result;
}

}  // namespace velk

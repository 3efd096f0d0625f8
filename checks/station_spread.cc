#include "checks/station_spread.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "checks/vector_math.h"

namespace velk {
namespace {

namespace vm = vector_math;

struct GivenCoordinate {
  Cartesian point;
  std::size_t report = 0;
};

struct StationRecord {
  int reports = 0;
  std::vector<GivenCoordinate> given;
  bool has_fallback = false;
  Cartesian fallback;
};

bool samePoint(const Cartesian& a, const Cartesian& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

// The largest distance between two coordinates. Reports that hold a station fixed print the
// same coordinates again and again, so equal ones are merged before comparing all pairs.
void measureSpread(std::vector<GivenCoordinate> given, StationCheck& station) {
  std::stable_sort(given.begin(), given.end(), [](const auto& a, const auto& b) {
    return std::tie(a.point.x, a.point.y, a.point.z) < std::tie(b.point.x, b.point.y, b.point.z);
  });
  given.erase(std::unique(given.begin(), given.end(),
                          [](const auto& a, const auto& b) { return samePoint(a.point, b.point); }),
              given.end());
  station.spread_from = station.spread_to = given.front().report;
  for (std::size_t i = 0; i < given.size(); ++i) {
    for (std::size_t j = i + 1; j < given.size(); ++j) {
      const double distance = vm::norm(vm::minus(given[i].point, given[j].point));
      if (distance > station.spread) {
        station.spread = distance;
        station.spread_from = std::min(given[i].report, given[j].report);
        station.spread_to = std::max(given[i].report, given[j].report);
      }
    }
  }
}

}  // namespace

std::vector<StationCheck> checkStations(std::span<const Report> reports,
                                        std::span<const BaselineCheck> baselines,
                                        const CheckOptions& options) {
  std::map<std::string, StationRecord> records;
  for (const BaselineCheck& baseline : baselines) {
    if (!baseline.usable) continue;
    const Report& report = reports[baseline.report];
    StationRecord& fixed = records[report.fixed_station];
    ++fixed.reports;
    fixed.given.push_back({report.mark1, baseline.report});
    StationRecord& unknown = records[report.unknown_station];
    if (&unknown != &fixed) ++unknown.reports;
    if (!report.lacks(ReportItem::kMark2)) {
      unknown.given.push_back({report.mark2, baseline.report});
    } else if (!unknown.has_fallback) {
      unknown.has_fallback = true;
      unknown.fallback = vm::plus(report.mark1, report.vector);
    }
  }

  std::vector<StationCheck> stations;
  stations.reserve(records.size());
  for (auto& [name, record] : records) {
    StationCheck station;
    station.name = name;
    station.reports = record.reports;
    station.coordinates = static_cast<int>(record.given.size());
    if (record.given.empty()) {
      station.position = record.fallback;
    } else {
      station.position = record.given.front().point;  // the first in report order
      measureSpread(std::move(record.given), station);
    }
    station.flagged = station.spread > options.station_tolerance;
    stations.push_back(std::move(station));
  }
  return stations;
}

}  // namespace velk

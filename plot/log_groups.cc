#include "plot/log_groups.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "format/run_error.h"
#include "format/text_encoding.h"

namespace velk::plot {
namespace {

double distance(const LogRecord& a, const LogRecord& b) {
  const double dx = a.components[0] - b.components[0];
  const double dy = a.components[1] - b.components[1];
  const double dz = a.components[2] - b.components[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The median, the mean of the two middle values for an even count.
double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string lengthText(double metres) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", metres);
  return text;
}

}  // namespace

std::vector<LogGroup> groupLogRecords(const LogFile& file, double same_baseline_m,
                                      const std::string& path) {
  std::vector<LogGroup> groups;
  if (file.records.empty()) return groups;
  const LogRecord& first = file.records.front();
  const bool novrale = file.layout == LogLayout::kNovrale;
  const bool by_fixed_station = novrale && first.tag == "v.gpps /";
  for (std::size_t i = 0; i < file.records.size(); ++i) {
    const LogRecord& record = file.records[i];
    if (novrale && record.tag != first.tag)
      throw RunError(path + " line " + std::to_string(record.line) + ": tag '" + record.tag +
                     "' differs from the first record's '" + first.tag + "'");
    auto group = std::find_if(groups.begin(), groups.end(), [&](const LogGroup& g) {
      const LogRecord& opener = file.records[g.records.front()];
      return (!by_fixed_station || opener.station == record.station) &&
             distance(opener, record) <= same_baseline_m;
    });
    if (group == groups.end())
      group = groups.insert(groups.end(), {novrale ? record.station : std::string(), 0, {}});
    group->records.push_back(i);
  }
  for (LogGroup& group : groups) {
    std::vector<double> lengths;
    for (const std::size_t k : group.records) lengths.push_back(file.records[k].length);
    group.length = median(lengths);
  }
  return groups;
}

std::string logGroupName(const LogGroup& group) {
  const std::string length = lengthText(group.length) + " m";
  return group.station.empty() ? length : cp850ToUtf8(group.station) + ", " + length;
}

std::string logGroupStem(const LogGroup& group) {
  const std::string length = lengthText(group.length) + "m";
  return group.station.empty() ? length : cp850ToUtf8(group.station) + "-" + length;
}

}  // namespace velk::plot

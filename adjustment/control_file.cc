#include "adjustment/control_file.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <set>

#include "format/run_error.h"

namespace velk {
namespace {

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    std::string_view field = line.substr(start, comma - start);
    while (!field.empty() && (field.front() == ' ' || field.front() == '\t'))
      field.remove_prefix(1);
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.remove_suffix(1);
    out.push_back(field);
    if (comma == std::string_view::npos) return out;
    start = comma + 1;
  }
}

std::optional<double> realOf(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value))
    return std::nullopt;
  return value;
}

}  // namespace

std::vector<ControlStation> readControlStations(std::string_view text, const std::string& path) {
  std::vector<ControlStation> stations;
  std::set<std::string> names;
  long number = 0;
  bool first = true;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string where = path + " line " + std::to_string(number) + ": ";
    if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#') continue;
    const std::vector<std::string_view> values = fields(line);
    const bool heading = first && values.size() > 1 && !realOf(values[1]);
    first = false;
    if (heading) continue;
    if (values.size() != 4 && values.size() != 7)
      throw RunError(where + "name,X,Y,Z or name,X,Y,Z,sX,sY,sZ expected, not " +
                     std::to_string(values.size()) + " fields");
    double numbers[6] = {};
    for (std::size_t i = 1; i < values.size(); ++i) {
      const std::optional<double> value = realOf(values[i]);
      if (!value) throw RunError(where + "'" + std::string(values[i]) + "' is not a number");
      numbers[i - 1] = *value;
    }
    ControlStation station;
    station.name = std::string(values[0]);
    if (station.name.empty()) throw RunError(where + "no station name");
    if (!names.insert(station.name).second)
      throw RunError(where + station.name + " is given twice");
    station.xyz = {numbers[0], numbers[1], numbers[2]};
    if (values.size() == 7) {
      if (!(numbers[3] > 0 && numbers[4] > 0 && numbers[5] > 0))
        throw RunError(where + "sigmas must be above 0");
      station.sigma = Cartesian{numbers[3], numbers[4], numbers[5]};
    }
    stations.push_back(station);
  }
  return stations;
}

}  // namespace velk

#pragma once

// The command-line tools that read our map and grid files independently of our code:
// GDAL's ogrinfo and PROJ's cct and cs2cs. A missing tool fails the test that needs it,
// naming the package that brings it (tools/install_packages.sh tests installs them).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace velk::testing {

inline bool toolIsInstalled(const std::string& tool, const std::string& package) {
  const bool found = std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
  if (!found)
    ADD_FAILURE() << tool << " is needed to read the files back: install " << package
                  << " (tools/install_packages.sh tests)";
  return found;
}

// Standard output of a shell command.
inline std::string commandOutput(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  char buffer[4096];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
  return out;
}

// One feature as ogrinfo lists it: its attributes as text and its geometry's coordinates
// in the order written (x y pairs).
struct OgrFeature {
  std::map<std::string, std::string> attributes;
  std::string geometry_type;  // POINT, LINESTRING, POLYGON
  std::vector<double> coordinates;
  double number(const std::string& name) const { return std::stod(attributes.at(name)); }
};

// The features of every layer of a file as `ogrinfo -ro -al -q` lists them, by layer name.
inline std::map<std::string, std::vector<OgrFeature>> ogrFeatures(const std::string& path) {
  std::map<std::string, std::vector<OgrFeature>> layers;
  std::istringstream text(commandOutput("ogrinfo -ro -al -q '" + path + "' 2>&1"));
  static const std::regex layer_line(R"(^Layer name: (.*)$)");
  static const std::regex attribute_line(
      R"(^  ([A-Za-z0-9_]+) \((?:[^()]|\([^()]*\))*\) = ?(.*)$)");
  static const std::regex geometry_line(R"(^  (POINT|LINESTRING|POLYGON) (.*)$)");
  static const std::regex number(R"([-+]?[0-9]+(\.[0-9]*)?([eE][-+]?[0-9]+)?)");
  std::string layer, line;
  std::smatch match;
  while (std::getline(text, line)) {
    if (std::regex_match(line, match, layer_line)) {
      layer = match[1];
      layers[layer];
    } else if (line.rfind("OGRFeature(", 0) == 0) {
      layers[layer].emplace_back();
    } else if (std::regex_match(line, match, geometry_line)) {
      OgrFeature& feature = layers[layer].back();
      feature.geometry_type = match[1];
      const std::string coordinates = match[2];
      for (std::sregex_iterator it(coordinates.begin(), coordinates.end(), number), end; it != end;
           ++it)
        feature.coordinates.push_back(std::stod(it->str()));
    } else if (std::regex_match(line, match, attribute_line) && !layers[layer].empty()) {
      layers[layer].back().attributes[match[1]] = match[2];
    }
  }
  return layers;
}

// The features of a GeoJSON file grouped by their "layer" property.
inline std::map<std::string, std::vector<OgrFeature>> geoJsonLayers(const std::string& path) {
  std::map<std::string, std::vector<OgrFeature>> by_layer;
  for (auto& [name, features] : ogrFeatures(path))
    for (OgrFeature& feature : features)
      by_layer[feature.attributes["layer"]].push_back(std::move(feature));
  return by_layer;
}

// The numbers of each output line of a PROJ tool fed `input` (one point per line).
inline std::vector<std::vector<double>> projToolOutput(const std::string& command,
                                                       const std::string& input) {
  std::istringstream text(commandOutput("printf '%s' '" + input + "' | " + command));
  std::vector<std::vector<double>> rows;
  std::string line;
  while (std::getline(text, line)) {
    std::istringstream fields(line);
    std::vector<double> row;
    std::string field;
    while (fields >> field) row.push_back(std::strtod(field.c_str(), nullptr));
    rows.push_back(row);
  }
  return rows;
}

}  // namespace velk::testing

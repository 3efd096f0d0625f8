#pragma once

// The fields of a synthetic O-file read back at their columns, for the generator tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "geodesy/geodesy.h"

namespace velk::campaign {

// The lines of a text, carriage returns kept.
inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// Columns first to last, counted from 1, of the line padded to 80 columns.
inline std::string columns(const std::string& line, int first, int last) {
  const std::string padded = line + std::string(80, ' ');
  return padded.substr(static_cast<std::size_t>(first - 1),
                       static_cast<std::size_t>(last - first + 1));
}

// Blanks, an optional minus, digits, a point and exactly `decimals` digits.
inline bool holdsFixedPoint(const std::string& field, int decimals) {
  const std::size_t point = field.find('.');
  if (point == std::string::npos || field.size() - point - 1 != static_cast<std::size_t>(decimals))
    return false;
  std::size_t i = field.find_first_not_of(' ');
  if (i < point && field[i] == '-') ++i;
  if (i >= point) return false;
  for (std::size_t j = i; j < field.size(); ++j) {
    if (j != point && (field[j] < '0' || field[j] > '9')) return false;
  }
  return true;
}

// An F14.4 field in whole tenths of a millimetre, so that sums can be compared exactly.
inline std::int64_t tenths(const std::string& field) {
  std::string digits;
  for (char c : field) {
    if (c != ' ' && c != '.') digits += c;
  }
  return std::stoll(digits);
}

struct Triple {
  std::int64_t x, y, z;
};

// The three F14.4 fields of a mark or E1 N1 U1 line (columns 14-27, 29-42, 44-57).
inline Triple coordinateFields(const std::string& line) {
  for (int first : {14, 29, 44})
    EXPECT_TRUE(holdsFixedPoint(columns(line, first, first + 13), 4)) << line;
  return {tenths(columns(line, 14, 27)), tenths(columns(line, 29, 42)),
          tenths(columns(line, 44, 57))};
}

// The three F14.4 fields of a vector line (columns 19-32, 34-47, 49-62).
inline Triple vectorFields(const std::string& line) {
  for (int first : {19, 34, 49})
    EXPECT_TRUE(holdsFixedPoint(columns(line, first, first + 13), 4)) << line;
  return {tenths(columns(line, 19, 32)), tenths(columns(line, 34, 47)),
          tenths(columns(line, 49, 62))};
}

inline Cartesian inMetres(const Triple& t) {
  return {static_cast<double>(t.x) / 10000, static_cast<double>(t.y) / 10000,
          static_cast<double>(t.z) / 10000};
}

}  // namespace velk::campaign

#pragma once

// SINEX 2.02 (Solution INdependent EXchange format, IERS): the adjusted station
// coordinates with their full covariance, or, for a large network, the normal equations.
// Fixed columns as the format's Appendix I sets them: every data line starts with a blank,
// at most 80 characters; epochs YY:DDD:SSSSS; site codes 4 characters.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "geodesy/geodesy.h"

namespace velk {

struct SinexStation {
  std::string code;                             // the station name, at most 4 characters (ASCII)
  std::string description;                      // up to 22 characters kept
  double lon_deg = 0, lat_deg = 0, height = 0;  // approximate position for SITE/ID
  // Modified Julian dates: the first and last observation of the station, and the middle.
  double first_mjd = 0, last_mjd = 0, mean_mjd = 0;
  Cartesian apriori;  // metres
  Cartesian xyz;      // adjusted, metres
  Cartesian sigma;    // standard deviations of X, Y, Z, metres (0: held)
  bool held = false;
};

// A symmetric matrix over the parameters (3 per station: X, Y, Z in the stations' order),
// its lower triangle by rows: element (i, j), i >= j, counted from 0.
struct LowerTriangle {
  std::size_t size = 0;
  // Non-zero elements (row, column, value) with row >= column, sorted by row then column.
  struct Element {
    std::size_t row = 0, column = 0;
    double value = 0;
  };
  std::vector<Element> elements;
};

// The normal equations N dx = b of the adjustment without its datum (the observations of
// every station, held ones included), at the a priori coordinates.
struct SinexNormals {
  LowerTriangle matrix;
  std::vector<double> vector;  // b, one per parameter
};

struct SinexSolution {
  std::string agency = "VLK";  // 3 characters
  std::string description, output, software, input;
  double created_mjd = 0;                           // when the file was made
  double start_mjd = 0, end_mjd = 0, mean_mjd = 0;  // of all observations
  std::vector<SinexStation> stations;
  int observations = 0;  // components: 3 per report used (and per weighted control station)
  int unknowns = 0;
  int redundancy = 0;
  double vtpv = 0;
  double variance_factor = 0;
  // Exactly one of the two: the covariance of all parameters (m², held stations' zero), or
  // the normal equations.
  std::optional<LowerTriangle> covariance;
  std::optional<SinexNormals> normals;
};

// The whole file. Throws RunError for a station name longer than 4 characters.
std::string sinexDocument(const SinexSolution& solution);

// "YY:DDD:SSSSS" of a modified Julian date (two-digit year, day of year, seconds of day).
std::string sinexEpoch(double modified_julian_date);

}  // namespace velk

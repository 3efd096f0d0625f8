#pragma once

// Networks of known truth: synthetic O-files of baselines between stations whose true
// coordinates are known, for testing what is computed from many reports (adjustment exports,
// loop and repeat checks).
//
// Every report carries a float section and a fixed section with a ratio of at least 3. The
// fixed vector is truth(to) - truth(from) plus noise drawn from the report's own printed
// covariance C = D R D: D the printed sigmas (6 decimals), R the printed correlation rows
// (2 decimals; the identity when the network has no correlation rows), noise = L z with
// C = L L^T and z standard normal. Mark 1 is the from-station's a priori coordinates, mark 2
// is mark 1 plus the vector to the printed 0.1 mm, and E1 N1 U1 is the vector in the local
// East-North-Up frame of mark 1 as TRLOC of the geodesy library gives it. The same options
// always give the same files, byte for byte.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "geodesy/geodesy.h"
#include "tools/synthetic_campaign.h"

namespace velk::campaign {

// Stations are numbered from 0; station i is named stationName(i): "S001", "S002", ...
std::string stationName(int index);

struct StationPair {
  int from = 0;
  int to = 0;
};

// Reports with the same session number (0 or more) share one observation period, the same
// start and end; kOwnSession gives a report an observation period of its own.
inline constexpr int kOwnSession = -1;

// One report: a baseline from one station to another, measured once.
struct Measurement {
  StationPair pair;
  int session = kOwnSession;
};

// A blunder given to one report: added to its vector, hence to its mark 2, and seen in its
// E1 N1 U1 through the local frame.
struct InjectedError {
  int report = 0;          // index into NetworkOptions::measurements, from 0
  Cartesian geocentric{};  // metres, X Y Z
};

struct NetworkOptions {
  int stations = 0;                       // 2 to 999
  std::vector<Measurement> measurements;  // one report each, in this order
  std::uint64_t seed = 1;
  double spread_km = 10;  // the stations lie in a square of this side; 0.005 is 5 m
  bool correlation_rows = true;
  // Every report from a station prints as mark 1 its a priori coordinates: the truth moved by
  // up to this many metres in each of X, Y and Z, by the same amount in all its reports.
  double a_priori_offset = 0;
  LineEnds line_ends = LineEnds::kDos;
  RatioLines ratio_lines = RatioLines::kBoth;
  std::string prefix = "NT";  // two capital letters or digits that start every O-file name
  std::optional<InjectedError> error;
  // The error stays from its report on, in every later report too: a mark that moved, a
  // jump in a series of one pair measured many times.
  bool error_persists = false;
};

// Station name -> coordinates, metres, whole tenths of a millimetre.
using Coordinates = std::map<std::string, Cartesian>;

struct NetworkReport {
  std::string name;  // 8.3 name of the O-file
  std::string text;  // the whole O-file, line ends included
  std::string from, to;
};

struct Network {
  Coordinates truth;
  Coordinates a_priori;                // what each station's reports print as mark 1
  std::vector<NetworkReport> reports;  // in the order of the measurements
};

// The whole network in memory. Throws std::invalid_argument for options out of range (a
// station number outside the network, a pair from a station to itself, more than 99 reports
// in one session, an error for a report that does not exist, ...).
Network generateNetwork(const NetworkOptions& options);

// The true coordinates alone. They depend only on the seed, the number of stations and the
// spread: the measurements, the error and the other options leave them unchanged.
Coordinates networkTruth(const NetworkOptions& options);

// An error of `metres` along one axis: geocentric X, Y, Z or the East, North, Up of the local
// frame of the report's mark 1.
enum class Axis { kX, kY, kZ, kEast, kNorth, kUp };
InjectedError errorAlong(const NetworkOptions& options, int report, Axis axis, double metres);

// One line per station, "NAME X Y Z" with 4 decimals, in name order, line feeds.
std::string truthFileText(const Coordinates& truth);

struct NetworkFiles {
  std::filesystem::path list;   // names the O-files without a folder, in report order
  std::filesystem::path truth;  // truthFileText of the truth
  std::vector<std::filesystem::path> reports;
};

// Writes the O-files, the list file and the truth file into `folder` (created if need be),
// replacing files of the same names. Throws std::runtime_error when a file cannot be written.
NetworkFiles writeNetwork(const NetworkOptions& options, const std::filesystem::path& folder,
                          const std::string& listName = "NETWORK.LST",
                          const std::string& truthName = "TRUTH.TXT");

// Shapes of networks. Each pair list names every station it is given at least once.
std::vector<StationPair> ringPairs(int stations);  // 0-1, 1-2, ..., (n-1)-0
// Stations row by row; each joined to its right and lower neighbours.
std::vector<StationPair> gridPairs(int rows, int columns);
std::vector<StationPair> completePairs(int stations);  // every i-j with i < j
// A strip of n - 2 triangles: i-(i+1) and i-(i+2) for every i.
std::vector<StationPair> trianglesPairs(int stations);

// Every pair measured `repeats` times (all pairs once, then all again), each report in an
// observation period of its own.
std::vector<Measurement> measureEach(const std::vector<StationPair>& pairs, int repeats = 1);

// The measurements with consecutive groups of `size` reports sharing a session each.
std::vector<Measurement> inSessionsOf(std::vector<Measurement> measurements, int size);

}  // namespace velk::campaign

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

// Stations are numbered from 0; station i is named stationName(i): "S001", "S002", ...,
// "S999", then "T" and three base-36 digits (0-9, A-Z) counting on from 0: "T000", "T001",
// ..., "T009", "T00A", ... Names sort as their numbers, and always take 4 characters.
inline constexpr int kMaxNetworkStations = 10000;
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

// An error along one axis: geocentric X, Y, Z or the East, North, Up of a local frame.
enum class Axis { kX, kY, kZ, kEast, kNorth, kUp };

// A station that moves steadily, along one axis of its own local frame (or geocentric X, Y,
// Z). Several velocities of one station add up.
struct StationVelocity {
  int station = 0;  // from 0
  Axis axis = Axis::kEast;
  double metres_per_year = 0;
};

// K reports chosen at random (each at most once), each moved by `metres` in a direction drawn
// uniformly over the sphere: its fixed vector, and the float vector that lies around it.
struct Outliers {
  int count = 0;
  double metres = 0;
};

struct NetworkOptions {
  int stations = 0;                       // 2 to kMaxNetworkStations
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
  // This share of the reports (rounded to whole reports, chosen at random) are float only:
  // no fixed section, their float solution a few centimetres off with sigmas 4 to 10 times
  // those of a fixed one.
  double float_fraction = 0;
  // The truth is the coordinates at the reference epoch, the middle of the first report's
  // observation period; a report measures the vector between the stations where they are at
  // the middle of its own period, years counted as days / 365.25 of GPS time.
  std::vector<StationVelocity> velocities;
  // Successive observation periods this many days apart, one a day at most (0: a few
  // sessions a day, on from one day to the next or the one after).
  int every_days = 0;
  Outliers outliers;
};

// Station name -> coordinates, metres, whole tenths of a millimetre.
using Coordinates = std::map<std::string, Cartesian>;

struct NetworkReport {
  std::string name;  // 8.3 name of the O-file
  std::string text;  // the whole O-file, line ends included
  std::string from, to;
  double years = 0;  // middle of the observation period, years after the reference epoch
  bool float_only = false;
  Cartesian float_error{};  // float only: its printed float vector minus the true one, metres
  std::optional<Cartesian> outlier;  // the displacement given to an outlier, metres
};

struct Network {
  Coordinates truth;
  Coordinates a_priori;                // what each station's reports print as mark 1
  std::vector<NetworkReport> reports;  // in the order of the measurements
  std::string reference_epoch;         // "yyyy-mm-ddThh:mm:ss", GPS time
};

// The whole network in memory. Throws std::invalid_argument for options out of range (a
// station number outside the network, a pair from a station to itself, more than 99 reports
// in one session, an error for a report that does not exist, more outliers than reports,
// ...). Options left at their defaults draw nothing: adding one leaves the random draws of
// the others as they were, so a report that is neither float only nor an outlier prints the
// same with or without --float and --outliers.
Network generateNetwork(const NetworkOptions& options);

// The true coordinates alone. They depend only on the seed, the number of stations and the
// spread: the measurements, the error and the other options leave them unchanged.
Coordinates networkTruth(const NetworkOptions& options);

// An error of `metres` along one axis: geocentric X, Y, Z or the East, North, Up of the local
// frame of the report's mark 1.
InjectedError errorAlong(const NetworkOptions& options, int report, Axis axis, double metres);

// One line per station, "NAME X Y Z" with 4 decimals, in name order, line feeds.
std::string truthFileText(const Coordinates& truth);

// The station lines, then a line for each of what the options put in, each opening with a
// lower-case word, metres and metres per year with 4 decimals:
//   epoch yyyy-mm-ddThh:mm:ss          the reference epoch (with velocities only)
//   velocity NAME AXIS M_PER_YEAR      AXIS x, y, z, east, north or up, as given
//   every DAYS                         the interval between observation periods
//   float REPORT DX DY DZ              a float-only report, its float vector minus the truth
//   outlier REPORT DX DY DZ            an outlier and the displacement it was given
// REPORT is the O-file's name. With none of those options the file is the station lines only.
std::string truthFileText(const Network& network, const NetworkOptions& options);

// What a truth file holds, read back.
struct TruthFile {
  Coordinates stations;
  std::string reference_epoch;  // empty when the file has none
  struct Velocity {
    std::string station, axis;
    double metres_per_year = 0;
  };
  std::vector<Velocity> velocities;
  int every_days = 0;
  std::map<std::string, Cartesian> float_reports, outliers;  // by O-file name
};

// Throws std::invalid_argument naming the first line it cannot read.
TruthFile readTruthFile(const std::string& text);

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

#pragma once

#include <string>
#include <vector>



namespace velk::plot {

// What the checks say of a measured pair, drawn as its line's colour: the first that
// applies, from the most to the least urgent.
enum class PairStatus {
  kSuspect,  // a suspect of the loop checks
  kFlagged,  // a flag of one of its reports, of its repeat, or a flagged loop through it
  kFine,
};

struct NetworkStation {
  std::string name;  // UTF-8
  double east = 0, north = 0;  // metres in the plane of the picture
};

// A measured pair: its colour says its status, its style how it was solved (solid: at least
// one report fixed; dashed: float only), so a float pair that is suspect is dashed in the
// suspect colour.
struct NetworkLine {
  int from = 0, to = 0;  // indices into the stations
  PairStatus status = PairStatus::kFine;
  bool float_only = false;
};

// What the title counts.
struct NetworkCounts {
  int reports = 0, stations = 0, pairs = 0, loops = 0, loops_flagged = 0;
};

struct NetworkDrawing {
  std::vector<NetworkStation> stations;
  std::vector<NetworkLine> lines;
  NetworkCounts counts;
  std::string plane;  // says what the plane is: "local East-North plane of CAST (...)"
};

struct NetworkPicture {
  std::string svg;
  double width = 0, height = 0;
};

NetworkPicture drawNetwork(const NetworkDrawing& drawing);

// The longest round length (1, 2 or 5 times a power of ten, metres) not above `metres`,
// and its text: "500 m", "2 km", "0.2 m".
double roundLengthBelow(double metres);
std::string lengthText(double metres);

}  // namespace velk::plot

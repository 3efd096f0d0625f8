#include "tools/synthetic_network.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <deque>
#include <stdexcept>
#include <utility>

#include "tools/synthetic_report.h"

namespace velk::campaign {

namespace {

constexpr int kMaxStations = 999;
constexpr int kMaxReportsPerSession = 99;  // the baseline number takes two digits of the name
constexpr double kMaxSpreadKm = 2000;
constexpr double kMaxOffsetMetres = 1000;  // keeps every printed field within its width
constexpr double kMeanEarthRadius = 6378000;

void require(bool condition, const std::string& message) {
  if (!condition) throw std::invalid_argument(message);
}

// ---------------------------------------------------------------------------------------------
// Independent random streams for the parts of a network, so that changing one option (the
// measurements, the a priori offset, the error) leaves the draws of the other parts as they
// were: the truth depends on the seed, the station count and the spread alone.

enum class Stream : std::uint64_t { kStations = 1, kAPriori, kCalendar, kReports };

Random streamOf(std::uint64_t seed, Stream stream) {
  Random mixer(seed ^ (static_cast<std::uint64_t>(stream) * 0xd1b54a32d192ed03ULL));
  return Random(mixer.next());
}

// ---------------------------------------------------------------------------------------------
// Options.

bool isNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Measurements are named as the reports of the list, counted from 1.
std::string reportLabel(std::size_t measurement) {
  return "report " + std::to_string(measurement + 1);
}

void checkStationNumber(int station, int stations, std::size_t measurement) {
  require(station >= 0 && station < stations,
          reportLabel(measurement) + ": station number " + std::to_string(station) +
              " (from 0) is not in a network of " + std::to_string(stations));
}

void checkError(const NetworkOptions& options) {
  if (!options.error) return;
  const InjectedError& error = *options.error;
  require(error.report >= 0 && static_cast<std::size_t>(error.report) < options.measurements.size(),
          "the error is for " + reportLabel(static_cast<std::size_t>(error.report)) +
              ", which does not exist");
  for (double component : {error.geocentric.x, error.geocentric.y, error.geocentric.z}) {
    require(std::abs(component) <= kMaxOffsetMetres, "an error is at most 1000 m per component");
  }
}

void checkOptions(const NetworkOptions& options) {
  require(options.stations >= 2 && options.stations <= kMaxStations,
          "a network has 2 to 999 stations, not " + std::to_string(options.stations));
  require(options.spread_km > 0 && options.spread_km <= kMaxSpreadKm,
          "the spread is more than 0 and at most 2000 km");
  require(options.a_priori_offset >= 0 && options.a_priori_offset <= kMaxOffsetMetres,
          "the a priori offset is 0 to 1000 m");
  require(options.prefix.size() == 2 && isNameCharacter(options.prefix[0]) &&
              isNameCharacter(options.prefix[1]),
          "the prefix is two capital letters or digits, not \"" + options.prefix + "\"");
  for (std::size_t i = 0; i < options.measurements.size(); ++i) {
    const StationPair& pair = options.measurements[i].pair;
    checkStationNumber(pair.from, options.stations, i);
    checkStationNumber(pair.to, options.stations, i);
    require(pair.from != pair.to,
            reportLabel(i) + " joins " + stationName(pair.from) + " to itself");
  }
  checkError(options);
}

// ---------------------------------------------------------------------------------------------
// Stations: scattered over a square of the spread's side around a centre somewhere in one
// region, with a relief that grows with the spread.

struct StationSet {
  std::vector<Station> stations;  // mark: the a priori coordinates
  std::vector<Tenths> truth;
};

struct Site {
  double latitude = 0, longitude = 0, height = 0;  // radians, metres
  Vec3 exact;
};

class SiteSampler {
 public:
  SiteSampler(Random& random, const NetworkOptions& options)
      : random_(random),
        spread_(options.spread_km * 1000),
        centreLatitude_(random.uniform(43.5, 48.5) * kRadiansPerDegree),
        centreLongitude_(random.uniform(0.5, 6.5) * kRadiansPerDegree),
        baseHeight_(random.uniform(100, 600)),
        relief_(std::min(300.0, 0.05 * spread_)) {}

  Site next() {
    const double east = random_.uniform(-0.5, 0.5) * spread_;
    const double north = random_.uniform(-0.5, 0.5) * spread_;
    Site site;
    site.latitude = centreLatitude_ + north / kMeanEarthRadius;
    site.longitude = centreLongitude_ + east / (kMeanEarthRadius * std::cos(centreLatitude_));
    site.height = baseHeight_ + random_.uniform(-1, 1) * relief_;
    site.exact = geocentricFromGeographic(site.latitude, site.longitude, site.height);
    return site;
  }

  double spread() const { return spread_; }

 private:
  Random& random_;
  double spread_;
  double centreLatitude_, centreLongitude_, baseHeight_, relief_;
};

// A site not too close to those already taken; after many tries, the last one drawn.
Site placeStation(SiteSampler& sampler, const std::vector<Station>& placed, double separation) {
  constexpr int kTries = 100;
  Site site;
  for (int attempt = 0; attempt < kTries; ++attempt) {
    site = sampler.next();
    bool tooClose = false;
    for (const Station& other : placed)
      tooClose = tooClose || norm(site.exact - other.exact) < separation;
    if (!tooClose) break;
  }
  return site;
}

StationSet makeStations(const NetworkOptions& options) {
  Random random = streamOf(options.seed, Stream::kStations);
  SiteSampler sampler(random, options);
  const double separation =
      0.2 * sampler.spread() / std::sqrt(static_cast<double>(options.stations));
  StationSet result;
  for (int i = 0; i < options.stations; ++i) {
    const Site site = placeStation(sampler, result.stations, separation);
    Station station;
    station.name = stationName(i);
    station.description = "Network station " + station.name;
    station.antenna_height = random.chance(0.4) ? 0.0 : random.uniform(1.2, 1.8);
    station.height = site.height;
    station.frame = localFrameAt(site.latitude, site.longitude);
    station.exact = site.exact;
    result.truth.push_back(roundToTenths(site.exact));
    result.stations.push_back(station);
  }

  Random offsets = streamOf(options.seed, Stream::kAPriori);
  const double a = options.a_priori_offset;
  for (std::size_t i = 0; i < result.stations.size(); ++i) {
    const Vec3 offset{offsets.uniform(-a, a), offsets.uniform(-a, a), offsets.uniform(-a, a)};
    result.stations[i].mark = result.truth[i] + roundToTenths(offset);
  }
  return result;
}

Coordinates coordinatesOf(const std::vector<Station>& stations, const std::vector<Tenths>& values) {
  Coordinates coordinates;
  for (std::size_t i = 0; i < stations.size(); ++i) {
    const Vec3 metres = inMetres(values[i]);
    coordinates[stations[i].name] = {metres.x, metres.y, metres.z};
  }
  return coordinates;
}

std::vector<Tenths> marksOf(const std::vector<Station>& stations) {
  std::vector<Tenths> marks;
  for (const Station& station : stations) marks.push_back(station.mark);
  return marks;
}

// ---------------------------------------------------------------------------------------------
// Sessions: reports of one session number share its observation period and are numbered
// 1, 2, ... within it; every other report has a period of its own.

struct SessionSlot {
  SessionTime time;
  int reports = 0;
};

class SessionBook {
 public:
  explicit SessionBook(std::uint64_t seed)
      : random_(streamOf(seed, Stream::kCalendar)), calendar_(random_) {}
  SessionBook(const SessionBook&) = delete;  // the calendar holds on to random_
  SessionBook& operator=(const SessionBook&) = delete;

  // The observation period of a report of `session` and the report's number within it.
  std::pair<SessionTime, int> place(int session) {
    if (session == kOwnSession) return {nextTime(), 1};
    auto found = shared_.find(session);
    if (found == shared_.end()) found = shared_.emplace(session, SessionSlot{nextTime(), 0}).first;
    SessionSlot& slot = found->second;
    require(slot.reports < kMaxReportsPerSession,
            "session " + std::to_string(session) + " has more than 99 reports");
    return {slot.time, ++slot.reports};
  }

 private:
  SessionTime nextTime() {
    if (upcoming_.empty()) {
      for (const SessionTime& time : calendar_.nextDay()) upcoming_.push_back(time);
    }
    const SessionTime time = upcoming_.front();
    upcoming_.pop_front();
    return time;
  }

  Random random_;
  Calendar calendar_;
  std::deque<SessionTime> upcoming_;
  std::map<int, SessionSlot> shared_;
};

// ---------------------------------------------------------------------------------------------
// Solutions.

// Six decimals as printed, never 0.
double toMillionths(double value) {
  return std::max(1e-6, std::round(value * 1e6) / 1e6);
}

// The covariance as a reader builds it from the printed section: C = D R D.
Matrix3 printedCovariance(const Solution& solution) {
  const double sigma[3] = {solution.sigma_xyz.x, solution.sigma_xyz.y, solution.sigma_xyz.z};
  Matrix3 correlation;
  for (int i = 1; i <= 3; ++i) correlation(i, i) = 1;
  correlation(1, 2) = correlation(2, 1) = solution.r_xy;
  correlation(1, 3) = correlation(3, 1) = solution.r_xz;
  correlation(2, 3) = correlation(3, 2) = solution.r_yz;
  Matrix3 covariance;
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) covariance(i, j) = sigma[i - 1] * correlation(i, j) * sigma[j - 1];
  }
  return covariance;
}

// The lower triangular L with L L^T = C.
Matrix3 cholesky(const Matrix3& c) {
  Matrix3 l;
  for (int j = 1; j <= 3; ++j) {
    double pivot = c(j, j);
    for (int k = 1; k < j; ++k) pivot -= l(j, k) * l(j, k);
    if (!(pivot > 0)) throw std::logic_error("printed covariance is not positive definite");
    l(j, j) = std::sqrt(pivot);
    for (int i = j + 1; i <= 3; ++i) {
      double sum = c(i, j);
      for (int k = 1; k < j; ++k) sum -= l(i, k) * l(j, k);
      l(i, j) = sum / l(j, j);
    }
  }
  return l;
}

// L z with z standard normal: noise of covariance L L^T.
Vec3 correlatedNoise(Random& random, const Matrix3& l) {
  const double z1 = random.gaussian(), z2 = random.gaussian(), z3 = random.gaussian();
  return {l(1, 1) * z1, l(2, 1) * z1 + l(2, 2) * z2, l(3, 1) * z1 + l(3, 2) * z2 + l(3, 3) * z3};
}

// Sigmas that grow with the baseline's length, the up sigma two to three times the horizontal
// ones, and their correlations in X, Y, Z: rounded here as they are printed.
void drawPrecision(Random& random, const Station& from, const Tenths& vector, double scale,
                   bool correlationRows, Solution& solution) {
  const double kilometres = norm(inMetres(vector)) / 1000;
  const double horizontal = (0.0006 + 0.0004 * kilometres / 10) * scale;
  setPrecision(from.frame,
               {horizontal * random.uniform(0.8, 1.2), horizontal * random.uniform(0.8, 1.2),
                horizontal * random.uniform(2.0, 3.0)},
               solution);
  const Vec3& s = solution.sigma_xyz;
  solution.sigma_xyz = {toMillionths(s.x), toMillionths(s.y), toMillionths(s.z)};
  const Vec3& e = solution.sigma_enu;
  solution.sigma_enu = {toMillionths(e.x), toMillionths(e.y), toMillionths(e.z)};
  if (!correlationRows) solution.r_xy = solution.r_xz = solution.r_yz = 0;
}

// Mark 2 and E1 N1 U1 of a solution whose mark 1 and vector are set.
void placeMarks(Solution& solution) {
  solution.mark2 = solution.mark1 + solution.vector;
  const Vec3 mark1 = inMetres(solution.mark1);
  const Vec3 mark2 = inMetres(solution.mark2);
  const LocalENU local = TRLOC({mark2.x, mark2.y, mark2.z}, {mark1.x, mark1.y, mark1.z});
  solution.enu = roundToTenths(Vec3{local.e, local.n, local.u});
}

Solution fixedSolution(Random& random, const Station& from, const Tenths& trueVector,
                       bool correlationRows, const Tenths& error) {
  Solution solution;
  drawPrecision(random, from, trueVector, 1, correlationRows, solution);
  const Vec3 noise = correlatedNoise(random, cholesky(printedCovariance(solution)));
  solution.mark1 = from.mark;
  solution.vector = roundToTenths(inMetres(trueVector) + noise) + error;
  placeMarks(solution);
  solution.sigma0 = random.uniform(0.7, 1.6);
  return solution;
}

// The float solution lies a few centimetres off the fixed one, with sigmas 4 to 10 times
// larger; no test looks at it beyond its being well formed.
Solution floatSolution(Random& random, const Station& from, const Tenths& fixedVector,
                       bool correlationRows) {
  Solution solution;
  drawPrecision(random, from, fixedVector, random.uniform(4, 10), correlationRows, solution);
  const Vec3 noiseEnu{0.02 * random.normal(), 0.02 * random.normal(), 0.04 * random.normal()};
  solution.mark1 = from.mark;
  solution.vector = fixedVector + roundToTenths(toGeocentric(from.frame, noiseEnu));
  placeMarks(solution);
  solution.sigma0 = random.uniform(0.7, 1.6);
  return solution;
}

Tenths errorOf(const NetworkOptions& options, std::size_t report) {
  if (!options.error) return {};
  const auto first = static_cast<std::size_t>(options.error->report);
  if (report != first && !(options.error_persists && report > first)) return {};
  const Cartesian& error = options.error->geocentric;
  return roundToTenths(Vec3{error.x, error.y, error.z});
}

// A geocentric unit vector along `axis`; for the local axes, the row of the rotation that
// TRLOC applies at mark 1.
Vec3 unitAlong(Axis axis, const Tenths& mark1) {
  switch (axis) {
    case Axis::kX:
      return {1, 0, 0};
    case Axis::kY:
      return {0, 1, 0};
    case Axis::kZ:
      return {0, 0, 1};
    case Axis::kEast:
    case Axis::kNorth:
    case Axis::kUp:
      break;
  }
  const Vec3 metres = inMetres(mark1);
  const Geographic where = CENTRGEO({metres.x, metres.y, metres.z});
  const Matrix3 rotation = localRotation(where.lon * gradToRad(), where.lat * gradToRad());
  const int row = axis == Axis::kEast ? 1 : axis == Axis::kNorth ? 2 : 3;
  return {rotation(row, 1), rotation(row, 2), rotation(row, 3)};
}

}  // namespace

std::string stationName(int index) {
  char name[16];
  std::snprintf(name, sizeof name, "S%03d", index + 1);
  return name;
}

Network generateNetwork(const NetworkOptions& options) {
  checkOptions(options);
  const StationSet stations = makeStations(options);
  SessionBook sessions(options.seed);
  Random random = streamOf(options.seed, Stream::kReports);

  Network network;
  network.truth = coordinatesOf(stations.stations, stations.truth);
  network.a_priori = coordinatesOf(stations.stations, marksOf(stations.stations));
  for (std::size_t i = 0; i < options.measurements.size(); ++i) {
    const Measurement& measurement = options.measurements[i];
    const auto from = static_cast<std::size_t>(measurement.pair.from);
    const auto to = static_cast<std::size_t>(measurement.pair.to);
    const auto [time, baseline] = sessions.place(measurement.session);

    Report report;
    report.name = reportName(options.prefix, time, baseline);
    report.fixed = &stations.stations[from];
    report.unknown = &stations.stations[to];
    report.time = time;
    report.correlation_rows = options.correlation_rows;
    setObservationCounts(random, report);
    const Tenths trueVector = stations.truth[to] - stations.truth[from];
    report.fixed_solution = fixedSolution(random, *report.fixed, trueVector,
                                          options.correlation_rows, errorOf(options, i));
    report.float_solution = floatSolution(random, *report.fixed, report.fixed_solution->vector,
                                          options.correlation_rows);
    report.ratio = random.uniform(3.2, 45);
    report.ambiguities = random.integer(6, 11);

    network.reports.push_back({report.name,
                               reportText(report, options.line_ends, options.ratio_lines),
                               report.fixed->name, report.unknown->name});
  }
  return network;
}

Coordinates networkTruth(const NetworkOptions& options) {
  checkOptions(options);
  const StationSet stations = makeStations(options);
  return coordinatesOf(stations.stations, stations.truth);
}

InjectedError errorAlong(const NetworkOptions& options, int report, Axis axis, double metres) {
  NetworkOptions checked = options;
  checked.error = InjectedError{report, {}};
  checkOptions(checked);
  const StationSet stations = makeStations(options);
  const StationPair& pair = options.measurements[static_cast<std::size_t>(report)].pair;
  const Vec3 unit = unitAlong(axis, stations.stations[static_cast<std::size_t>(pair.from)].mark);
  return {report, {metres * unit.x, metres * unit.y, metres * unit.z}};
}

std::string truthFileText(const Coordinates& truth) {
  std::string text;
  for (const auto& [name, point] : truth) {
    text += name + ' ' + metresText(roundToTenths(point.x)) + ' ' +
            metresText(roundToTenths(point.y)) + ' ' + metresText(roundToTenths(point.z)) + '\n';
  }
  return text;
}

NetworkFiles writeNetwork(const NetworkOptions& options, const std::filesystem::path& folder,
                          const std::string& listName, const std::string& truthName) {
  const Network network = generateNetwork(options);
  std::filesystem::create_directories(folder);
  NetworkFiles files{folder / listName, folder / truthName, {}};
  std::vector<std::string> names;
  for (const NetworkReport& report : network.reports) {
    files.reports.push_back(folder / report.name);
    writeTextFile(files.reports.back(), report.text);
    names.push_back(report.name);
  }
  writeTextFile(files.list, listFileText(names, options.line_ends));
  writeTextFile(files.truth, truthFileText(network.truth));
  return files;
}

// ---------------------------------------------------------------------------------------------
// Shapes.

std::vector<StationPair> ringPairs(int stations) {
  require(stations >= 3, "a ring has at least 3 stations");
  std::vector<StationPair> pairs;
  for (int i = 0; i < stations; ++i) pairs.push_back({i, (i + 1) % stations});
  return pairs;
}

std::vector<StationPair> gridPairs(int rows, int columns) {
  require(rows >= 1 && columns >= 1 && rows * columns >= 2, "a grid has at least 2 stations");
  std::vector<StationPair> pairs;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const int here = r * columns + c;
      if (c + 1 < columns) pairs.push_back({here, here + 1});
      if (r + 1 < rows) pairs.push_back({here, here + columns});
    }
  }
  return pairs;
}

std::vector<StationPair> completePairs(int stations) {
  require(stations >= 2, "a complete network has at least 2 stations");
  std::vector<StationPair> pairs;
  for (int i = 0; i < stations; ++i) {
    for (int j = i + 1; j < stations; ++j) pairs.push_back({i, j});
  }
  return pairs;
}

std::vector<StationPair> trianglesPairs(int stations) {
  require(stations >= 3, "a strip of triangles has at least 3 stations");
  std::vector<StationPair> pairs;
  for (int i = 0; i + 1 < stations; ++i) {
    pairs.push_back({i, i + 1});
    if (i + 2 < stations) pairs.push_back({i, i + 2});
  }
  return pairs;
}

std::vector<Measurement> measureEach(const std::vector<StationPair>& pairs, int repeats) {
  require(repeats >= 1, "every pair is measured at least once");
  std::vector<Measurement> measurements;
  for (int round = 0; round < repeats; ++round) {
    for (const StationPair& pair : pairs) measurements.push_back({pair, kOwnSession});
  }
  return measurements;
}

std::vector<Measurement> inSessionsOf(std::vector<Measurement> measurements, int size) {
  require(size >= 1 && size <= kMaxReportsPerSession, "a session holds 1 to 99 reports");
  for (std::size_t i = 0; i < measurements.size(); ++i) {
    measurements[i].session = static_cast<int>(i / static_cast<std::size_t>(size));
  }
  return measurements;
}

}  // namespace velk::campaign

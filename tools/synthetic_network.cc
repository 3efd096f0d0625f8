#include "tools/synthetic_network.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <deque>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "tools/synthetic_report.h"

namespace velk::campaign {

namespace {

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

enum class Stream : std::uint64_t {
  kStations = 1,
  kAPriori,
  kCalendar,
  kReports,
  kFloat,
  kOutliers
};

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

void checkMotions(const NetworkOptions& options) {
  require(options.float_fraction >= 0 && options.float_fraction <= 1,
          "the share of float-only reports is 0 to 1");
  for (const StationVelocity& velocity : options.velocities) {
    require(velocity.station >= 0 && velocity.station < options.stations,
            "a velocity for station number " + std::to_string(velocity.station) +
                " (from 0), which is not in the network");
    require(std::abs(velocity.metres_per_year) <= 10, "a velocity is at most 10 m a year");
  }
  require(options.every_days >= 0 && options.every_days <= 3660,
          "the interval between observation periods is 0 to 3660 days");
  require(options.outliers.count >= 0 &&
              static_cast<std::size_t>(options.outliers.count) <= options.measurements.size(),
          "more outliers than reports");
  require(options.outliers.metres >= 0 && options.outliers.metres <= kMaxOffsetMetres,
          "an outlier is moved by 0 to 1000 m");
}

void checkOptions(const NetworkOptions& options) {
  require(options.stations >= 2 && options.stations <= kMaxNetworkStations,
          "a network has 2 to 10000 stations, not " + std::to_string(options.stations));
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
  checkMotions(options);
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
  SessionBook(std::uint64_t seed, int everyDays)
      : random_(streamOf(seed, Stream::kCalendar)), calendar_(random_), everyDays_(everyDays) {}
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
    if (everyDays_ > 0) return calendar_.nextEvery(everyDays_);
    if (upcoming_.empty()) {
      for (const SessionTime& time : calendar_.nextDay()) upcoming_.push_back(time);
    }
    const SessionTime time = upcoming_.front();
    upcoming_.pop_front();
    return time;
  }

  Random random_;
  Calendar calendar_;
  int everyDays_;
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

// `motion`: how far the stations moved from the reference epoch, to - from, metres.
Solution fixedSolution(Random& random, const Station& from, const Tenths& trueVector,
                       const Vec3& motion, bool correlationRows, const Tenths& error) {
  Solution solution;
  drawPrecision(random, from, trueVector, 1, correlationRows, solution);
  const Vec3 noise = correlatedNoise(random, cholesky(printedCovariance(solution)));
  solution.mark1 = from.mark;
  solution.vector = roundToTenths(inMetres(trueVector) + motion + noise) + error;
  placeMarks(solution);
  solution.sigma0 = random.uniform(0.7, 1.6);
  return solution;
}

// The float solution lies a few centimetres off the fixed one, with sigmas 4 to 10 times
// larger: optimistic, as float sigmas are, so that a float-only report often disagrees with
// the fixed ones of its pair beyond what its sigmas allow.
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

Vec3 scaled(const Vec3& v, double factor) {
  return {v.x * factor, v.y * factor, v.z * factor};
}

// The first `count` of the indices 0 to n - 1 shuffled (Fisher-Yates, stopped early).
std::vector<std::size_t> drawDistinct(Random& random, std::size_t n, std::size_t count) {
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  for (std::size_t i = 0; i < count; ++i) {
    std::swap(order[i], order[i + static_cast<std::size_t>(random.next() % (n - i))]);
  }
  order.resize(count);
  return order;
}

std::vector<bool> floatOnlyReports(const NetworkOptions& options) {
  const std::size_t n = options.measurements.size();
  std::vector<bool> floatOnly(n, false);
  if (options.float_fraction == 0) return floatOnly;
  Random random = streamOf(options.seed, Stream::kFloat);
  const auto count =
      static_cast<std::size_t>(std::llround(options.float_fraction * static_cast<double>(n)));
  for (std::size_t report : drawDistinct(random, n, count)) floatOnly[report] = true;
  return floatOnly;
}

// Report index -> displacement, whole tenths of a millimetre. The direction is uniform over
// the sphere: z uniform in [-1, 1] and the azimuth uniform (Archimedes' hat-box theorem).
std::map<std::size_t, Tenths> outlierDisplacements(const NetworkOptions& options) {
  std::map<std::size_t, Tenths> outliers;
  if (options.outliers.count == 0) return outliers;
  Random random = streamOf(options.seed, Stream::kOutliers);
  const auto count = static_cast<std::size_t>(options.outliers.count);
  for (std::size_t report : drawDistinct(random, options.measurements.size(), count)) {
    const double z = random.uniform(-1, 1);
    const double azimuth = random.uniform(0, 2 * 3.14159265358979323846);
    const double across = std::sqrt(1 - z * z);
    const Vec3 direction{across * std::cos(azimuth), across * std::sin(azimuth), z};
    outliers[report] = roundToTenths(scaled(direction, options.outliers.metres));
  }
  return outliers;
}

// Each station's velocity, geocentric metres per year.
std::vector<Vec3> stationVelocities(const NetworkOptions& options, const StationSet& stations) {
  std::vector<Vec3> velocities(stations.stations.size());
  for (const StationVelocity& velocity : options.velocities) {
    const auto station = static_cast<std::size_t>(velocity.station);
    const Vec3 unit = unitAlong(velocity.axis, stations.stations[station].mark);
    velocities[station] = velocities[station] + scaled(unit, velocity.metres_per_year);
  }
  return velocities;
}

constexpr double kDaysPerYear = 365.25;

std::string axisName(Axis axis) {
  switch (axis) {
    case Axis::kX:
      return "x";
    case Axis::kY:
      return "y";
    case Axis::kZ:
      return "z";
    case Axis::kEast:
      return "east";
    case Axis::kNorth:
      return "north";
    case Axis::kUp:
      return "up";
  }
  return "?";
}

// The shortest text that reads back as the same double.
std::string exactText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string displacementText(const Cartesian& metres) {
  return metresText(roundToTenths(metres.x)) + ' ' + metresText(roundToTenths(metres.y)) + ' ' +
         metresText(roundToTenths(metres.z));
}

Cartesian asCartesian(const Vec3& v) {
  return {v.x, v.y, v.z};
}

}  // namespace

std::string stationName(int index) {
  char name[16];
  if (index < 999) {
    std::snprintf(name, sizeof name, "S%03d", index + 1);
    return name;
  }
  static constexpr std::string_view kDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  int rest = index - 999;
  std::string text = "T000";
  for (std::size_t place = 3; place >= 1 && rest > 0; --place, rest /= 36) {
    text[place] = kDigits[static_cast<std::size_t>(rest % 36)];
  }
  return text;
}

Network generateNetwork(const NetworkOptions& options) {
  checkOptions(options);
  const StationSet stations = makeStations(options);
  SessionBook sessions(options.seed, options.every_days);
  Random random = streamOf(options.seed, Stream::kReports);
  const std::vector<bool> floatOnly = floatOnlyReports(options);
  const std::map<std::size_t, Tenths> outliers = outlierDisplacements(options);
  const std::vector<Vec3> velocities = stationVelocities(options, stations);

  Network network;
  network.truth = coordinatesOf(stations.stations, stations.truth);
  network.a_priori = coordinatesOf(stations.stations, marksOf(stations.stations));
  double referenceDays = 0;
  for (std::size_t i = 0; i < options.measurements.size(); ++i) {
    const Measurement& measurement = options.measurements[i];
    const auto from = static_cast<std::size_t>(measurement.pair.from);
    const auto to = static_cast<std::size_t>(measurement.pair.to);
    const auto [time, baseline] = sessions.place(measurement.session);
    if (i == 0) {
      referenceDays = middleDays(time);
      network.reference_epoch = middleText(time);
    }
    const double years = (middleDays(time) - referenceDays) / kDaysPerYear;
    const Vec3 motion = scaled(velocities[to], years) - scaled(velocities[from], years);
    const auto outlier = outliers.find(i);
    Tenths error = errorOf(options, i);
    if (outlier != outliers.end()) error = error + outlier->second;

    Report report;
    report.name = reportName(options.prefix, time, baseline);
    report.fixed = &stations.stations[from];
    report.unknown = &stations.stations[to];
    report.time = time;
    report.correlation_rows = options.correlation_rows;
    setObservationCounts(random, report);
    const Tenths trueVector = stations.truth[to] - stations.truth[from];
    report.fixed_solution =
        fixedSolution(random, *report.fixed, trueVector, motion, options.correlation_rows, error);
    report.float_solution = floatSolution(random, *report.fixed, report.fixed_solution->vector,
                                          options.correlation_rows);
    report.ratio = random.uniform(3.2, 45);
    report.ambiguities = random.integer(6, 11);
    // The float-only report draws as a fixed one does, so the others keep their draws.
    if (floatOnly[i]) report.fixed_solution.reset();

    NetworkReport written{report.name,
                          reportText(report, options.line_ends, options.ratio_lines),
                          report.fixed->name,
                          report.unknown->name,
                          years,
                          floatOnly[i],
                          {},
                          std::nullopt};
    if (floatOnly[i]) {
      written.float_error =
          asCartesian(inMetres(report.float_solution.vector) - (inMetres(trueVector) + motion));
    }
    if (outlier != outliers.end()) written.outlier = asCartesian(inMetres(outlier->second));
    network.reports.push_back(std::move(written));
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

std::string truthFileText(const Network& network, const NetworkOptions& options) {
  std::string text = truthFileText(network.truth);
  if (!options.velocities.empty()) text += "epoch " + network.reference_epoch + '\n';
  for (const StationVelocity& velocity : options.velocities) {
    text += "velocity " + stationName(velocity.station) + ' ' + axisName(velocity.axis) + ' ' +
            exactText(velocity.metres_per_year) + '\n';
  }
  if (options.every_days > 0) text += "every " + std::to_string(options.every_days) + '\n';
  for (const NetworkReport& report : network.reports) {
    if (report.float_only)
      text += "float " + report.name + ' ' + displacementText(report.float_error) + '\n';
  }
  for (const NetworkReport& report : network.reports) {
    if (report.outlier)
      text += "outlier " + report.name + ' ' + displacementText(*report.outlier) + '\n';
  }
  return text;
}

namespace {

Cartesian readTriple(std::istringstream& fields) {
  Cartesian point;
  fields >> point.x >> point.y >> point.z;
  return point;
}

}  // namespace

TruthFile readTruthFile(const std::string& text) {
  TruthFile truth;
  std::istringstream lines(text);
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    std::istringstream fields(line);
    std::string word, name;
    if (!(fields >> word)) continue;
    if (word == "epoch") {
      fields >> truth.reference_epoch;
    } else if (word == "velocity") {
      TruthFile::Velocity velocity;
      fields >> velocity.station >> velocity.axis >> velocity.metres_per_year;
      truth.velocities.push_back(velocity);
    } else if (word == "every") {
      fields >> truth.every_days;
    } else if (word == "float" || word == "outlier") {
      fields >> name;
      (word == "float" ? truth.float_reports : truth.outliers)[name] = readTriple(fields);
    } else {
      truth.stations[word] = readTriple(fields);
    }
    std::string rest;
    require(!fields.fail() && !(fields >> rest),
            "truth file line " + std::to_string(number) + " is not understood: " + line);
  }
  return truth;
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
  writeTextFile(files.truth, truthFileText(network, options));
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

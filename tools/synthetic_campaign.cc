#include "tools/synthetic_campaign.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace velk::campaign {

namespace {

// ---------------------------------------------------------------------------------------------
// Random numbers. Our own generator, so that a seed gives the same campaign whatever standard
// library the tool is built with.

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  // splitmix64
  std::uint64_t next() {
    state_ += 0x9e3779b97f4a7c15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

  // In [0, 1), 53 random bits.
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  double uniform(double low, double high) { return low + (high - low) * uniform(); }
  int integer(int low, int high) {
    const auto span = static_cast<std::uint64_t>(high - low + 1);
    return low + static_cast<int>(next() % span);
  }
  bool chance(double probability) { return uniform() < probability; }

  // Approximately standard normal (sum of twelve uniforms): plain arithmetic only, so the
  // value does not depend on the library's transcendental functions.
  double normal() {
    double sum = 0;
    for (int i = 0; i < 12; ++i) sum += uniform();
    return sum - 6;
  }

 private:
  std::uint64_t state_;
};

// ---------------------------------------------------------------------------------------------
// The ellipsoid of the converters: polar radius of curvature and second eccentricity held in
// single precision, a = Rp / sqrt(1 + e'^2), b = a^2 / Rp.

constexpr double kPolarCurvatureRadius = 6399593.5;
constexpr double kSecondEccentricity = 0.082094438374042510986328125;
constexpr double kSecondEccentricitySquared = kSecondEccentricity * kSecondEccentricity;
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180;

struct Vec3 {
  double x = 0, y = 0, z = 0;
};

Vec3 operator+(const Vec3& a, const Vec3& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator-(const Vec3& a, const Vec3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double dot(const Vec3& a, const Vec3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
double norm(const Vec3& v) {
  return std::sqrt(dot(v, v));
}

// Rows east, north, up of the local frame at a point of the ellipsoid.
struct LocalFrame {
  Vec3 east, north, up;
};

LocalFrame localFrameAt(double latitude, double longitude) {
  const double sinPhi = std::sin(latitude), cosPhi = std::cos(latitude);
  const double sinLambda = std::sin(longitude), cosLambda = std::cos(longitude);
  return {{-sinLambda, cosLambda, 0},
          {-sinPhi * cosLambda, -sinPhi * sinLambda, cosPhi},
          {cosPhi * cosLambda, cosPhi * sinLambda, sinPhi}};
}

// Geocentric vector -> east, north, up (x, y, z of the result).
Vec3 toLocal(const LocalFrame& frame, const Vec3& v) {
  return {dot(frame.east, v), dot(frame.north, v), dot(frame.up, v)};
}

// East, north, up -> geocentric vector: the frame is orthonormal, so its transpose.
Vec3 toGeocentric(const LocalFrame& frame, const Vec3& enu) {
  const Vec3& e = frame.east;
  const Vec3& n = frame.north;
  const Vec3& u = frame.up;
  return {e.x * enu.x + n.x * enu.y + u.x * enu.z, e.y * enu.x + n.y * enu.y + u.y * enu.z,
          e.z * enu.x + n.z * enu.y + u.z * enu.z};
}

Vec3 geocentricFromGeographic(double latitude, double longitude, double height) {
  const double cosPhi = std::cos(latitude);
  const double primeVerticalRadius =
      kPolarCurvatureRadius / std::sqrt(1 + kSecondEccentricitySquared * cosPhi * cosPhi);
  const double equatorial = (primeVerticalRadius + height) * cosPhi;
  return {equatorial * std::cos(longitude), equatorial * std::sin(longitude),
          (primeVerticalRadius / (1 + kSecondEccentricitySquared) + height) * std::sin(latitude)};
}

// ---------------------------------------------------------------------------------------------
// Coordinates as printed: whole tenths of a millimetre, so that mark 2 = mark 1 + vector holds
// exactly in the printed digits.

struct Tenths {
  std::int64_t x = 0, y = 0, z = 0;
};

std::int64_t roundToTenths(double metres) {
  return std::llround(metres * 10000);
}
Tenths roundToTenths(const Vec3& v) {
  return {roundToTenths(v.x), roundToTenths(v.y), roundToTenths(v.z)};
}
Tenths operator+(const Tenths& a, const Tenths& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 inMetres(const Tenths& t) {
  return {static_cast<double>(t.x) / 10000, static_cast<double>(t.y) / 10000,
          static_cast<double>(t.z) / 10000};
}

// ---------------------------------------------------------------------------------------------
// The network.

struct Station {
  std::string name;         // 4 characters
  std::string description;  // at most 24 characters
  double antenna_height = 0;
  double height = 0;  // above the ellipsoid, metres
  LocalFrame frame;
  Vec3 exact;   // on the ellipsoid's surface plus the station's height
  Tenths mark;  // a priori coordinates as every report prints them
};

struct Place {
  std::string_view name;
  std::string_view description;
};

constexpr std::array<Place, 24> kPlaces{{
    {"BREV", "Brevenne pillar"},    {"MONT", "Montaud church tower"},
    {"CHAU", "Chaumont reservoir"}, {"ROCH", "La Roche bolt"},
    {"PUYD", "Puy de Dome summit"}, {"LANS", "Lans cemetery wall"},
    {"VERC", "Vercors ridge"},      {"COLD", "Col de la Croix"},
    {"SERR", "Serres water tower"}, {"BAUM", "La Baume quarry"},
    {"FORT", "Fort Barraux"},       {"TOUR", "Tourette bridge"},
    {"PIER", "Pierrelatte pillar"}, {"GRAN", "Grand Bois clearing"},
    {"BOIS", "Bois Noir mast"},     {"CROI", "La Croix Haute"},
    {"MOUL", "Moulin Vieux"},       {"PONT", "Pont Royal abutment"},
    {"VILL", "Villard town hall"},  {"SAUL", "Saulce dyke"},
    {"CAST", "Castel rock"},        {"BELV", "Belvedere terrace"},
    {"PRAZ", "Praz meadow bolt"},   {"COMB", "Combe Noire"},
}};

std::vector<Station> makeNetwork(Random& random) {
  const double centreLatitude = random.uniform(43.5, 48.5);
  const double centreLongitude = random.uniform(0.5, 6.5);
  const int count = random.integer(5, 8);

  std::vector<std::size_t> order(kPlaces.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  for (std::size_t i = order.size() - 1; i > 0; --i) {
    std::swap(order[i], order[static_cast<std::size_t>(random.next() % (i + 1))]);
  }

  std::vector<Station> stations;
  while (static_cast<int>(stations.size()) < count) {
    const double latitude = (centreLatitude + random.uniform(-0.15, 0.15)) * kRadiansPerDegree;
    const double longitude = (centreLongitude + random.uniform(-0.2, 0.2)) * kRadiansPerDegree;
    const double height = random.uniform(20, 900);
    const Vec3 exact = geocentricFromGeographic(latitude, longitude, height);
    bool tooClose = false;
    for (const Station& other : stations) tooClose = tooClose || norm(exact - other.exact) < 2000;
    if (tooClose) continue;
    const Place& place = kPlaces[order[stations.size()]];
    Station station;
    station.name = place.name;
    station.description = place.description;
    station.antenna_height = random.chance(0.4) ? 0.0 : random.uniform(1.2, 1.8);
    station.height = height;
    station.frame = localFrameAt(latitude, longitude);
    station.exact = exact;
    station.mark = roundToTenths(exact);
    stations.push_back(station);
  }
  return stations;
}

// ---------------------------------------------------------------------------------------------
// Sessions: a few a day, each a few hours long, one station held fixed.

struct SessionTime {
  int year = 0;
  int day = 0;      // day of the year
  int session = 0;  // 1, 2, ... within the day
  int start_minute = 0;
  int end_minute = 0;  // minutes of the day, same day as the start
  int interval_seconds = 30;
};

bool isLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}
int daysInYear(int year) {
  return isLeapYear(year) ? 366 : 365;
}

// Month and day of the month of a day of the year.
std::pair<int, int> calendarDate(int year, int dayOfYear) {
  static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int month = 1;
  for (int days : kDays) {
    if (month == 2 && isLeapYear(year)) days = 29;
    if (dayOfYear <= days) break;
    dayOfYear -= days;
    ++month;
  }
  return {month, dayOfYear};
}

int epochCount(const SessionTime& time) {
  return (time.end_minute - time.start_minute) * 60 / time.interval_seconds + 1;
}

// ---------------------------------------------------------------------------------------------
// Reports.

struct Solution {
  Tenths mark1, vector, enu, mark2;
  Vec3 sigma_xyz;  // standard deviations, metres
  Vec3 sigma_enu;
  double r_xy = 0, r_xz = 0, r_yz = 0;  // to two decimals, as printed
  double sigma0 = 1;
};

struct Report {
  std::string name;
  const Station* fixed = nullptr;
  const Station* unknown = nullptr;
  SessionTime time;
  bool correlation_rows = false;
  int observations = 0;  // double differences used by both solutions
  int rejected = 0;
  Solution float_solution;
  std::optional<Solution> fixed_solution;
  double ratio = 0;
  int ambiguities = 0;
};

double toHundredths(double value) {
  const double rounded = std::round(value * 100) / 100;
  return rounded == 0 ? 0.0 : rounded;  // never print "-0.00"
}

// Sigmas and correlations in X, Y, Z from independent east, north and up errors: the
// covariance R^T diag(e^2, n^2, u^2) R of the local sigmas. Column i of R is geocentric axis i
// seen in the local frame.
void setPrecision(const LocalFrame& frame, const Vec3& sigmaEnu, Solution& solution) {
  const std::array<Vec3, 3> axisInLocal{Vec3{frame.east.x, frame.north.x, frame.up.x},
                                        Vec3{frame.east.y, frame.north.y, frame.up.y},
                                        Vec3{frame.east.z, frame.north.z, frame.up.z}};
  const Vec3 variances{sigmaEnu.x * sigmaEnu.x, sigmaEnu.y * sigmaEnu.y, sigmaEnu.z * sigmaEnu.z};
  auto covariance = [&](const Vec3& a, const Vec3& b) {
    return a.x * b.x * variances.x + a.y * b.y * variances.y + a.z * b.z * variances.z;
  };
  const double sx = std::sqrt(covariance(axisInLocal[0], axisInLocal[0]));
  const double sy = std::sqrt(covariance(axisInLocal[1], axisInLocal[1]));
  const double sz = std::sqrt(covariance(axisInLocal[2], axisInLocal[2]));
  solution.sigma_enu = sigmaEnu;
  solution.sigma_xyz = {sx, sy, sz};
  solution.r_xy = toHundredths(covariance(axisInLocal[0], axisInLocal[1]) / (sx * sy));
  solution.r_xz = toHundredths(covariance(axisInLocal[0], axisInLocal[2]) / (sx * sz));
  solution.r_yz = toHundredths(covariance(axisInLocal[1], axisInLocal[2]) / (sy * sz));
}

// One solution of the baseline from `fixed` to `unknown`: the true vector disturbed in the
// local frame by `noiseEnu` (metres, one sigma), with sigmas `precision` times the usual.
Solution makeSolution(Random& random, const Station& fixed, const Vec3& vector,
                      const Vec3& noiseEnu, double precision) {
  const Vec3 noise{noiseEnu.x * random.normal(), noiseEnu.y * random.normal(),
                   noiseEnu.z * random.normal()};
  Solution solution;
  solution.mark1 = fixed.mark;
  solution.vector = roundToTenths(vector + toGeocentric(fixed.frame, noise));
  solution.mark2 = solution.mark1 + solution.vector;
  solution.enu = roundToTenths(toLocal(fixed.frame, inMetres(solution.vector)));

  const double kilometres = norm(vector) / 1000;
  const double horizontal = (0.0006 + 0.0004 * kilometres / 10) * precision;
  setPrecision(fixed.frame,
               {horizontal * random.uniform(0.8, 1.2), horizontal * random.uniform(0.8, 1.2),
                horizontal * random.uniform(2.0, 3.0)},
               solution);
  solution.sigma0 = random.uniform(0.7, 1.6);
  return solution;
}

// Campaign prefix, day of the year, session, baseline within the session, then the year as
// the extension: unique across the campaign and at most 12 characters.
std::string reportName(const std::string& prefix, const SessionTime& time, int baseline) {
  char name[64];
  std::snprintf(name, sizeof name, "%.2s%03d%d%02d.%03d", prefix.c_str(), time.day, time.session,
                baseline, time.year % 1000);
  return name;
}

Report makeReport(Random& random, const std::string& prefix, const SessionTime& time, int baseline,
                  const Station& fixed, const Station& unknown) {
  Report report;
  report.name = reportName(prefix, time, baseline);
  report.fixed = &fixed;
  report.unknown = &unknown;
  report.time = time;
  report.correlation_rows = random.chance(0.5);

  const int epochs = epochCount(time);
  const int satellites = random.integer(6, 10);
  report.rejected = random.integer(0, epochs / 20 + 2);
  report.observations = epochs * (satellites - 1) - report.rejected;

  const Vec3 trueVector = unknown.exact - fixed.exact;
  const bool ambiguitiesFixed = random.chance(0.85);
  if (ambiguitiesFixed) {
    Solution fixedSolution = makeSolution(random, fixed, trueVector, {0.0015, 0.0015, 0.003}, 1);
    report.float_solution = makeSolution(random, fixed, inMetres(fixedSolution.vector),
                                         {0.02, 0.02, 0.04}, random.uniform(4, 10));
    report.fixed_solution = fixedSolution;
    report.ratio = random.uniform(2.5, 45);
    report.ambiguities = random.integer(6, 11);
  } else {
    report.float_solution =
        makeSolution(random, fixed, trueVector, {0.03, 0.03, 0.06}, random.uniform(6, 15));
  }
  return report;
}

// ---------------------------------------------------------------------------------------------
// Writing a report: every recognised field is placed at its column, counted from 1.

class Line {
 public:
  Line& at(int column, std::string_view text) {
    const auto start = static_cast<std::size_t>(column - 1);
    if (column < 1 || start + text.size() > chars_.size()) {
      throw std::logic_error("field beyond column 80: " + std::string(text));
    }
    chars_.replace(start, text.size(), text);
    return *this;
  }
  std::string text() const { return chars_.substr(0, chars_.find_last_not_of(' ') + 1); }

 private:
  std::string chars_ = std::string(80, ' ');
};

// A real right-aligned in exactly `width` characters with `decimals` decimals.
std::string fixedField(double value, int width, int decimals) {
  char field[64];
  const int length = std::snprintf(field, sizeof field, "%*.*f", width, decimals, value);
  if (length != width)
    throw std::logic_error("value too wide for its field: " + std::string(field));
  return field;
}

std::string integerField(long value, int width) {
  char field[32];
  const int length = std::snprintf(field, sizeof field, "%*ld", width, value);
  if (length != width)
    throw std::logic_error("value too wide for its field: " + std::string(field));
  return field;
}

// Tenths of a millimetre as metres with 4 decimals, digit for digit.
std::string metresField(std::int64_t tenths, int width) {
  const std::uint64_t magnitude =
      tenths < 0 ? static_cast<std::uint64_t>(-tenths) : static_cast<std::uint64_t>(tenths);
  char digits[40];
  std::snprintf(digits, sizeof digits, "%s%llu.%04llu", tenths < 0 ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned long long>(magnitude % 10000));
  const std::string number = digits;
  if (static_cast<int>(number.size()) > width) {
    throw std::logic_error("value too wide for its field: " + number);
  }
  return std::string(static_cast<std::size_t>(width) - number.size(), ' ') + number;
}

std::string twoDigits(int value) {
  char field[8];
  std::snprintf(field, sizeof field, "%02d", value);
  return field;
}

std::string hoursAndMinutes(int minuteOfDay) {
  return twoDigits(minuteOfDay / 60) + ":" + twoDigits(minuteOfDay % 60);
}

const std::string kRule(80, '=');
const std::string kThinRule(80, '-');

class ReportText {
 public:
  explicit ReportText(LineEnds lineEnds) : end_(lineEnds == LineEnds::kDos ? "\r\n" : "\n") {}
  void add(const Line& line) { add(line.text()); }
  void add(std::string_view text) {
    text_ += text;
    text_ += end_;
  }
  void blank() { add(""); }
  std::string take() { return std::move(text_); }

 private:
  std::string end_;
  std::string text_;
};

void writeTitleBlock(ReportText& out, const Report& report) {
  out.add(Line().at(1, "GPS BASELINE PROCESSING REPORT").at(60, "gpps  version 4.20"));
  out.add(kRule);
  out.add(Line().at(1, "Report file").at(27, ":").at(29, report.name));
  out.add(Line()
              .at(1, "Baseline")
              .at(27, ":")
              .at(29, report.fixed->name + " -> " + report.unknown->name));
  out.blank();
}

void writeSessionBlock(ReportText& out, const SessionTime& time) {
  out.add("SESSION");
  out.add(std::string(7, '-'));
  char code[16];
  std::snprintf(code, sizeof code, "%03d%c0", time.day, 'A' + time.session - 1);
  out.add(Line().at(1, code).at(27, "5-character session identifier"));
  out.blank();
}

void writeStationBlock(ReportText& out, const Station& station, bool heldFixed) {
  const std::string title = heldFixed ? "REFERENCE STATION DATA" : "ROVING STATION DATA";
  out.add(title);
  out.add(std::string(title.size(), '-'));
  out.add(Line().at(1, station.name).at(27, "4-character short name"));
  out.add(Line().at(1, station.description).at(27, "Station description"));
  out.add(Line().at(1, fixedField(station.antenna_height, 8, 4)).at(27, "Antenna height (m)"));
  if (heldFixed) {
    out.add("FIXED STATION : coordinates held at their a priori values");
  } else {
    out.add("UNKNOWN STATION : coordinates estimated");
  }
  out.blank();
}

Line commonTimeLine(std::string_view label, const SessionTime& time, int minuteOfDay) {
  const auto [month, day] = calendarDate(time.year, time.day);
  return Line()
      .at(1, label)
      .at(16, "(GPS time)")
      .at(27, ":")
      .at(29, integerField(time.year, 4))
      .at(33, "-" + twoDigits(month) + "-" + twoDigits(day))
      .at(40, hoursAndMinutes(minuteOfDay))
      .at(45, ":00");
}

void writeObservationPeriodBlock(ReportText& out, const SessionTime& time) {
  out.add("OBSERVATION PERIOD");
  out.add(std::string(18, '-'));
  out.add(commonTimeLine("Common start", time, time.start_minute));
  out.add(commonTimeLine("Common end", time, time.end_minute));
  out.add(Line()
              .at(1, "Epoch interval")
              .at(16, "(sec)")
              .at(24, ":")
              .at(26, fixedField(time.interval_seconds, 5, 1)));
  out.add(Line().at(1, integerField(1, 8)).at(27, "First epoch to process"));
  out.add(Line().at(1, integerField(epochCount(time), 8)).at(27, "Final epoch to process"));
  out.blank();
}

void writeProcessingOptionsBlock(ReportText& out) {
  out.add("PROCESSING OPTIONS");
  out.add(std::string(18, '-'));
  out.add(Line().at(1, "Elevation mask (deg)").at(27, "15"));
  out.add(Line().at(1, "Ephemeris").at(27, "broadcast"));
  out.add(Line().at(1, "Tropospheric model").at(27, "Saastamoinen, standard atmosphere"));
  out.add(Line().at(1, "Frequencies").at(27, "L1 + L2, ionosphere-free combination"));
  out.blank();
}

void writeObservationCountBlock(ReportText& out, const Report& report) {
  out.add(
      Line().at(1, "Observations used").at(33, ":").at(35, integerField(report.observations, 7)));
  out.add(
      Line().at(1, "Observations rejected").at(33, ":").at(35, integerField(report.rejected, 7)));
}

void writeRatioBlock(ReportText& out, RatioLines ratioLines, double ratio, int ambiguities) {
  out.add(Line()
              .at(1, "Ambiguities fixed")
              .at(33, ":")
              .at(35, integerField(ambiguities, 7) + " of" + integerField(ambiguities, 4)));
  if (ratioLines != RatioLines::kQuelmar) {
    out.add(Line()
                .at(1, "Ambiguity search")
                .at(36, "Integer research ratio")
                .at(58, ":")
                .at(59, fixedField(ratio, 8, 3)));
  }
  if (ratioLines != RatioLines::kNovrale) {
    out.add(Line()
                .at(1, "Ambiguity validation")
                .at(36, "(ratio test)")
                .at(51, "Ratio =")
                .at(60, fixedField(ratio, 6, 2)));
  }
}

Line sigmaLine(std::string_view label, double sigma) {
  return Line().at(1, label).at(10, "(m)").at(16, ":").at(18, fixedField(sigma, 10, 6));
}

void writeSigmaBlock(ReportText& out, const Solution& solution) {
  out.add(Line()
              .at(1, "  Sigma0 (a posteriori)")
              .at(26, ":")
              .at(28, fixedField(solution.sigma0, 8, 4)));
  out.add(sigmaLine("  Sigmax", solution.sigma_xyz.x));
  out.add(sigmaLine("  Sigmay", solution.sigma_xyz.y));
  out.add(sigmaLine("  Sigmaz", solution.sigma_xyz.z));
  out.add(sigmaLine("  SigmaE", solution.sigma_enu.x));
  out.add(sigmaLine("  SigmaN", solution.sigma_enu.y));
  out.add(sigmaLine("  SigmaU", solution.sigma_enu.z));
}

// The lower triangle of the X, Y, Z correlation matrix, one row per axis, fields six
// columns apart starting at column 2.
void writeCorrelationBlock(ReportText& out, const Solution& solution) {
  const std::string one = fixedField(1.0, 5, 2);
  out.add("Correlations of the baseline components");
  out.add(Line().at(6, "x").at(12, "y").at(18, "z"));
  out.add(Line().at(1, "x").at(2, one));
  out.add(Line().at(1, "y").at(2, fixedField(solution.r_xy, 5, 2)).at(8, one));
  out.add(Line()
              .at(1, "z")
              .at(2, fixedField(solution.r_xz, 5, 2))
              .at(8, fixedField(solution.r_yz, 5, 2))
              .at(14, one));
}

// The delay of a standard atmosphere, thinning with height.
double zenithDelay(const Station& station) {
  return 2.31 * (1 - station.height / 8000);
}

void writeTroposphereBlock(ReportText& out, const Report& report) {
  out.add(Line()
              .at(1, "zenith delay estimates (m)")
              .at(29, report.fixed->name)
              .at(34, fixedField(zenithDelay(*report.fixed), 7, 4))
              .at(43, report.unknown->name)
              .at(48, fixedField(zenithDelay(*report.unknown), 7, 4)));
}

void writeVectorBlock(ReportText& out, const Solution& solution) {
  const Vec3 vector = inMetres(solution.vector);
  out.add(Line()
              .at(1, " Baseline vector:")
              .at(19, metresField(solution.vector.x, 14))
              .at(34, metresField(solution.vector.y, 14))
              .at(49, metresField(solution.vector.z, 14))
              .at(64, "m"));
  out.add(Line().at(1, " Baseline length:").at(19, fixedField(norm(vector), 14, 4)).at(64, "m"));
}

Line coordinateLine(std::string_view label, const Tenths& value) {
  return Line()
      .at(1, label)
      .at(12, ":")
      .at(14, metresField(value.x, 14))
      .at(29, metresField(value.y, 14))
      .at(44, metresField(value.z, 14));
}

// Mark 2 comes last: its line closes the section.
void writeCoordinateBlock(ReportText& out, const Solution& solution) {
  out.add(coordinateLine(" Mark1_xyz", solution.mark1));
  out.add(coordinateLine(" E1 N1 U1 ", solution.enu));
  out.add(coordinateLine(" Mark2_xyz", solution.mark2));
}

struct SectionContent {
  std::string_view title;
  const Solution& solution;
  std::optional<RatioLines> ratio_lines;  // fixed section only
};

void writeSolutionSection(ReportText& out, const Report& report, const SectionContent& section) {
  out.add(section.title);
  out.add(std::string(section.title.size(), '='));
  writeObservationCountBlock(out, report);
  if (section.ratio_lines) {
    writeRatioBlock(out, *section.ratio_lines, report.ratio, report.ambiguities);
  }
  out.blank();
  writeSigmaBlock(out, section.solution);
  out.blank();
  if (report.correlation_rows) {
    writeCorrelationBlock(out, section.solution);
    out.blank();
  }
  writeTroposphereBlock(out, report);
  out.blank();
  writeVectorBlock(out, section.solution);
  writeCoordinateBlock(out, section.solution);
  out.blank();
}

void writeClosingBlock(ReportText& out, const Report& report) {
  out.add(kThinRule);
  out.add(report.fixed_solution ? "Solution status: ambiguities fixed"
                                : "Solution status: float only, ambiguities not fixed");
  out.add("End of report");
}

std::string reportText(const Report& report, const CampaignOptions& options) {
  ReportText out(options.line_ends);
  writeTitleBlock(out, report);
  writeSessionBlock(out, report.time);
  writeStationBlock(out, *report.fixed, true);
  writeStationBlock(out, *report.unknown, false);
  writeObservationPeriodBlock(out, report.time);
  writeProcessingOptionsBlock(out);
  writeSolutionSection(out, report, {"THE FLOAT SOLUTION", report.float_solution, std::nullopt});
  if (report.fixed_solution) {
    writeSolutionSection(out, report,
                         {"THE FIXED SOLUTION", *report.fixed_solution, options.ratio_lines});
  }
  writeClosingBlock(out, report);
  return out.take();
}

// ---------------------------------------------------------------------------------------------
// The campaign calendar.

class Calendar {
 public:
  explicit Calendar(Random& random)
      : random_(random), year_(random.integer(2015, 2024)), day_(random.integer(60, 300)) {}

  // The sessions of the current day, then on to a later day.
  std::vector<SessionTime> nextDay() {
    std::vector<SessionTime> sessions;
    const int count = random_.integer(2, 3);
    int minute = random_.integer(7 * 60, 9 * 60);
    for (int session = 1; session <= count; ++session) {
      SessionTime time;
      time.year = year_;
      time.day = day_;
      time.session = session;
      time.start_minute = minute;
      time.end_minute = minute + random_.integer(60, 200);
      static constexpr std::array<int, 4> kIntervals{5, 10, 15, 30};
      time.interval_seconds = kIntervals[static_cast<std::size_t>(random_.integer(0, 3))];
      sessions.push_back(time);
      minute = time.end_minute + random_.integer(20, 60);
    }
    advance(random_.chance(0.3) ? 2 : 1);
    return sessions;
  }

 private:
  void advance(int days) {
    day_ += days;
    if (day_ > daysInYear(year_)) {
      day_ -= daysInYear(year_);
      ++year_;
    }
  }

  Random& random_;
  int year_;
  int day_;
};

}  // namespace

void generateCampaign(const CampaignOptions& options,
                      const std::function<void(const GeneratedReport&)>& sink) {
  Random random(options.seed);
  const std::vector<Station> stations = makeNetwork(random);
  Calendar calendar(random);
  const auto stationCount = static_cast<int>(stations.size());

  int produced = 0;
  while (produced < options.reports) {
    for (const SessionTime& time : calendar.nextDay()) {
      const int fixedIndex = random.integer(0, stationCount - 1);
      const int rovers = random.integer(2, std::min(4, stationCount - 1));
      // The rovers are the stations that follow the fixed one, round the network.
      for (int offset = 1; offset <= rovers && produced < options.reports; ++offset) {
        const Station& fixed = stations[static_cast<std::size_t>(fixedIndex)];
        const Station& unknown =
            stations[static_cast<std::size_t>((fixedIndex + offset) % stationCount)];
        const Report report = makeReport(random, options.prefix, time, offset, fixed, unknown);
        sink({report.name, reportText(report, options)});
        ++produced;
      }
    }
  }
}

std::string listFileText(const std::vector<std::string>& names, LineEnds line_ends) {
  const std::string end = line_ends == LineEnds::kDos ? "\r\n" : "\n";
  std::string text;
  for (const std::string& name : names) text += name + end;
  return text;
}

}  // namespace velk::campaign

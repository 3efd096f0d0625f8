#include "tools/synthetic_report.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace velk::campaign {

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
// The calendar.

namespace {

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

}  // namespace

int epochCount(const SessionTime& time) {
  return (time.end_minute - time.start_minute) * 60 / time.interval_seconds + 1;
}

double middleDays(const SessionTime& time) {
  int days = 0;
  for (int year = 2000; year < time.year; ++year) days += daysInYear(year);
  return days + (time.day - 1) + (time.start_minute + time.end_minute) / 2.0 / (24 * 60);
}

std::string middleText(const SessionTime& time) {
  const auto [month, day] = calendarDate(time.year, time.day);
  const int seconds = (time.start_minute + time.end_minute) * 30;  // of the day
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.year, month, day,
                seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

Calendar::Calendar(Random& random)
    : random_(random), year_(random.integer(2015, 2024)), day_(random.integer(60, 300)) {}

SessionTime Calendar::sessionAt(int session, int startMinute) {
  SessionTime time;
  time.year = year_;
  time.day = day_;
  time.session = session;
  time.start_minute = startMinute;
  time.end_minute = startMinute + random_.integer(60, 200);
  static constexpr std::array<int, 4> kIntervals{5, 10, 15, 30};
  time.interval_seconds = kIntervals[static_cast<std::size_t>(random_.integer(0, 3))];
  return time;
}

std::vector<SessionTime> Calendar::nextDay() {
  std::vector<SessionTime> sessions;
  const int count = random_.integer(2, 3);
  int minute = random_.integer(7 * 60, 9 * 60);
  for (int session = 1; session <= count; ++session) {
    sessions.push_back(sessionAt(session, minute));
    minute = sessions.back().end_minute + random_.integer(20, 60);
  }
  advance(random_.chance(0.3) ? 2 : 1);
  return sessions;
}

SessionTime Calendar::nextEvery(int days) {
  const SessionTime time = sessionAt(1, random_.integer(7 * 60, 9 * 60));
  advance(days);
  return time;
}

void Calendar::advance(int days) {
  day_ += days;
  while (day_ > daysInYear(year_)) {
    day_ -= daysInYear(year_);
    ++year_;
  }
}

// ---------------------------------------------------------------------------------------------
// Solutions and report names.

double toHundredths(double value) {
  const double rounded = std::round(value * 100) / 100;
  return rounded == 0 ? 0.0 : rounded;  // never print "-0.00"
}

// The covariance R^T diag(e^2, n^2, u^2) R of the local sigmas. Column i of R is geocentric
// axis i seen in the local frame.
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

std::string reportName(const std::string& prefix, const SessionTime& time, int baseline) {
  char name[64];
  std::snprintf(name, sizeof name, "%.2s%03d%d%02d.%03d", prefix.c_str(), time.day, time.session,
                baseline, time.year % 1000);
  return name;
}

void setObservationCounts(Random& random, Report& report) {
  const int epochs = epochCount(report.time);
  const int satellites = random.integer(6, 10);
  report.rejected = random.integer(0, epochs / 20 + 2);
  report.observations = epochs * (satellites - 1) - report.rejected;
}

std::string metresText(std::int64_t tenths) {
  const std::uint64_t magnitude =
      tenths < 0 ? static_cast<std::uint64_t>(-tenths) : static_cast<std::uint64_t>(tenths);
  char digits[40];
  std::snprintf(digits, sizeof digits, "%s%llu.%04llu", tenths < 0 ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned long long>(magnitude % 10000));
  return digits;
}

// ---------------------------------------------------------------------------------------------
// Writing a report: every recognised field is placed at its column, counted from 1.

namespace {

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

std::string metresField(std::int64_t tenths, int width) {
  const std::string number = metresText(tenths);
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

}  // namespace

std::string reportText(const Report& report, LineEnds lineEnds, RatioLines ratioLines) {
  ReportText out(lineEnds);
  writeTitleBlock(out, report);
  writeSessionBlock(out, report.time);
  writeStationBlock(out, *report.fixed, true);
  writeStationBlock(out, *report.unknown, false);
  writeObservationPeriodBlock(out, report.time);
  writeProcessingOptionsBlock(out);
  writeSolutionSection(out, report, {"THE FLOAT SOLUTION", report.float_solution, std::nullopt});
  if (report.fixed_solution) {
    writeSolutionSection(out, report, {"THE FIXED SOLUTION", *report.fixed_solution, ratioLines});
  }
  writeClosingBlock(out, report);
  return out.take();
}

void writeTextFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace velk::campaign

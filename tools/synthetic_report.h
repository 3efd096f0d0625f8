#pragma once

// What the two synthetic generators (campaigns and networks of known truth) share: their own
// random numbers, the ellipsoid of the converters, the session calendar and the writer of an
// O-file's text. Not for use outside tools/: tests see the generators' own headers.

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/synthetic_campaign.h"

namespace velk::campaign {

// ---------------------------------------------------------------------------------------------
// Random numbers. Our own generator, so that a seed gives the same files whatever standard
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
  // value does not depend on the library's transcendental functions. Its tails stop at 6.
  double normal() {
    double sum = 0;
    for (int i = 0; i < 12; ++i) sum += uniform();
    return sum - 6;
  }

  // Standard normal (Box-Muller, cosine branch): for noise whose statistics are tested.
  double gaussian() {
    const double radius = std::sqrt(-2 * std::log(1 - uniform()));  // 1 - u is in (0, 1]
    return radius * std::cos(2 * 3.14159265358979323846 * uniform());
  }

 private:
  std::uint64_t state_;
};

// ---------------------------------------------------------------------------------------------
// Vectors and the ellipsoid of the converters: polar radius of curvature and second
// eccentricity held in single precision.

inline constexpr double kPolarCurvatureRadius = 6399593.5;
inline constexpr double kSecondEccentricity = 0.082094438374042510986328125;
inline constexpr double kSecondEccentricitySquared = kSecondEccentricity * kSecondEccentricity;
inline constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180;

struct Vec3 {
  double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(const Vec3& a, const Vec3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline double dot(const Vec3& a, const Vec3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline double norm(const Vec3& v) {
  return std::sqrt(dot(v, v));
}

// Rows east, north, up of the local frame at a point of the ellipsoid.
struct LocalFrame {
  Vec3 east, north, up;
};

LocalFrame localFrameAt(double latitude, double longitude);

// Geocentric vector -> east, north, up (x, y, z of the result).
Vec3 toLocal(const LocalFrame& frame, const Vec3& v);

// East, north, up -> geocentric vector: the frame is orthonormal, so its transpose.
Vec3 toGeocentric(const LocalFrame& frame, const Vec3& enu);

// Latitude and longitude in radians, height above the ellipsoid in metres.
Vec3 geocentricFromGeographic(double latitude, double longitude, double height);

// ---------------------------------------------------------------------------------------------
// Coordinates as printed: whole tenths of a millimetre, so that mark 2 = mark 1 + vector holds
// exactly in the printed digits.

struct Tenths {
  std::int64_t x = 0, y = 0, z = 0;
};

inline std::int64_t roundToTenths(double metres) {
  return std::llround(metres * 10000);
}
inline Tenths roundToTenths(const Vec3& v) {
  return {roundToTenths(v.x), roundToTenths(v.y), roundToTenths(v.z)};
}
inline Tenths operator+(const Tenths& a, const Tenths& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Tenths operator-(const Tenths& a, const Tenths& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 inMetres(const Tenths& t) {
  return {static_cast<double>(t.x) / 10000, static_cast<double>(t.y) / 10000,
          static_cast<double>(t.z) / 10000};
}

// Tenths of a millimetre as metres with 4 decimals, digit for digit ("-0.0503").
std::string metresText(std::int64_t tenths);

// ---------------------------------------------------------------------------------------------
// Stations and sessions.

struct Station {
  std::string name;         // 4 characters
  std::string description;  // at most 24 characters
  double antenna_height = 0;
  double height = 0;  // above the ellipsoid, metres
  LocalFrame frame;
  Vec3 exact;   // on the ellipsoid's surface plus the station's height
  Tenths mark;  // a priori coordinates as every report prints them
};

struct SessionTime {
  int year = 0;
  int day = 0;      // day of the year
  int session = 0;  // 1, 2, ... within the day
  int start_minute = 0;
  int end_minute = 0;  // minutes of the day, same day as the start
  int interval_seconds = 30;
};

int epochCount(const SessionTime& time);

// The middle of the observation period in days of GPS time since 2000-01-01 00:00.
double middleDays(const SessionTime& time);

// The middle of the observation period as "yyyy-mm-ddThh:mm:ss".
std::string middleText(const SessionTime& time);

// A few sessions a day, each a few hours long, on from a day chosen at random.
class Calendar {
 public:
  explicit Calendar(Random& random);

  // The sessions of the current day, then on to a later day.
  std::vector<SessionTime> nextDay();

  // One session on the current day, then on `days` days (1 or more).
  SessionTime nextEvery(int days);

 private:
  void advance(int days);
  SessionTime sessionAt(int session, int startMinute);

  Random& random_;
  int year_;
  int day_;
};

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

// A value rounded to two decimals as printed, never "-0.00".
double toHundredths(double value);

// Sigmas and correlations in X, Y, Z from independent east, north and up errors `sigmaEnu`
// in the frame at mark 1; the correlations rounded to two decimals.
void setPrecision(const LocalFrame& frame, const Vec3& sigmaEnu, Solution& solution);

// Campaign prefix, day of the year, session, baseline within the session, then the year as
// the extension: at most 12 characters.
std::string reportName(const std::string& prefix, const SessionTime& time, int baseline);

// Observations used and rejected over the report's session, from a satellite count drawn at
// random.
void setObservationCounts(Random& random, Report& report);

// The whole O-file, line ends included.
std::string reportText(const Report& report, LineEnds lineEnds, RatioLines ratioLines);

// Writes `text` as it stands (binary mode: the line ends are already in it); throws
// std::runtime_error when the file cannot be written.
void writeTextFile(const std::filesystem::path& path, const std::string& text);

}  // namespace velk::campaign

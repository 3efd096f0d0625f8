#include "exports/sinex.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "format/run_error.h"
#include "reading/report.h"

namespace velk {
namespace {

// printf into a std::string.
template <typename... Args>
std::string formatted(const char* format, Args... args) {
  char line[128];
  std::snprintf(line, sizeof line, format, args...);
  return line;
}

// A character field: left-justified, blank-padded or cut to `width`; "-" fills an empty one.
std::string field(std::string_view text, std::size_t width) {
  std::string out(text.substr(0, width));
  if (out.empty()) out = std::string(width, '-');
  out.resize(width, ' ');
  return out;
}

// E21.15 as SINEX writes it: a sign or blank, then 0.DDDDDDDDDDDDDDDE±XX; the mantissa below
// 1 (Fortran's E form), 15 digits: the value exact to about 1e-15 relative.
std::string fortranE(double value, int width, int digits) {
  std::string text(static_cast<std::size_t>(width), ' ');
  if (value == 0) {
    text.replace(text.size() - static_cast<std::size_t>(digits) - 5,
                 static_cast<std::size_t>(digits) + 5,
                 "." + std::string(static_cast<std::size_t>(digits), '0') + "E+00");
    return text;
  }
  // d.ddd…e±xx with digits - 1 decimals (std::to_chars: exact shortest-correct rounding,
  // and fast on the millions of elements of a covariance); the leading digit then moves
  // behind the point and the exponent up by one.
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                          std::chars_format::scientific, digits - 1);
  (void)error;
  const std::string_view scientific(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t e = scientific.find('e');
  int exponent = 0;
  std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1),
                  scientific.data() + scientific.size(), exponent);
  ++exponent;
  std::string out = value < 0 ? "-." : ".";
  out += scientific[0];
  out += scientific.substr(2, e - 2);
  out += exponent < 0 ? "E-" : "E+";
  const int magnitude = std::abs(exponent);
  out += static_cast<char>('0' + magnitude / 10 % 10);
  out += static_cast<char>('0' + magnitude % 10);
  if (out.size() >= text.size()) return out;
  text.replace(text.size() - out.size(), out.size(), out);
  return text;
}

constexpr std::string_view kTypes[] = {"STAX", "STAY", "STAZ"};

std::string siteCode(const std::string& name) {
  if (name.empty() || name.size() > 4)
    throw RunError("SINEX site codes have at most 4 characters: station '" + name +
                   "' cannot be written");
  return field(name, 4);
}

// Degrees, minutes, seconds of SITE/ID: I3, I2, F4.1 (longitude 0 to 360 east).
std::string degreesMinutesSeconds(double degrees, bool longitude) {
  if (longitude && degrees < 0) degrees += 360;
  const bool negative = degrees < 0;
  double rest = std::fabs(degrees);
  int whole = static_cast<int>(rest);
  rest = (rest - whole) * 60;
  int minutes = static_cast<int>(rest);
  double seconds = std::round((rest - minutes) * 60 * 10) / 10;
  if (seconds >= 60) {
    seconds -= 60;
    ++minutes;
  }
  if (minutes >= 60) {
    minutes -= 60;
    ++whole;
  }
  return formatted("%3d %2d %4.1f", negative ? -whole : whole, minutes, seconds);
}

void header(std::string& out, const SinexSolution& s) {
  const int parameters = static_cast<int>(3 * s.stations.size());
  // Technique P (GPS); constraint 1 (the datum of the adjustment); solution type S
  // (station coordinates).
  out += "%=SNX 2.02 " + field(s.agency, 3) + " " + sinexEpoch(s.created_mjd) + " " +
         field(s.agency, 3) + " " + sinexEpoch(s.start_mjd) + " " + sinexEpoch(s.end_mjd) + " P " +
         formatted("%05d", parameters) + " 1 S\n";
}

void fileReference(std::string& out, const SinexSolution& s) {
  out +=
      "+FILE/REFERENCE\n*INFO_TYPE_________ "
      "INFO________________________________________________________\n";
  const std::pair<const char*, const std::string*> rows[] = {{"DESCRIPTION", &s.description},
                                                             {"OUTPUT", &s.output},
                                                             {"SOFTWARE", &s.software},
                                                             {"INPUT", &s.input}};
  for (const auto& [label, text] : rows)
    out += " " + field(label, 18) + " " + field(*text, 60) + "\n";
  out += "-FILE/REFERENCE\n";
}

void siteId(std::string& out, const SinexSolution& s) {
  out += "+SITE/ID\n*CODE PT __DOMES__ T _STATION DESCRIPTION__ APPROX_LON_ APPROX_LAT_ _APP_H_\n";
  for (const SinexStation& station : s.stations)
    out += " " + siteCode(station.code) + "  A --------- P " + field(station.description, 22) +
           " " + degreesMinutesSeconds(station.lon_deg, true) + " " +
           degreesMinutesSeconds(station.lat_deg, false) + " " +
           formatted("%7.1f", station.height) + "\n";
  out += "-SITE/ID\n";
}

void solutionEpochs(std::string& out, const SinexSolution& s) {
  out += "+SOLUTION/EPOCHS\n*CODE PT SOLN T _DATA_START_ __DATA_END__ _MEAN_EPOCH_\n";
  for (const SinexStation& station : s.stations)
    out += " " + siteCode(station.code) + "  A    1 P " + sinexEpoch(station.first_mjd) + " " +
           sinexEpoch(station.last_mjd) + " " + sinexEpoch(station.mean_mjd) + "\n";
  out += "-SOLUTION/EPOCHS\n";
}

void statistics(std::string& out, const SinexSolution& s) {
  out += "+SOLUTION/STATISTICS\n*_STATISTICAL PARAMETER________ __VALUE(S)____________\n";
  const std::pair<const char*, double> rows[] = {{"NUMBER OF OBSERVATIONS", s.observations},
                                                 {"NUMBER OF UNKNOWNS", s.unknowns},
                                                 {"NUMBER OF DEGREES OF FREEDOM", s.redundancy},
                                                 {"SQUARE SUM OF RESIDUALS (VTPV)", s.vtpv},
                                                 {"VARIANCE FACTOR", s.variance_factor}};
  for (const auto& [label, value] : rows)
    out += " " + field(label, 30) + " " + fortranE(value, 22, 15) + "\n";
  out += "-SOLUTION/STATISTICS\n";
}

// The lines shared by ESTIMATE, APRIORI and NORMAL_EQUATION_VECTOR: index, type, code, point,
// solution, epoch, unit, constraint.
std::string parameterPrefix(std::size_t index, const SinexStation& station, std::size_t axis,
                            double epoch_mjd) {
  return formatted(" %5zu ", index + 1) + field(kTypes[axis], 6) + " " + siteCode(station.code) +
         "  A    1 " + sinexEpoch(epoch_mjd) + " m    " + (station.held ? "0" : "2");
}

double component(const Cartesian& c, std::size_t axis) {
  return axis == 0 ? c.x : axis == 1 ? c.y : c.z;
}

void parameterBlock(std::string& out, const SinexSolution& s, const char* title,
                    const char* value_title, int kind) {
  out += std::string("+") + title + "\n*INDEX TYPE__ CODE PT SOLN _REF_EPOCH__ UNIT S " +
         value_title + "\n";
  for (std::size_t i = 0; i < s.stations.size(); ++i) {
    const SinexStation& station = s.stations[i];
    for (std::size_t axis = 0; axis < 3; ++axis) {
      const std::size_t index = 3 * i + axis;
      std::string line = parameterPrefix(index, station, axis, s.mean_mjd) + " ";
      if (kind == 0) {
        line += fortranE(component(station.xyz, axis), 21, 15) + " " +
                fortranE(component(station.sigma, axis), 11, 6);
      } else if (kind == 1) {
        line += fortranE(component(station.apriori, axis), 21, 15) + " " + fortranE(0, 11, 6);
      } else {
        line += fortranE(s.normals->vector[index], 21, 15);
      }
      out += line + "\n";
    }
  }
  out += std::string("-") + title + "\n";
}

// Rows of the lower triangle, three values a line from the first column of a run of
// non-zero elements; a row's zeros before, between runs more than two apart, and after are
// left out.
void matrixBlock(std::string& out, const std::string& title, const LowerTriangle& matrix) {
  out += "+" + title +
         "\n*PARA1 PARA2 _______PARA2+0_______ _______PARA2+1_______ _______PARA2+2_______\n";
  const auto& e = matrix.elements;
  for (std::size_t k = 0; k < e.size();) {
    const std::size_t row = e[k].row, first = e[k].column;
    std::string line = formatted(" %5zu %5zu", row + 1, first + 1);
    std::size_t next = k;
    for (std::size_t column = first; column < first + 3 && column <= row; ++column) {
      double value = 0;
      if (next < e.size() && e[next].row == row && e[next].column == column)
        value = e[next++].value;
      line += " " + fortranE(value, 21, 14);
    }
    // Trailing zeros of the line are not written.
    while (line.size() > 12 + 22 && line.compare(line.size() - 21, 21, fortranE(0, 21, 14)) == 0)
      line.resize(line.size() - 22);
    out += line + "\n";
    k = next;
  }
  out += "-" + title + "\n";
}

}  // namespace

std::string sinexEpoch(double modified_julian_date) {
  const double day_whole = std::floor(modified_julian_date);
  long seconds = std::lround((modified_julian_date - day_whole) * 86400);
  double mjd = day_whole;
  if (seconds >= 86400) {
    seconds -= 86400;
    mjd += 1;
  }
  // The year whose 1 January is the last on or before the day.
  auto year = static_cast<std::int32_t>(1858 + (mjd + 321) / 365.2425);
  while (modifiedJulianDate({year + 1, 1, 1}, 0) <= mjd) ++year;
  while (modifiedJulianDate({year, 1, 1}, 0) > mjd) --year;
  const auto day_of_year = static_cast<long>(mjd - modifiedJulianDate({year, 1, 1}, 0)) + 1;
  return formatted("%02d:%03ld:%05ld", year % 100, day_of_year, seconds);
}

std::string sinexDocument(const SinexSolution& s) {
  std::string out;
  header(out, s);
  out += "*-------------------------------------------------------------------------------\n";
  fileReference(out, s);
  siteId(out, s);
  solutionEpochs(out, s);
  statistics(out, s);
  parameterBlock(out, s, "SOLUTION/ESTIMATE", "__ESTIMATED VALUE____ _STD_DEV___", 0);
  if (s.covariance) {
    matrixBlock(out, "SOLUTION/MATRIX_ESTIMATE L COVA", *s.covariance);
  } else if (s.normals) {
    parameterBlock(out, s, "SOLUTION/APRIORI", "__APRIORI VALUE______ _STD_DEV___", 1);
    parameterBlock(out, s, "SOLUTION/NORMAL_EQUATION_VECTOR", "__RIGHT_HAND_SIDE____", 2);
    matrixBlock(out, "SOLUTION/NORMAL_EQUATION_MATRIX L", s.normals->matrix);
  }
  out += "%ENDSNX\n";
  return out;
}

}  // namespace velk

#include "exports/gama_local.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <stdexcept>

#include "format/number_text.h"
#include "format/text_encoding.h"
#include "format/xml_writer.h"

namespace velk {
namespace {

std::string metres(double value) { return fixedTextTiesToEven(value, 4); }

// m² to mm², digits unchanged: the product by 10⁶ in binary could change the last one.
std::string squareMillimetres(double square_metres) {
  return timesPowerOfTen(exponentText(square_metres, 13), 6);
}

bool earlier(const Report& a, const Report& b) { return a.start_mjd < b.start_mjd; }

// Names the campaign by its O-files and dates, and the program that wrote the file.
std::string description(const ExportNetwork& network) {
  const auto [first_date, last_date] =
      std::minmax_element(network.reports.begin(), network.reports.end(), earlier);
  std::string held;
  for (const ExportStation& station : network.stations) {
    if (!station.held) continue;
    if (!held.empty()) held += ", ";
    held += cp850ToUtf8(station.name);
  }
  const std::size_t count = network.reports.size();
  return "GNSS baselines of " + std::to_string(count) + (count == 1 ? " report (" : " reports (") +
         fileNameToUtf8(network.reports.front().file) + " to " +
         fileNameToUtf8(network.reports.back().file) + "), observed " +
         dayMonthYearText(first_date->start_date) + " to " + dayMonthYearText(last_date->start_date) + ", " +
         std::to_string(network.stations.size()) + " stations, held " + held +
         ", variance factor " + roundTripText(network.variance_factor) +
         "; written by baselines " VELK_VERSION " export gama";
}

void writePoint(XmlWriter& xml, const ExportStation& station) {
  if (station.held) {
    xml.empty("point", {{"id", station.name},
                        {"x", metres(station.apriori.x)},
                        {"y", metres(station.apriori.y)},
                        {"z", metres(station.apriori.z)},
                        {"fix", "xyz"}});
  } else {
    xml.empty("point", {{"id", station.name}, {"adj", "xyz"}});
  }
}

void writeVector(XmlWriter& xml, const Report& report, double variance_factor) {
  xml.open("vectors");
  xml.empty("vec", {{"from", report.fixed_station},
                    {"to", report.unknown_station},
                    {"dx", metres(report.vector.x)},
                    {"dy", metres(report.vector.y)},
                    {"dz", metres(report.vector.z)}});
  // The upper triangle of the band, row by row: xx xy xz, yy yz, zz.
  const Matrix3 c = report.covariance();
  std::string elements;
  for (const auto& [i, j] : {std::pair{1, 1}, {1, 2}, {1, 3}, {2, 2}, {2, 3}, {3, 3}}) {
    if (!elements.empty()) elements += ' ';
    elements += squareMillimetres(c(i, j) * variance_factor);
  }
  xml.element("cov-mat", elements, {{"dim", "3"}, {"band", "2"}});
  xml.close();
}

}  // namespace

std::string timesPowerOfTen(std::string_view exponent_text, int power) {
  const std::size_t e = exponent_text.find('e');
  if (e == std::string_view::npos) throw std::invalid_argument("no exponent in a number text");
  const std::string_view mantissa = exponent_text.substr(0, e);
  if (mantissa.find_first_not_of("-+0.") == std::string_view::npos)
    return std::string(exponent_text);  // zero stays zero
  std::string_view digits = exponent_text.substr(e + 1);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int exponent = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
  exponent += power;
  const std::string magnitude = std::to_string(std::abs(exponent));
  return std::string(mantissa) + (exponent < 0 ? "e-" : "e+") +
         (magnitude.size() < 2 ? "0" : "") + magnitude;
}

std::string gamaLocalDocument(const ExportNetwork& network) {
  XmlWriter xml(R"(version="1.0" encoding="UTF-8")");
  xml.open("gama-local", {{"xmlns", "http://www.gnu.org/software/gama/gama-local"}});
  // The default axes and angles, written out: a mixed pair would turn y and dy but not
  // the covariances.
  xml.open("network", {{"axes-xy", "ne"}, {"angles", "left-handed"}});
  xml.element("description", XmlText::utf8(description(network)));
  // sigma-apr 1: the reported m0' is the unit-variance factor. No latitude or ellipsoid:
  // they would switch on reductions meant for terrestrial observations.
  xml.empty("parameters", {{"sigma-apr", "1"}, {"conf-pr", "0.95"}, {"sigma-act", "aposteriori"}});
  xml.open("points-observations");
  for (const ExportStation& station : network.stations) writePoint(xml, station);
  for (const Report& report : network.reports) writeVector(xml, report, network.variance_factor);
  xml.close();
  xml.close();
  xml.close();
  return std::move(xml).finish();
}

}  // namespace velk

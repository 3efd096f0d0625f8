#include "exports/dynaml.h"

#include <algorithm>
#include <array>

#include "format/number_text.h"
#include "format/text_encoding.h"
#include "format/xml_writer.h"

namespace velk {
namespace {

constexpr std::array<std::string_view, 36> kFrameLabels{
    "AGD66",         "AGD84",         "GDA94",         "GDA2020",         "ITRF1988",
    "ITRF1989",      "ITRF1990",      "ITRF1991",      "ITRF1992",        "ITRF1993",
    "ITRF1994",      "ITRF1996",      "ITRF1997",      "ITRF2000",        "ITRF2005",
    "ITRF2008",      "ITRF2014",      "ITRF2020",      "ITRF88",          "ITRF89",
    "ITRF90",        "ITRF91",        "ITRF92",        "ITRF93",          "ITRF94",
    "ITRF96",        "ITRF97",        "WGS84",         "WGS84 (G730)",    "WGS84 (G873)",
    "WGS84 (G1150)", "WGS84 (G1674)", "WGS84 (G1762)", "WGS84 (G2139)",   "WGS84 (transit)",
    "WGS84 (ensemble)",
};

// Coordinates and vector components as the reports give them: 4 decimals.
std::string metres(double value) { return fixedTextTiesToEven(value, 4); }
// Matrix elements with 14 significant digits, so that nothing of the report's is lost.
std::string squareMetres(double value) { return exponentText(value, 13); }

void openRoot(XmlWriter& xml, std::string_view type, const DynamlHeader& header) {
  xml.open("DnaXmlFormat", {{"type", type},
                            {"referenceframe", header.frame},
                            {"epoch", dayMonthYearText(header.epoch)},
                            {"xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance"},
                            {"xsi:noNamespaceSchemaLocation", "DynaML.xsd"}});
}

// The order of the elements is DynaML's and strict.
void writeStation(XmlWriter& xml, const ExportStation& station) {
  xml.open("DnaStation");
  xml.element("Name", station.name);
  xml.element("Constraints", station.held ? "CCC" : "FFF");
  xml.element("Type", "XYZ");
  xml.open("StationCoord");
  xml.element("Name", station.name);
  xml.element("XAxis", metres(station.apriori.x));
  xml.element("YAxis", metres(station.apriori.y));
  xml.element("Height", metres(station.apriori.z));  // with Type XYZ: geocentric Z
  xml.close();
  if (!station.description.empty()) xml.element("Description", station.description);
  xml.close();
}

// The order of the elements is DynaML's and strict: frame, epoch and stations placed
// after GPSBaseline would be ignored without a word.
void writeMeasurement(XmlWriter& xml, const Report& report, const ExportNetwork& network,
                      const DynamlHeader& header) {
  xml.open("DnaMeasurement");
  xml.element("Type", "G");
  xml.empty("Ignore");
  xml.element("ReferenceFrame", header.frame);
  xml.element("Epoch", dayMonthYearText(report.start_date));
  xml.element("First", report.fixed_station);
  xml.element("Second", report.unknown_station);
  xml.element("Vscale", roundTripText(network.variance_factor));
  xml.element("Pscale", "1.000");
  xml.element("Lscale", "1.000");
  xml.element("Hscale", "1.000");
  xml.element("Source", XmlText::utf8(fileNameToUtf8(report.file)));
  xml.open("GPSBaseline");
  xml.element("X", metres(report.vector.x));
  xml.element("Y", metres(report.vector.y));
  xml.element("Z", metres(report.vector.z));
  // Despite their names: the elements of the variance-covariance matrix in m², upper
  // triangle row by row.
  const Matrix3 c = report.covariance();
  xml.element("SigmaXX", squareMetres(c(1, 1)));
  xml.element("SigmaXY", squareMetres(c(1, 2)));
  xml.element("SigmaXZ", squareMetres(c(1, 3)));
  xml.element("SigmaYY", squareMetres(c(2, 2)));
  xml.element("SigmaYZ", squareMetres(c(2, 3)));
  xml.element("SigmaZZ", squareMetres(c(3, 3)));
  xml.close();
  xml.close();
}

}  // namespace

std::span<const std::string_view> dynamlFrameLabels() { return kFrameLabels; }

bool isDynamlFrameLabel(std::string_view label) {
  const auto labels = dynamlFrameLabels();
  return std::find(labels.begin(), labels.end(), label) != labels.end();
}

std::string dynamlStationFile(const ExportNetwork& network, const DynamlHeader& header) {
  XmlWriter xml(R"(version="1.0")");
  openRoot(xml, "Station File", header);
  for (const ExportStation& station : network.stations) writeStation(xml, station);
  xml.close();
  return std::move(xml).finish();
}

std::string dynamlMeasurementFile(const ExportNetwork& network, const DynamlHeader& header) {
  XmlWriter xml(R"(version="1.0")");
  openRoot(xml, "Measurement File", header);
  for (const Report& report : network.reports) writeMeasurement(xml, report, network, header);
  xml.close();
  return std::move(xml).finish();
}

}  // namespace velk

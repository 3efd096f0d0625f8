#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "exports/export_network.h"
#include "reading/report.h"

namespace velk {

// The reference frame labels that DynAdjust accepts (others, ETRS89 for one, it refuses).
std::span<const std::string_view> dynamlFrameLabels();
bool isDynamlFrameLabel(std::string_view label);

// What the two files' root elements carry; stations take them, measurements have their
// own frame (the same label) and epoch (the report's date).
struct DynamlHeader {
  std::string frame = "ITRF2014";
  CalendarDate epoch;
};

// The station file (type "Station File"): one DnaStation per station, Type XYZ with the
// geocentric X, Y, Z in XAxis, YAxis and Height, held stations constrained CCC.
std::string dynamlStationFile(const ExportNetwork& network, const DynamlHeader& header);

// The measurement file (type "Measurement File"): one DnaMeasurement of type G per report,
// its vector and its variance-covariance matrix in m², Vscale the variance factor.
std::string dynamlMeasurementFile(const ExportNetwork& network, const DynamlHeader& header);

}  // namespace velk

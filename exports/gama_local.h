#pragma once

#include <string>
#include <string_view>

#include "exports/export_network.h"

namespace velk {

// One gama-local document: held stations with their coordinates and fix="xyz", the others
// adj="xyz" without coordinates (gama-local derives them from the vectors), one <vectors>
// element per report with its covariance in mm² (times the variance factor), band 2.
std::string gamaLocalDocument(const ExportNetwork& network);

// The text of a number written as d.ddd…e±XX, times 10^power, by moving the exponent: the
// same digits, so that mm² are exactly 10⁶ times the m² that DynaML gets.
std::string timesPowerOfTen(std::string_view exponent_text, int power);

}  // namespace velk

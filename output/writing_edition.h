#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "format/record_layout.h"

namespace velk {

// One block of the output file, written by one writer over every entry of the table.
enum class OutputSection { RattData, Station, Vector, VectorCovariance, Log };

// The values a component line of the vector file can carry, named after what they hold.
enum class ComponentValue {
  RecordCode,  // 12, 13 or 14
  FixedStation,
  UnknownStation,
  Component,  // dx, dy or dz
  Sigma,      // sigma_x, sigma_y or sigma_z
  ZeroInteger,
  DayNumber,
  StartTime,
  EndTime,
  SolutionKind,  // at the edition's width
  Name,
  Ratio,
};

// One component line (X, Y or Z): its layout and the values it is given, in layout order.
// A line given fewer values than its layout has fields ends early.
struct ComponentLine {
  RecordLayout layout;
  std::vector<ComponentValue> values;
};

// The values a LOG record can carry.
enum class LogValue {
  Year,
  MidEpoch,
  First,  // east or dX, as the variant chooses
  FirstSigma,
  Second,
  SecondSigma,
  Third,
  ThirdSigma,
  Length,
  Sigma3D,
  SolutionKind,  // at the edition's width
  RatioFloor,    // the ratio truncated toward zero
  Ratio,
  Tag,
  Station,  // the entry's fixed station or the principal point's name
  Name,
  FileNameCode,
};

// Where the three components of a LOG record come from.
enum class LogComponents {
  AsReported,            // enu1_e, enu1_n, enu1_u with the sigmas rotated into the local frame
  AroundPrincipalPoint,  // the vector laid off from the principal point, in its local frame
  Geocentric,            // dx, dy, dz with sigma_x, sigma_y, sigma_z
};

// What a LOG variant shows on the console before its records.
enum class LogConsoleHeader {
  None,
  Dash,            // one free-form "-"
  PrincipalPoint,  // the principal point's geocentric, geographic and local coordinates
};

// One LOG output type of one edition.
struct LogVariant {
  LogComponents components;
  LogConsoleHeader console_header;
  std::string_view tag;             // 8 characters, for layouts that carry a tag
  bool station_is_principal_point;  // the station column: principal point or entry's own
  bool warns_foreign_origin;        // "-> Attention Pb station origine" before such entries
};

// What the two editions write differently into the output file: layouts, column choices,
// the choice of sections and the LOG variants. Filled per edition in run/editions.cc.
struct WritingEdition {
  int solution_kind_width;  // 2 (novrale) or 4 (quelmar)

  RecordLayout ratt_data_record;
  bool ratt_data_station_numbers;  // novrale writes two station numbers (always 0)

  std::array<ComponentLine, 3> component_lines;  // X, Y, Z

  RecordLayout log_record;
  std::vector<LogValue> log_values;
  std::optional<double> max_sigma3D;       // entries at or above it get no LOG record
  std::array<LogVariant, 3> log_variants;  // output types 4, 5, 6

  // The sections of output types 0 to 6, in the order they are written.
  std::array<std::vector<OutputSection>, 7> sections;

  // Every output type outside 1 to 6 writes what type 0 writes.
  const std::vector<OutputSection>& sectionsFor(std::int32_t output_type) const {
    const bool tabled = output_type >= 1 && output_type <= 6;
    return sections[tabled ? static_cast<std::size_t>(output_type) : 0];
  }
};

}  // namespace velk

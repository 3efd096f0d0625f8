// The vector and vector-covariance files.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "output/writers.h"

namespace velk {
namespace {

constexpr std::int32_t kFullVectorCode = 11;
// Two integer columns of every component line that the adjustment reads but this system
// never fills.
constexpr std::int32_t kZeroInteger = 0;

// The component lines of both editions have 14 values at most.
constexpr std::size_t kMostComponentValues = 24;

// One geocentric axis of a baseline: its record code, component and standard deviation.
struct Axis {
  std::int32_t record_code;
  double component;
  double sigma;
};

// The record codes of the X, Y and Z lines.
constexpr std::array<std::int32_t, 3> kRecordCodes{12, 13, 14};

std::array<Axis, 3> axesOf(const BaselineRecord& entry) {
  return {{{kRecordCodes[0], entry.dx, entry.sigma_x},
           {kRecordCodes[1], entry.dy, entry.sigma_y},
           {kRecordCodes[2], entry.dz, entry.sigma_z}}};
}

// A component line made ready for the whole file: its record code and zero columns, the
// same in every record of the line, are constants of its layout, written once.
struct PreparedLine {
  RecordLayout layout;
  std::vector<ComponentValue> values;  // those that change from record to record
};

PreparedLine prepare(const ComponentLine& line, std::int32_t record_code) {
  std::vector<ConstantField> constants;
  std::vector<ComponentValue> values;
  for (std::size_t field = 0; field < line.values.size(); ++field) {
    switch (line.values[field]) {
      case ComponentValue::RecordCode:
        constants.push_back({field, record_code});
        break;
      case ComponentValue::ZeroInteger:
        constants.push_back({field, kZeroInteger});
        break;
      default:
        values.push_back(line.values[field]);
        break;
    }
  }
  return {RecordLayout(line.layout.notation(), constants), std::move(values)};
}

FieldValue componentValue(ComponentValue which, const BaselineRecord& entry, const Axis& axis,
                          const WritingEdition& edition) {
  switch (which) {
    case ComponentValue::RecordCode:
      return axis.record_code;
    case ComponentValue::FixedStation:
      return entry.fixed_station.view();
    case ComponentValue::UnknownStation:
      return entry.unknown_station.view();
    case ComponentValue::Component:
      return axis.component;
    case ComponentValue::Sigma:
      return axis.sigma;
    case ComponentValue::ZeroInteger:
      return kZeroInteger;
    case ComponentValue::DayNumber:
      return entry.day_number;
    case ComponentValue::StartTime:
      return entry.start_time.view();
    case ComponentValue::EndTime:
      return entry.end_time.view();
    case ComponentValue::SolutionKind:
      return solutionKind(entry, edition.solution_kind_width);
    case ComponentValue::Name:
      return entry.name.view();
    case ComponentValue::Ratio:
      return entry.ratio;
  }
  throw LayoutMismatch("unknown component line value");
}

void writeComponentLine(RecordSink& file, const PreparedLine& line, const BaselineRecord& entry,
                        const Axis& axis, const WritingEdition& edition) {
  FieldValueList<kMostComponentValues> values;
  if (line.values.size() > values.capacity())
    throw LayoutMismatch("a component line with more than " +
                         std::to_string(kMostComponentValues) + " values");
  for (const ComponentValue which : line.values)
    values.push_back(componentValue(which, entry, axis, edition));
  writeRecord(file, line.layout, values.values());
}

}  // namespace

void writeVectorFile(RecordSink& file, const BaselineTable& table, const WritingEdition& edition) {
  const std::array<PreparedLine, 3> lines{prepare(edition.component_lines[0], kRecordCodes[0]),
                                          prepare(edition.component_lines[1], kRecordCodes[1]),
                                          prepare(edition.component_lines[2], kRecordCodes[2])};
  for (const BaselineRecord& entry : table.entries()) {
    const std::array<Axis, 3> axes = axesOf(entry);
    for (std::size_t i = 0; i < axes.size(); ++i)
      writeComponentLine(file, lines[i], entry, axes[i], edition);
  }
}

// The off-diagonal terms are the covariances the record holds; only the diagonal is
// formed here, from the standard deviations.
void writeVectorCovarianceFile(RecordSink& file, const BaselineTable& table) {
  static const RecordLayout kVectorRecord{"(I2,2X,A4,2X,A4,4(1X,F12.4))",
                                          {{0, kFullVectorCode}}};
  static const RecordLayout kCovarianceRecord{"(1X,6(1X,E10.4))"};
  for (const BaselineRecord& e : table.entries()) {
    writeRecord(file, kVectorRecord,
                {e.fixed_station.view(), e.unknown_station.view(), e.dx, e.dy, e.dz, e.length});
    writeRecord(file, kCovarianceRecord,
                {e.sigma_x * e.sigma_x, e.cov_xy, e.cov_xz, e.sigma_y * e.sigma_y, e.cov_yz,
                 e.sigma_z * e.sigma_z});
  }
}

}  // namespace velk

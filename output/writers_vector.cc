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

// The most values a component line is given: room beyond the 14 of the longest line of
// either edition. A longer line is refused (LayoutMismatch) when it is written.
constexpr std::size_t kMostComponentValues = 24;

// One geocentric axis of a baseline: its component and standard deviation.
struct Axis {
  double component;
  double sigma;
};

// The record codes of the X, Y and Z lines.
constexpr std::array<std::int32_t, 3> kRecordCodes{12, 13, 14};

std::array<Axis, 3> axesOf(const BaselineRecord& entry) {
  return {{{entry.dx, entry.sigma_x}, {entry.dy, entry.sigma_y}, {entry.dz, entry.sigma_z}}};
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

// The values a prepared component line can carry, by name, for one entry: those of the
// entry made once for its three lines, those of the axis for each. The record code and
// the zero columns are constants of the prepared layouts, not values.
class ComponentValues {
 public:
  ComponentValues(const BaselineRecord& entry, const WritingEdition& edition) {
    set(ComponentValue::FixedStation, entry.fixed_station.view());
    set(ComponentValue::UnknownStation, entry.unknown_station.view());
    set(ComponentValue::DayNumber, entry.day_number);
    set(ComponentValue::StartTime, entry.start_time.view());
    set(ComponentValue::EndTime, entry.end_time.view());
    set(ComponentValue::SolutionKind, solutionKind(entry, edition.solution_kind_width));
    set(ComponentValue::Name, entry.name.view());
    set(ComponentValue::Ratio, entry.ratio);
  }
  void setAxis(const Axis& axis) {
    set(ComponentValue::Component, axis.component);
    set(ComponentValue::Sigma, axis.sigma);
  }
  const FieldValue& operator[](ComponentValue which) const {
    return values_[static_cast<std::size_t>(which)];
  }

 private:
  void set(ComponentValue which, const FieldValue& value) {
    values_[static_cast<std::size_t>(which)] = value;
  }
  // Every value a prepared line takes is set before it is written.
  static constexpr std::size_t kCount = static_cast<std::size_t>(ComponentValue::Ratio) + 1;
  std::array<FieldValue, kCount> values_;
};

void writeComponentLine(RecordSink& file, const PreparedLine& line, const ComponentValues& all) {
  FieldValueList<kMostComponentValues> values;
  if (line.values.size() > values.capacity())
    throw LayoutMismatch("a component line with more than " +
                         std::to_string(kMostComponentValues) + " values");
  for (const ComponentValue which : line.values) values.push_back(all[which]);
  writeRecord(file, line.layout, values.values());
}

}  // namespace

void writeVectorFile(RecordSink& file, const BaselineTable& table, const WritingEdition& edition) {
  const std::array<PreparedLine, 3> lines{prepare(edition.component_lines[0], kRecordCodes[0]),
                                          prepare(edition.component_lines[1], kRecordCodes[1]),
                                          prepare(edition.component_lines[2], kRecordCodes[2])};
  for (const BaselineRecord& entry : table.entries()) {
    const std::array<Axis, 3> axes = axesOf(entry);
    ComponentValues values(entry, edition);
    for (std::size_t i = 0; i < axes.size(); ++i) {
      values.setAxis(axes[i]);
      writeComponentLine(file, lines[i], values);
    }
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

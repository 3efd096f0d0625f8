// The vector and vector-covariance files.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

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

std::array<Axis, 3> axesOf(const BaselineRecord& entry) {
  return {{{12, entry.dx, entry.sigma_x},
           {13, entry.dy, entry.sigma_y},
           {14, entry.dz, entry.sigma_z}}};
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

void writeComponentLine(RecordSink& file, const ComponentLine& line, const BaselineRecord& entry,
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
  for (const BaselineRecord& entry : table.entries()) {
    const std::array<Axis, 3> axes = axesOf(entry);
    for (std::size_t i = 0; i < axes.size(); ++i) {
      writeComponentLine(file, edition.component_lines[i], entry, axes[i], edition);
    }
  }
}

// The off-diagonal terms are the covariances the record holds; only the diagonal is
// formed here, from the standard deviations.
void writeVectorCovarianceFile(RecordSink& file, const BaselineTable& table) {
  static const RecordLayout kVectorRecord{"(I2,2X,A4,2X,A4,4(1X,F12.4))"};
  static const RecordLayout kCovarianceRecord{"(1X,6(1X,E10.4))"};
  for (const BaselineRecord& e : table.entries()) {
    writeRecord(file, kVectorRecord,
                {kFullVectorCode, e.fixed_station.view(), e.unknown_station.view(), e.dx, e.dy,
                 e.dz, e.length});
    writeRecord(file, kCovarianceRecord,
                {e.sigma_x * e.sigma_x, e.cov_xy, e.cov_xz, e.sigma_y * e.sigma_y, e.cov_yz,
                 e.sigma_z * e.sigma_z});
  }
}

}  // namespace velk

// The LOG files: one record per baseline with its date, three components and their
// standard deviations, the length with sigma3D, the solution kind and the ratio.

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "geodesy/geodesy.h"
#include "geodesy/local_frame.h"
#include "output/writers.h"

namespace velk {
namespace {

constexpr std::string_view kForeignOriginWarning = "-> Attention Pb station origine";

// The origin of the local frame of LOG cartesien: mark 1 of the first baseline read.
struct PrincipalPoint {
  std::string_view name;
  Cartesian origin;
  LocalFrame frame;  // at the origin, worked out once for every record
};

// What one record shows beyond the entry's own fields.
struct LogLine {
  std::array<double, 3> components;
  std::array<double, 3> sigmas;
  double sigma3D;
  std::string_view station;
};

// The local frames of the stations met, kept while a file is written: a campaign measures
// from few stations, and each frame costs arc tangents, sines and cosines. A frame is
// taken again only for the same coordinates bit for bit, so it is the one TRCOVI would
// build.
class FrameCache {
 public:
  const LocalFrame& at(const Cartesian& origin) {
    for (const Kept& kept : kept_)
      if (sameBits(kept.origin.x, origin.x) && sameBits(kept.origin.y, origin.y) &&
          sameBits(kept.origin.z, origin.z))
        return kept.frame;
    if (kept_.size() == kMostKept) kept_.erase(kept_.begin());
    kept_.push_back({origin, LocalFrame(origin)});
    return kept_.back().frame;
  }

 private:
  static bool sameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
  }
  static constexpr std::size_t kMostKept = 16;
  struct Kept {
    Cartesian origin;
    LocalFrame frame;
  };
  std::vector<Kept> kept_;
};

// The values of a LOG record are gathered on the stack; the editions have 15.
constexpr std::size_t kMostLogValues = 32;

// What stays the same for every record of the file.
struct LogContext {
  const WritingEdition& edition;
  const LogVariant& variant;
  std::optional<PrincipalPoint> principal_point;
  std::string_view file_name_code;
  FrameCache& frames;
};

const LogVariant& logVariantFor(const WritingEdition& edition, std::int32_t output_type) {
  if (output_type < 4 || output_type > 6) {
    throw std::invalid_argument("no LOG file for this output type");
  }
  return edition.log_variants[static_cast<std::size_t>(output_type - 4)];
}

Cartesian mark1Of(const BaselineRecord& entry) {
  return {entry.mark1_x, entry.mark1_y, entry.mark1_z};
}

std::optional<PrincipalPoint> principalPointOf(std::span<const BaselineRecord> entries) {
  if (entries.empty()) return std::nullopt;
  const Cartesian origin = mark1Of(entries.front());
  return PrincipalPoint{entries.front().fixed_station.view(), origin, LocalFrame(origin)};
}

// Standard deviations on the diagonal (not variances), the stored covariances off it.
Matrix3 covarianceXYZ(const BaselineRecord& entry) {
  Matrix3 m;
  m(1, 1) = entry.sigma_x;
  m(2, 2) = entry.sigma_y;
  m(3, 3) = entry.sigma_z;
  m(1, 2) = m(2, 1) = entry.cov_xy;
  m(1, 3) = m(3, 1) = entry.cov_xz;
  m(2, 3) = m(3, 2) = entry.cov_yz;
  return m;
}

// de, dn, du: the diagonal of the matrix rotated into the frame of the entry's own mark 1,
// taken as it stands (no square root).
std::array<double, 3> localSigmas(const BaselineRecord& entry, FrameCache& frames) {
  // TRCOVI, with the frame of mark 1 kept from an earlier record of the same station.
  const Matrix3 enu = ABAT(frames.at(mark1Of(entry)).rotation(), covarianceXYZ(entry));
  return {enu(1, 1), enu(2, 2), enu(3, 3)};
}

// The entry's vector laid off from the principal point, in the principal point's frame.
std::array<double, 3> aroundPrincipalPoint(const BaselineRecord& entry,
                                           const PrincipalPoint& principal) {
  const Cartesian& origin = principal.origin;
  const Cartesian end_point{entry.dx + origin.x, entry.dy + origin.y, entry.dz + origin.z};
  // As TRLOC turns it: the end point less the origin, in the origin's frame.
  const LocalENU local = principal.frame.components(
      {end_point.x - origin.x, end_point.y - origin.y, end_point.z - origin.z});
  return {local.e, local.n, local.u};
}

LogLine logLineOf(const BaselineRecord& entry, double sigma, const LogContext& context) {
  const std::string_view station = context.variant.station_is_principal_point
                                       ? context.principal_point->name
                                       : entry.fixed_station.view();
  switch (context.variant.components) {
    case LogComponents::AsReported:
      return {{entry.enu1_e, entry.enu1_n, entry.enu1_u},
              localSigmas(entry, context.frames),
              sigma,
              station};
    case LogComponents::AroundPrincipalPoint:
      return {aroundPrincipalPoint(entry, *context.principal_point),
              localSigmas(entry, context.frames),
              sigma,
              station};
    case LogComponents::Geocentric:
      return {{entry.dx, entry.dy, entry.dz},
              {entry.sigma_x, entry.sigma_y, entry.sigma_z},
              sigma,
              station};
  }
  throw std::invalid_argument("unknown LOG components");
}

// The ratio truncated toward zero. A ratio that no 32-bit integer holds (or no number at
// all) is given as the widest integer there is, which overflows the narrow I field of the
// record and so shows as asterisks.
std::int32_t ratioFloor(double ratio) {
  constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
  const double truncated = std::trunc(ratio);
  if (truncated >= kLowest && truncated <= kHighest) return static_cast<std::int32_t>(truncated);
  return truncated < 0 ? std::numeric_limits<std::int32_t>::min()
                       : std::numeric_limits<std::int32_t>::max();
}

FieldValue logValue(LogValue which, const BaselineRecord& entry, const LogLine& line,
                    const LogContext& context) {
  switch (which) {
    case LogValue::Year:
      return entry.year;
    case LogValue::MidEpoch:
      return entry.mid_epoch;
    case LogValue::First:
      return line.components[0];
    case LogValue::FirstSigma:
      return line.sigmas[0];
    case LogValue::Second:
      return line.components[1];
    case LogValue::SecondSigma:
      return line.sigmas[1];
    case LogValue::Third:
      return line.components[2];
    case LogValue::ThirdSigma:
      return line.sigmas[2];
    case LogValue::Length:
      return entry.length;
    case LogValue::Sigma3D:
      return line.sigma3D;
    case LogValue::SolutionKind:
      return solutionKind(entry, context.edition.solution_kind_width);
    case LogValue::RatioFloor:
      return ratioFloor(entry.ratio);
    case LogValue::Ratio:
      return entry.ratio;
    case LogValue::Tag:
      return context.variant.tag;
    case LogValue::Station:
      return line.station;
    case LogValue::Name:
      return entry.name.view();
    case LogValue::FileNameCode:
      return context.file_name_code;
  }
  throw std::invalid_argument("unknown LOG value");
}

bool passesPrecisionLimit(double sigma, const WritingEdition& edition) {
  return !edition.max_sigma3D || sigma < *edition.max_sigma3D;
}

void writeLogEntry(RecordSink& file, const BaselineRecord& entry, const LogContext& context) {
  if (context.variant.warns_foreign_origin &&
      entry.fixed_station.view() != context.principal_point->name) {
    writeFreeForm(file, kForeignOriginWarning);
  }
  const double sigma = sigma3D(entry.sigma_x, entry.sigma_y, entry.sigma_z);
  if (!passesPrecisionLimit(sigma, context.edition)) return;
  const LogLine line = logLineOf(entry, sigma, context);
  FieldValueList<kMostLogValues> values;
  for (const LogValue which : context.edition.log_values)
    values.push_back(logValue(which, entry, line, context));
  writeRecord(file, context.edition.log_record, values.values());
}

void writePrincipalPointHeader(RecordSink& console, const PrincipalPoint& principal,
                               const BaselineRecord& first_entry) {
  static const RecordLayout kGeocentric{
      "(5X,A4,2X,' Xg  = ',F13.4,'  Yg  = ',F13.4,'  Zg  = ',F13.4)"};
  static const RecordLayout kGeographic{"(11X,' Long= ',F13.8,'  Lat = ',F13.8,'   He = ',F8.3)"};
  static const RecordLayout kLocal{"(11X,' U0  = ',F13.4,'  V0  = ',F13.4,'   W0 = ',F13.4)"};
  static const RecordLayout kUnknownStation{"(A)"};
  // The principal point is the origin of its own frame.
  constexpr double kOwnLocalCoordinate = 0.0;

  const Cartesian& origin = principal.origin;
  const Geographic geographic = CENTRGEO(origin);
  writeFreeForm(console, "-");
  writeFreeForm(console, "-- Coordonnees locales (Est-Nord-Z), dE,dN,dU (m):");
  writeFreeForm(console, "   --------------------------------- cartesiens --");
  writeFreeForm(console, " - ");
  writeFreeForm(console, " Coord.geocentriques, ellipsoidiques et locales du     point principal:");
  writeRecord(console, kGeocentric, {principal.name, origin.x, origin.y, origin.z});
  writeRecord(console, kGeographic,
              {geographic.lon * kDegreesPerGrad, geographic.lat * kDegreesPerGrad, geographic.h});
  writeRecord(console, kLocal, {kOwnLocalCoordinate, kOwnLocalCoordinate, kOwnLocalCoordinate});
  writeRecord(console, kUnknownStation, {first_entry.unknown_station.view()});
}

// Without an entry there is no principal point to show, so LOG cartesien shows nothing.
void writeConsoleHeader(RecordSink& console, const LogContext& context,
                        std::span<const BaselineRecord> entries) {
  switch (context.variant.console_header) {
    case LogConsoleHeader::None:
      return;
    case LogConsoleHeader::Dash:
      writeFreeForm(console, "-");
      return;
    case LogConsoleHeader::PrincipalPoint:
      if (context.principal_point) {
        writePrincipalPointHeader(console, *context.principal_point, entries.front());
      }
      return;
  }
}

}  // namespace

void writeLogFile(RecordSink& file, RecordSink& console, const BaselineTable& table,
                  const WritingEdition& edition, std::int32_t output_type,
                  std::string_view file_name_code) {
  const std::span<const BaselineRecord> entries = table.entries();
  if (edition.log_values.size() > kMostLogValues)
    throw std::invalid_argument("more LOG values than a record holds");
  FrameCache frames;
  const LogContext context{edition, logVariantFor(edition, output_type), principalPointOf(entries),
                           file_name_code, frames};
  writeConsoleHeader(console, context, entries);
  for (const BaselineRecord& entry : entries) writeLogEntry(file, entry, context);
}

}  // namespace velk

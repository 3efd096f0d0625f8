// The ratt-data and station files.

#include "output/writers.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "geodesy/geodesy.h"

namespace velk {
namespace {

constexpr std::string_view kRattDataRule =
    "------------------------------------------------------ ------------------";

// No table of station numbers is kept, so novrale's two station-number columns hold 0.
constexpr std::int32_t kNoStationNumber = 0;

constexpr std::int32_t kStationCode = 1;
// The adjustment takes the station coordinates as approximate: 1 m on every axis.
constexpr double kStationSigma = 1.0;

void writeRattRecord(RecordSink& file, const BaselineRecord& entry, const WritingEdition& edition) {
  const double azimuth = azimuthGrads(entry.enu1_e, entry.enu1_n);
  const double sigma = sigma3D(entry.sigma_x, entry.sigma_y, entry.sigma_z);
  FieldValueList<13> values;
  values.push_back(entry.fixed_station.view());
  values.push_back(entry.unknown_station.view());
  values.push_back(entry.enu1_e);
  values.push_back(entry.enu1_n);
  values.push_back(entry.enu1_u);
  values.push_back(azimuth);
  values.push_back(entry.length);
  values.push_back(sigma);
  if (edition.ratt_data_station_numbers) {
    values.push_back(kNoStationNumber);
    values.push_back(kNoStationNumber);
  }
  values.push_back(entry.day_number);
  values.push_back(solutionKind(entry, edition.solution_kind_width));
  values.push_back(entry.name.view());
  writeRecord(file, edition.ratt_data_record, values.values());
}

void writeStationRecord(RecordSink& file, std::string_view station, double x, double y, double z,
                        std::int32_t day_number) {
  // The code and the three sigmas are the same in every record.
  static const RecordLayout kStationRecord{"(I1,2X,A4,3(1X,F12.3),1X,3(2X,F5.3),1X,A4,1X,I4)",
                                           {{0, kStationCode},
                                            {5, kStationSigma},
                                            {6, kStationSigma},
                                            {7, kStationSigma}}};
  writeRecord(file, kStationRecord, {station, x, y, z, station, day_number});
}

}  // namespace

void writeRattDataFile(RecordSink& file, const BaselineTable& table,
                       const WritingEdition& edition) {
  static const RecordLayout kRattDataHeader{
      "(14X,' dE (x)',4X,' dN (y)',4X,' dH (z)',4X,'Azim.',4X,'Dist.')"};
  writeRecord(file, kRattDataHeader, std::span<const FieldValue>{});
  writeFreeForm(file, kRattDataRule);
  for (const BaselineRecord& entry : table.entries()) writeRattRecord(file, entry, edition);
}

void writeStationFile(RecordSink& file, const BaselineTable& table) {
  for (const BaselineRecord& entry : table.entries()) {
    writeStationRecord(file, entry.fixed_station, entry.mark1_x, entry.mark1_y, entry.mark1_z,
                       entry.day_number);
    writeStationRecord(file, entry.unknown_station, entry.mark2_x, entry.mark2_y, entry.mark2_z,
                       entry.day_number);
  }
}

}  // namespace velk

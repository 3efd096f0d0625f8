#pragma once

#include <cstdint>
#include <string_view>

#include "format/record_sink.h"
#include "output/writing_edition.h"
#include "reading/baseline_table.h"

namespace velk {

// Each writer walks entries 1 to baseline_count in order and writes its records.
void writeRattDataFile(RecordSink& file, const BaselineTable& table, const WritingEdition& edition);
void writeStationFile(RecordSink& file, const BaselineTable& table);
void writeVectorFile(RecordSink& file, const BaselineTable& table, const WritingEdition& edition);
void writeVectorCovarianceFile(RecordSink& file, const BaselineTable& table);
void writeLogFile(RecordSink& file, RecordSink& console, const BaselineTable& table,
                  const WritingEdition& edition, std::int32_t output_type,
                  std::string_view file_name_code);

}  // namespace velk

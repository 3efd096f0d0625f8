#pragma once

#include <istream>
#include <string_view>

#include "format/record_sink.h"
#include "reading/baseline_table.h"
#include "reading/reading_edition.h"

namespace velk {

// Reads one open O-file from its first line to its end into the table and the scan
// state, echoing each block on the console. `report_file_name` is the 12-character name
// from the list file (the entries' `name`); `file_system_name` is the name the file was
// opened under, for messages. Throws RunError on a number field that does not read, and
// on a read error of the file.
void scan_report(LineReader& report, std::string_view report_file_name,
                 std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                 const ReadingEdition& edition, RecordSink& console);
// The same for a report held in a stream (a text in memory).
void scan_report(std::istream& report, std::string_view report_file_name,
                 std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                 const ReadingEdition& edition, RecordSink& console);

}  // namespace velk

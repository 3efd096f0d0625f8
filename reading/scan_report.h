#pragma once

#include <functional>
#include <istream>
#include <string_view>

#include "format/record_sink.h"
#include "reading/line_reader.h"
#include "reading/baseline_table.h"
#include "reading/reading_edition.h"

namespace velk {

// Told, once per O-file, that lines before the run's first report header were passed
// over; given the name the file was opened under.
using DataBeforeHeaderNotice = std::function<void(std::string_view file_system_name)>;

// Reads one open O-file from its first line to its end into the table and the scan
// state, echoing each block on the console. `report_file_name` is the 12-character name
// from the list file (the entries' `name`); `file_system_name` is the name the file was
// opened under, for messages. Throws RunError on a number field that does not read, and
// on a read error of the file.
void scan_report(LineReader& report, std::string_view report_file_name,
                 std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                 const ReadingEdition& edition, RecordSink& console);

// The same, with the notice sent elsewhere than the console (the dialog shows it there).
void scan_report(LineReader& report, std::string_view report_file_name,
                 std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                 const ReadingEdition& edition, RecordSink& console,
                 const DataBeforeHeaderNotice& notice);

// The two above for a report read from a stream (a text in memory, an open file stream).
void scan_report(std::istream& report, std::string_view report_file_name,
                 std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                 const ReadingEdition& edition, RecordSink& console);
void scan_report(std::istream& report, std::string_view report_file_name,
                 std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                 const ReadingEdition& edition, RecordSink& console,
                 const DataBeforeHeaderNotice& notice);

}  // namespace velk

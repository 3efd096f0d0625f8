// libFuzzer target: arbitrary bytes as an O-file, read report by report as the
// subcommands of `baselines` read it (every report's covariance built), and read by both
// editions the way a dialog run reads its list (the same file twice in a row, so that the second reading starts from
// what the first left in the table and the scan state), then every output type written
// from the table. An unreadable number field ends a run with RunError, as it should; any
// other way out (a crash, a sanitizer report, another exception) is a fault.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "format/record_sink.h"
#include "format/run_error.h"
#include "geodesy/covariance.h"
#include "reading/baseline_table.h"
#include "reading/read_reports.h"
#include "reading/scan_report.h"
#include "run/edition.h"
#include "run/run_settings.h"
#include "run/write_output.h"

namespace {

class NullSink : public velk::RecordSink {
 public:
  void put(std::string_view) override {}
};

constexpr std::string_view kReportName = "AB001101.022";
constexpr int kReadingsPerRun = 2;
// The menu's types, and one beyond it that writes no section.
constexpr int kFirstOutputType = 0;
constexpr int kLastOutputType = 7;

// False when the run ended with the error of an unreadable number field.
bool readReport(std::string_view report, const velk::Edition& edition, velk::BaselineTable& table,
                velk::ReportScanState& state) {
  NullSink console;
  for (int reading = 0; reading < kReadingsPerRun; ++reading) {
    std::istringstream stream{std::string(report)};
    try {
      velk::scan_report(stream, kReportName, kReportName, table, state, edition.reading, console);
    } catch (const velk::RunError&) {
      return false;
    }
  }
  return true;
}

void writeEveryOutputType(const velk::BaselineTable& table, const velk::Edition& edition) {
  velk::RunSettings settings;
  settings.output_file_name = "FUZZ.OUT";
  settings.file_name_code = "UT";
  for (int type = kFirstOutputType; type <= kLastOutputType; ++type) {
    settings.output_type = type;
    NullSink file;
    NullSink console;
    velk::writeOutput(settings, table, edition, file, console);
  }
}

void readSeparateReports(std::string_view text) {
  std::istringstream stream{std::string(text)};
  std::vector<velk::Report> reports;
  try {
    velk::read_reports(stream, kReportName, reports, [](std::string_view) {});
  } catch (const velk::RunError&) {
    return;
  }
  for (const velk::Report& report : reports) {
    (void)velk::isPositiveDefinite(report.covariance());
    (void)report.missingText();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view report(reinterpret_cast<const char*>(data), size);
  readSeparateReports(report);
  for (const velk::Edition* edition : {&velk::quelmarEdition(), &velk::novraleEdition()}) {
    velk::BaselineTable table;
    velk::ReportScanState state;
    if (readReport(report, *edition, table, state)) writeEveryOutputType(table, *edition);
  }
  return 0;
}

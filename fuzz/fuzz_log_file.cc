// libFuzzer target: arbitrary bytes as a LOG file of either edition, read as `plot series
// --log` and `series --log` read it; when it reads, its records are grouped into
// baselines, each analysed as a series and shown in every view. A record that does not
// read ends the run with RunError, as it should; any other way out (a crash, a sanitizer
// report, another exception, a hang) is a fault.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "commands/log_baselines.h"
#include "reading/line_reader.h"
#include "format/run_error.h"
#include "plot/log_file.h"
#include "plot/log_groups.h"
#include "series/series_analysis.h"
#include "series/series_views.h"

namespace {

// Enough records for every search of the analysis, few enough to keep each input fast.
constexpr std::size_t kMostRecordsAnalysed = 400;
constexpr int kQuelmarYear = 2019;

void analyse(const velk::plot::LogFile& file) {
  if (file.records.size() > kMostRecordsAnalysed) return;
  const std::string name = "FUZZ.LOG";
  for (const double same : {1.0, 1e-3}) {
    std::vector<velk::series::AnalysedSeries> all;
    std::vector<velk::plot::LogGroup> groups;
    try {
      groups = velk::plot::groupLogRecords(file, same, name);
    } catch (const velk::RunError&) {
      return;  // a novrale file that mixes LOG types
    }
    for (const velk::plot::LogGroup& group : groups) {
      velk::series::Series series = velk::logBaselineSeries(
          file, group, name, velk::plot::LogSeriesFrame::kLocal, kQuelmarYear, same < 1.0);
      velk::series::AnalysisOptions options;
      options.warn[0] = 1.0;
      options.stale_days = 10;
      velk::series::SeriesResult result = velk::series::analyseSeries(series, options);
      all.push_back({std::move(series), std::move(result)});
    }
    (void)velk::series::seriesText(all, {});
    (void)velk::series::seriesJson(all);
    for (const velk::series::AnalysedSeries& one : all) {
      (void)velk::series::seriesCsv(one);
      (void)velk::series::seriesMom(one);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream stream{std::string(reinterpret_cast<const char*>(data), size)};
  velk::LineReader lines(stream, "LOG file");
  velk::plot::LogFile file;
  try {
    file = velk::plot::readLogFile(lines, "FUZZ.LOG");
  } catch (const velk::RunError&) {
    return 0;
  }
  analyse(file);
  return 0;
}

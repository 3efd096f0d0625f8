#include "commands/log_baselines.h"

#include <algorithm>
#include <cmath>

#include "format/run_error.h"
#include "plot/log_series.h"
#include "reading/line_reader.h"
#include "reading/report.h"
#include "series/epochs.h"

namespace velk {

void forEachLogFile(const ParsedOptions& options, std::ostream& err, InputTally& tally,
                    const std::function<void(const plot::LogFile& file, const std::string& path)>& use) {
  tally.file_kind = "LOG file";
  for (const std::string& path : inputPaths(options, err, tally)) {
    std::error_code why;
    std::optional<LineReader> lines = LineReader::open(path, "LOG file", why);
    if (!lines) {
      notify(err, "cannot open LOG file " + path + ": " + why.message());
      ++tally.files_passed_over;
      continue;
    }
    const plot::LogFile file = plot::readLogFile(*lines, path);
    if (file.records.empty()) {
      notify(err, path + ": no LOG record");
      ++tally.files_passed_over;
      continue;
    }
    use(file, path);
  }
}

plot::LogSeriesFrame quelmarComponents(const ParsedOptions& options) {
  const std::string value = options.value("components").value_or("enu");
  if (value == "enu") return plot::LogSeriesFrame::kLocal;
  if (value == "xyz") return plot::LogSeriesFrame::kGeocentric;
  throw UsageError("--components: enu or xyz, not '" + value + "'");
}

namespace {

constexpr double kMillimetresPerMetre = 1000.0;

Eigen::Vector3d vectorOf(const plot::LogRecord& record) {
  return {record.components[0], record.components[1], record.components[2]};
}

// Modified Julian dates of the file's records: novrale's year and day of the year, or the
// days of a quelmar file counted from `quelmar_year`, a day smaller than the one before
// starting the next year.
std::vector<double> recordDates(const plot::LogFile& file, std::optional<int> quelmar_year) {
  std::vector<double> dates;
  int year = quelmar_year.value_or(0);
  double previous_day = 0;
  for (const plot::LogRecord& record : file.records) {
    if (record.year) {
      year = *record.year;
    } else {
      if (!dates.empty() && record.epoch < previous_day) ++year;
      previous_day = record.epoch;
    }
    dates.push_back(modifiedJulianDate({year, 1, 1}, 0) + record.epoch - 1);
  }
  return dates;
}

}  // namespace

series::Series logBaselineSeries(const plot::LogFile& file, const plot::LogGroup& group,
                                 const std::string& file_name, plot::LogSeriesFrame components,
                                 std::optional<int> quelmar_year, bool with_float) {
  series::Series series;
  // The station as printed (code page 850, as the views expect), then the length.
  plot::LogGroup length_only = group;
  length_only.station.clear();
  series.from = group.station.empty() ? plot::logGroupName(length_only)
                                      : group.station + ", " + plot::logGroupName(length_only);
  series.kind = components == plot::LogSeriesFrame::kLocal ? series::ComponentKind::kLocal
                                                          : series::ComponentKind::kGeocentric;
  const std::vector<double> dates = recordDates(file, quelmar_year);
  std::vector<std::size_t> order = group.records;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return dates[a] < dates[b]; });
  bool first = true;
  for (const std::size_t r : order) {
    const plot::LogRecord& record = file.records[r];
    series.trailing_float_reports = record.fixed ? 0 : series.trailing_float_reports + 1;
    series.last_report_epoch = series::decimalYear(dates[r]);
    if (!record.fixed && !with_float) continue;
    const Eigen::Vector3d absolute = kMillimetresPerMetre * vectorOf(record);
    if (first) series.base = absolute;
    first = false;
    series::SeriesPoint point;
    point.epoch = series::decimalYear(dates[r]);
    point.value = absolute - series.base;
    for (int c = 0; c < 3; ++c) {
      const double sigma =
          kMillimetresPerMetre *
          std::max(record.sigmas[static_cast<std::size_t>(c)], plot::kLeastLogSigma);
      point.covariance(c, c) = sigma * sigma;
    }
    point.file = file_name + " line " + std::to_string(record.line);
    point.is_float = !record.fixed;
    series.points.push_back(point);
  }
  return series;
}

}  // namespace velk

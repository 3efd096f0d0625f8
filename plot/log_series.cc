#include "plot/log_series.h"

#include <algorithm>
#include <cmath>

#include "format/run_error.h"
#include "format/text_encoding.h"
#include "plot/log_groups.h"
#include "reading/report.h"

namespace velk::plot {
namespace {

// Days on the drawing's axis: the modified Julian date where the year is printed; else
// 366 days a year, a day number smaller than the one before starting the next year.
std::vector<double> times(const std::vector<const LogRecord*>& records, DayCount days) {
  std::vector<double> result;
  long year = 0;
  double previous_day = 0;
  for (const LogRecord* record : records) {
    if (days == DayCount::kModifiedJulian) {
      result.push_back(modifiedJulianDate({*record->year, 1, 1}, 0) + record->epoch - 1);
      continue;
    }
    const double day = std::floor(record->epoch);
    if (!result.empty() && day < previous_day) ++year;
    previous_day = day;
    result.push_back(366 * static_cast<double>(year) + record->epoch - 1);
  }
  return result;
}

std::string typeText(const LogFile& file, LogSeriesFrame components) {
  if (file.layout == LogLayout::kQuelmar)
    return components == LogSeriesFrame::kLocal ? "a quelmar LOG file read as E, N, U"
                                               : "a quelmar LOG file read as X, Y, Z";
  const std::string& tag = file.records.front().tag;
  if (tag == "v.gpps /") return "novrale type 4, LOG gpps";
  if (tag == "v.local/") return "novrale type 5, LOG cartesien";
  return "novrale type 6, LOG geocentrique";
}

SeriesDrawing drawingOf(const std::vector<const LogRecord*>& records, const LogFile& file,
                        LogSeriesFrame components, const std::string& file_name) {
  SeriesDrawing drawing;
  drawing.unit = "record";
  drawing.days = file.layout == LogLayout::kNovrale ? DayCount::kModifiedJulian : DayCount::kYearUnknown;
  drawing.components = components == LogSeriesFrame::kLocal
                           ? std::array<std::string, 4>{"dE", "dN", "dU", "d(length)"}
                           : std::array<std::string, 4>{"dX", "dY", "dZ", "d(length)"};
  drawing.frame = (components == LogSeriesFrame::kLocal ? "E, N, U" : "dX, dY, dZ") +
                  std::string(" and length as the LOG file gives them (") + typeText(file, components) +
                  "), less their weighted means; error bars: the sigmas as printed";
  drawing.time_axis = drawing.days == DayCount::kModifiedJulian
                          ? "epoch of the LOG records (GPS time)"
                          : "epoch of the LOG records (GPS time; the file gives no year)";
  const std::vector<double> time = times(records, drawing.days);
  drawing.samples.resize(records.size());
  for (std::size_t i = 0; i < records.size(); ++i)
    drawing.samples[i].source = file_name + " line " + std::to_string(records[i]->line);
  for (std::size_t c = 0; c < 4; ++c) {
    std::vector<double> values, sigmas;
    for (const LogRecord* record : records) {
      values.push_back(c < 3 ? record->components[c] : record->length);
      sigmas.push_back(c < 3 ? record->sigmas[c] : record->sigma3d);
    }
    const double mean = flooredWeightedMean(values, sigmas, kLeastLogSigma);
    std::vector<double> differences, weights_sigma;
    for (std::size_t i = 0; i < values.size(); ++i) {
      SeriesSample& sample = drawing.samples[i];
      sample.time = time[i];
      sample.fixed = records[i]->fixed;
      sample.value[c] = (values[i] - mean) * 1000;
      sample.sigma[c] = sigmas[i] * 1000;
      differences.push_back(sample.value[c]);
      weights_sigma.push_back(std::max(sigmas[i], kLeastLogSigma) * 1000);
    }
    drawing.weighted_rms[c] = weightedRms(differences, weights_sigma);
  }
  return drawing;
}

}  // namespace

double flooredWeightedMean(std::span<const double> values, std::span<const double> sigmas,
                           double least_sigma) {
  double weighted = 0, weights = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double sigma = std::max(sigmas[i], least_sigma);
    const double weight = 1 / (sigma * sigma);
    weighted += weight * values[i];
    weights += weight;
  }
  return weighted / weights;
}

std::vector<NamedSeries> logSeries(const LogFile& file, const std::string& file_name,
                                   const std::string& path, LogSeriesFrame quelmar_components,
                                   double same_baseline_m) {
  if (file.records.empty()) return {};
  const LogSeriesFrame components = file.layout == LogLayout::kQuelmar
                                       ? quelmar_components
                                       : *componentsOfTag(file.records.front().tag);
  const std::string name = isValidUtf8(file_name) ? file_name : cp850ToUtf8(file_name);
  std::vector<NamedSeries> result;
  for (const LogGroup& group : groupLogRecords(file, same_baseline_m, path)) {
    std::vector<const LogRecord*> records;
    for (const std::size_t k : group.records) records.push_back(&file.records[k]);
    NamedSeries series;
    series.name = name + "-" + logGroupStem(group);
    series.drawing = drawingOf(records, file, components, name);
    series.drawing.name = name + ", " + logGroupName(group);
    result.push_back(std::move(series));
  }
  return result;
}

}  // namespace velk::plot

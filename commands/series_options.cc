#include "commands/series_options.h"

#include <chrono>
#include <optional>

#include "series/epochs.h"

namespace velk {
namespace {

// Days from 1970-01-01 to 1858-11-17, the origin of the modified Julian date.
constexpr double kMjdOfUnixEpoch = 40587;

double todayMjd() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return kMjdOfUnixEpoch + std::chrono::duration<double, std::ratio<86400>>(now).count();
}

double dateOption(std::string_view name, const std::string& text) {
  const std::optional<double> mjd = series::parseDate(text);
  if (!mjd)
    throw UsageError("--" + std::string(name) + ": a date d.m.yyyy or yyyy-mm-dd (Thh:mm), not '" +
                     text + "'");
  return *mjd;
}

}  // namespace

double positiveOption(std::string_view name, const std::string& text, bool zero_allowed) {
  const double value = parseRealOption(name, text);
  if (value < 0 || (value == 0 && !zero_allowed))
    throw UsageError("--" + std::string(name) + ": a number " +
                     (zero_allowed ? "of 0 or more" : "above 0") + ", not '" + text + "'");
  return value;
}

namespace {

double alphaOption(const ParsedOptions& options, std::string_view name) {
  const std::optional<std::string> text = options.value(name);
  if (!text) return 0.01;
  const double alpha = parseRealOption(name, *text);
  if (!(alpha > 0 && alpha < 1))
    throw UsageError("--" + std::string(name) + ": between 0 and 1, not '" + *text + "'");
  return alpha;
}

// --warn/--alarm "2d=10,up=15": thresholds in mm by key.
void addThresholds(std::string_view name, const std::string& text, series::Thresholds& thresholds) {
  std::size_t begin = 0;
  while (begin <= text.size()) {
    const std::size_t end = std::min(text.find(',', begin), text.size());
    const std::string item = text.substr(begin, end - begin);
    const std::size_t equals = item.find('=');
    const std::optional<series::Measure> measure =
        equals == std::string::npos ? std::nullopt : series::measureOfKey(item.substr(0, equals));
    if (!measure)
      throw UsageError("--" + std::string(name) +
                       ": KEY=MM with KEY east, north, up, 2d, 3d or length, not '" + item + "'");
    thresholds[static_cast<std::size_t>(*measure)] =
        positiveOption(name, item.substr(equals + 1), false);
    begin = end + 1;
  }
}

}  // namespace

std::map<std::string, std::vector<double>> knownSteps(const ParsedOptions& options) {
  std::map<std::string, std::vector<double>> steps;
  for (const std::string& value : options.values("step")) {
    const std::size_t comma = value.rfind(',');
    if (comma == std::string::npos || comma == 0)
      throw UsageError("--step: STATION,DATE, not '" + value + "'");
    steps[value.substr(0, comma)].push_back(
        series::decimalYear(dateOption("step", value.substr(comma + 1))));
  }
  return steps;
}

series::AnalysisOptions analysisOptions(const ParsedOptions& options) {
  series::AnalysisOptions analysis;
  analysis.steps.alpha = alphaOption(options, "alpha");
  analysis.alpha_outlier = alphaOption(options, "alpha-outlier");
  if (const auto text = options.value("min-segment")) {
    analysis.steps.min_segment = parseIntegerOption("min-segment", *text);
    if (analysis.steps.min_segment < 1)
      throw UsageError("--min-segment: 1 or more, not '" + *text + "'");
  }
  if (const auto text = options.value("step-mm"))
    analysis.steps.step_mm = positiveOption("step-mm", *text, true);
  if (const auto text = options.value("reference"))
    analysis.reference_epoch = series::decimalYear(dateOption("reference", *text));
  for (const std::string& text : options.values("warn")) addThresholds("warn", text, analysis.warn);
  for (const std::string& text : options.values("alarm"))
    addThresholds("alarm", text, analysis.alarm);
  if (const auto text = options.value("float-alarm")) {
    analysis.float_alarm = parseIntegerOption("float-alarm", *text);
    if (analysis.float_alarm < 0)
      throw UsageError("--float-alarm: 0 (off) or more, not '" + *text + "'");
  }
  if (const auto text = options.value("stale-days"))
    analysis.stale_days = positiveOption("stale-days", *text, true);
  analysis.now = series::decimalYear(options.value("now") ? dateOption("now", *options.value("now"))
                                                          : todayMjd());
  return analysis;
}

const std::vector<OptionSpec>& seriesAnalysisOptions() {
  static const std::vector<OptionSpec> options{
      {"with-float", '\0', "", "analyse float reports too (they always count for --float-alarm)"},
      {"alpha-outlier", '\0', "P", "significance of the outlier search (default 0.01)"},
      {"min-segment", '\0', "N",
       "reports on each side of a step, outliers not counted (default 3)"},
      {"step-mm", '\0', "MM", "report only steps larger than MM in 3D (default 0)"},
      {"step", '\0', "STATION,DATE",
       "a known step (an antenna change) at STATION: every pair of it gets an offset there; "
       "repeatable"},
      {"reference", '\0', "DATE",
       "the epoch the displacement is counted from (default the first report)"},
      {"warn", '\0', "KEY=MM,...",
       "warning thresholds, KEY east, north, up, 2d, 3d or length (e.g. 2d=10,up=15)"},
      {"alarm", '\0', "KEY=MM,...", "alarm thresholds, keys as for --warn"},
      {"float-alarm", '\0', "N",
       "warning when the last N reports are all float (default 3; 0: off)"},
      {"stale-days", '\0', "DAYS", "warning when the last report is older than DAYS before --now"},
      {"now", '\0', "DATE", "the date of --stale-days (default today, UTC)"},
  };
  return options;
}

}  // namespace velk

#include "series/series_views.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "format/json_writer.h"
#include "format/number_text.h"
#include "format/text_encoding.h"
#include "format/text_table.h"
#include "series/epochs.h"
#include "series/robust.h"

namespace velk::series {
namespace {

using Align = TextTable::Align;

std::string fixed(double value, int decimals) {
  return std::isfinite(value) ? fixedTextTiesToEven(value, decimals) : "-";
}

// The decimals after the point of the shortest text that reads back as the same double:
// the JSON and CSV numbers are exact.
int exactDecimals(double value) {
  if (!std::isfinite(value) || value == 0) return 0;
  const std::string text = roundTripText(value);
  const std::size_t e = text.find_first_of("eE");
  const std::string mantissa = text.substr(0, e);
  const std::size_t point = mantissa.find('.');
  int decimals = point == std::string::npos ? 0 : static_cast<int>(mantissa.size() - point - 1);
  if (e != std::string::npos) {
    int exponent = 0;
    const std::string tail = text.substr(e + 1);
    std::from_chars(tail.data() + (tail[0] == '+' ? 1 : 0), tail.data() + tail.size(), exponent);
    decimals -= exponent;
  }
  return std::clamp(decimals, 0, 40);
}

std::string exact(double value) {
  return std::isfinite(value) ? fixedTextTiesToEven(value, exactDecimals(value)) : "";
}

std::string isoOfYear(double decimal_year) {
  return isoDateTime(modifiedJulianDateOfYear(decimal_year));
}

std::string pairName(const Series& series) {
  return series.to.empty() ? cp850ToUtf8(series.from)
                           : cp850ToUtf8(series.from) + " - " + cp850ToUtf8(series.to);
}

std::string plural(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string withSigma(double value, double sigma, int decimals) {
  return fixed(value, decimals) + "±" + fixed(sigma, decimals);
}

std::string velocityCell(const SeriesResult& result) {
  if (!result.velocity) return "-";
  std::string cell;
  for (int c = 0; c < 3; ++c)
    cell += (c ? " " : "") + withSigma(result.velocity->rate(c), result.velocity->sigma(c), 2);
  return cell;
}

const char* methodName(const SeriesResult& result) {
  if (!result.velocity) return "-";
  return result.velocity->method == VelocityMethod::kMidas ? "midas" : "lsq";
}

std::string components(const Eigen::Vector3d& v, int decimals) {
  return fixed(v(0), decimals) + " " + fixed(v(1), decimals) + " " + fixed(v(2), decimals);
}

std::string componentHeading(ComponentKind kind, std::string_view prefix) {
  std::string heading;
  for (int c = 0; c < 3; ++c)
    heading += std::string(c ? " " : "") + std::string(prefix) + componentLetter(kind, c);
  return heading;
}

void pairsTable(std::span<const AnalysedSeries> all, std::string& out) {
  TextTable table({{"From"},
                   {"To"},
                   {"Reports", Align::kRight},
                   {"Span y", Align::kRight},
                   {"Velocity mm/y"},
                   {"Method"},
                   {"Steps", Align::kRight},
                   {"Outliers", Align::kRight},
                   {"Displacement mm"},
                   {"2D mm", Align::kRight},
                   {"3D mm", Align::kRight},
                   {"Length mm", Align::kRight},
                   {"Status"}});
  for (const AnalysedSeries& one : all) {
    const SeriesResult& r = one.result;
    const std::optional<Displacement>& d = r.displacement;
    table.addRow({cp850ToUtf8(one.series.from), cp850ToUtf8(one.series.to),
                  std::to_string(r.reports), fixed(r.span_years, 2), velocityCell(r), methodName(r),
                  std::to_string(r.steps.size()), std::to_string(r.outliers.size()),
                  d ? components(d->enu, 1) : "-",
                  d ? withSigma(d->horizontal, d->horizontal_sigma, 1) : "-",
                  d ? withSigma(d->d3, d->d3_sigma, 1) : "-",
                  d ? withSigma(d->length, d->length_sigma, 1) : "-", statusName(r.status)});
  }
  out += "Pairs\n" + table.render("  ");
  const ComponentKind kind = all.empty() ? ComponentKind::kLocal : all.front().series.kind;
  out += "  Velocity: " + componentHeading(kind, "v") +
         " ± 1 sigma, by MIDAS (a year or more) or least squares (lsq); Displacement: " +
         componentHeading(kind, "d") +
         " of the model from the reference epoch to the last report, 2D and 3D its norms, "
         "Length the change of the baseline's length, each ± 1 sigma.\n";
}

void stepsTable(const AnalysedSeries& one, std::string& out) {
  const ComponentKind kind = one.series.kind;
  TextTable table(
      {{"First report"}, {"Epoch"}, {"Known"}, {"Size mm"}, {"Sigma mm"}, {"T", Align::kRight}});
  for (const Step& step : one.result.steps) {
    const bool inside = step.point < one.series.points.size();
    const std::string file = inside ? fileNameToUtf8(one.series.points[step.point].file) : "-";
    const std::string known = step.known ? "at " + isoOfYear(step.epoch) : "no";
    table.addRow({file, isoOfYear(inside ? one.series.points[step.point].epoch : step.epoch), known,
                  components(step.size, 1), components(step.covariance.diagonal().cwiseSqrt(), 1),
                  fixed(step.t, 1)});
  }
  out += "\nSteps of " + pairName(one.series) + "\n" + table.render("  ");
  out += "  Size: " + componentHeading(kind, "d") +
         " of the offset after the step minus the one before (Epoch: the first report's; Known: "
         "the date given with --step); T: the decrease of the weighted "
         "sum of squares that the step brings (3 degrees of freedom).\n";
}

void outliersTable(const AnalysedSeries& one, std::string& out) {
  TextTable table({{"Report"}, {"Epoch"}, {"Residual mm"}, {"T", Align::kRight}});
  for (const Outlier& outlier : one.result.outliers) {
    const SeriesPoint& point = one.series.points[outlier.point];
    table.addRow({fileNameToUtf8(point.file), isoOfYear(point.epoch),
                  components(one.result.points[outlier.point].residual, 1), fixed(outlier.t, 1)});
  }
  out += "\nOutliers of " + pairName(one.series) + "\n" + table.render("  ");
  out +=
      "  Residual: " + componentHeading(one.series.kind, "d") +
      " of the report from the model; T: rᵀ(f C)⁻¹r, 3 degrees of freedom, when it was left out.\n";
}

void notes(const AnalysedSeries& one, std::string& out) {
  const SeriesResult& r = one.result;
  std::vector<std::string> lines = r.notes;
  for (const Measure m : r.alarms_reached)
    lines.push_back(std::string("alarm: ") + measureKey(m) + " " +
                    fixed(r.displacement->value(m), 1) + " mm");
  for (const Measure m : r.warnings_reached)
    if (std::find(r.alarms_reached.begin(), r.alarms_reached.end(), m) == r.alarms_reached.end())
      lines.push_back(std::string("warning: ") + measureKey(m) + " " +
                      fixed(r.displacement->value(m), 1) + " mm");
  if (r.status == Status::kUnstable)
    lines.emplace_back("more than a third of the reports stand out: unstable");
  if (r.status == Status::kInsufficient) lines.emplace_back("fewer than 3 reports: not analysed");
  if (lines.empty()) return;
  out += "\n" + pairName(one.series) + ":\n";
  for (const std::string& line : lines) out += "  " + line + "\n";
}

void exactArray(JsonWriter& json, const Eigen::Vector3d& v) {
  json.beginArray(JsonWriter::Layout::kInline);
  for (int c = 0; c < 3; ++c) json.number(v(c), exactDecimals(v(c)));
  json.endArray();
}

void exactNumber(JsonWriter& json, std::string_view key, double value) {
  json.key(key).number(value, exactDecimals(value));
}

void velocityJson(JsonWriter& json, const Velocity& v, bool least_squares, double variance_factor) {
  json.beginObject();
  if (!least_squares) json.key("method").text(v.method == VelocityMethod::kMidas ? "midas" : "lsq");
  json.key("enu_mm_per_year");
  exactArray(json, v.rate);
  json.key("sigma_mm_per_year");
  exactArray(json, v.sigma);
  if (least_squares) exactNumber(json, "variance_factor", variance_factor);
  if (!least_squares && v.method == VelocityMethod::kMidas)
    json.key("slopes_kept").integer(*std::min_element(v.slopes_kept.begin(), v.slopes_kept.end()));
  json.endObject();
}

void pairJson(JsonWriter& json, const AnalysedSeries& one) {
  const SeriesResult& r = one.result;
  json.beginObject();
  json.key("from").text(one.series.from);
  json.key("to").text(one.series.to);
  json.key("components").text(one.series.kind == ComponentKind::kLocal ? "enu" : "xyz");
  json.key("reports").integer(static_cast<std::int64_t>(r.reports));
  exactNumber(json, "span_years", r.span_years);
  json.key("velocity");
  if (r.velocity)
    velocityJson(json, *r.velocity, false, r.variance_factor);
  else
    json.null();
  json.key("lsq_velocity");
  if (r.lsq_velocity)
    velocityJson(json, *r.lsq_velocity, true, r.variance_factor);
  else
    json.null();
  json.key("steps").beginArray();
  for (const Step& step : r.steps) {
    json.beginObject();
    const bool inside = step.point < one.series.points.size();
    json.key("file").fileName(inside ? one.series.points[step.point].file : "");
    json.key("epoch").text(isoOfYear(inside ? one.series.points[step.point].epoch : step.epoch));
    if (step.known) json.key("date").text(isoOfYear(step.epoch));
    json.key("enu_mm");
    exactArray(json, step.size);
    json.key("sigma_mm");
    exactArray(json, step.covariance.diagonal().cwiseSqrt());
    exactNumber(json, "t", step.t);
    json.key("known").boolean(step.known);
    json.endObject();
  }
  json.endArray();
  json.key("outliers").beginArray();
  for (const Outlier& outlier : r.outliers) {
    json.beginObject();
    json.key("file").fileName(one.series.points[outlier.point].file);
    json.key("epoch").text(isoOfYear(one.series.points[outlier.point].epoch));
    exactNumber(json, "t", outlier.t);
    json.endObject();
  }
  json.endArray();
  json.key("displacement");
  if (const std::optional<Displacement>& d = r.displacement) {
    json.beginObject();
    json.key("enu_mm");
    exactArray(json, d->enu);
    json.key("sigma_mm");
    exactArray(json, d->sigma);
    exactNumber(json, "horizontal_mm", d->horizontal);
    exactNumber(json, "horizontal_sigma_mm", d->horizontal_sigma);
    exactNumber(json, "3d_mm", d->d3);
    exactNumber(json, "3d_sigma_mm", d->d3_sigma);
    exactNumber(json, "length_mm", d->length);
    exactNumber(json, "length_sigma_mm", d->length_sigma);
    json.endObject();
  } else {
    json.null();
  }
  const auto keys = [&](std::string_view name, const std::vector<Measure>& measures) {
    json.key(name).beginArray(JsonWriter::Layout::kInline);
    for (const Measure m : measures) json.text(measureKey(m));
    json.endArray();
  };
  keys("warnings", r.warnings_reached);
  keys("alarms", r.alarms_reached);
  json.key("notes").beginArray();
  for (const std::string& note : r.notes) json.text(note);
  json.endArray();
  json.key("status").text(statusName(r.status));
  json.endObject();
}

double medianInterval(const Series& series) {
  std::vector<double> intervals;
  for (std::size_t i = 1; i < series.points.size(); ++i) {
    const double days = (series.points[i].epoch - series.points[i - 1].epoch) * 365.25;
    if (days > 0) intervals.push_back(days);
  }
  return intervals.empty() ? 1.0 : median(intervals);
}

}  // namespace

char componentLetter(ComponentKind kind, int component) {
  static constexpr char kLocal[] = "ENU", kGeocentric[] = "XYZ";
  return (kind == ComponentKind::kLocal ? kLocal : kGeocentric)[component];
}

std::string seriesText(std::span<const AnalysedSeries> all, const AnalysisOptions& options) {
  std::size_t reports = 0;
  std::map<Status, std::size_t> by_status;
  for (const AnalysedSeries& one : all) {
    reports += one.result.reports;
    ++by_status[one.result.status];
  }
  std::string out = "Series of " + plural(all.size(), "pair", "pairs") + " (" +
                    plural(reports, "report", "reports") + "): steps at alpha " +
                    roundTripText(options.steps.alpha) + " (at least " +
                    std::to_string(options.steps.min_segment) +
                    " reports a side), outliers at alpha " + roundTripText(options.alpha_outlier) +
                    "\n\n";
  pairsTable(all, out);
  for (const AnalysedSeries& one : all) {
    if (!one.result.steps.empty()) stepsTable(one, out);
    if (!one.result.outliers.empty()) outliersTable(one, out);
  }
  for (const AnalysedSeries& one : all) notes(one, out);
  out += "\nResult:";
  bool first = true;
  for (const auto& [status, count] : by_status) {
    const bool level = status == Status::kAlarm || status == Status::kWarning;
    out += std::string(first ? " " : ", ") + plural(count, "pair", "pairs") +
           (level ? " at " : " ") + statusName(status);
    first = false;
  }
  if (all.empty()) out += " no pair";
  out += "\n";
  return out;
}

std::string seriesJson(std::span<const AnalysedSeries> all) {
  JsonWriter json;
  json.beginObject().key("pairs").beginArray();
  for (const AnalysedSeries& one : all) pairJson(json, one);
  json.endArray().endObject();
  return json.finish();
}

std::string seriesCsv(const AnalysedSeries& one) {
  std::string out = "file,gps_time,decimal_year";
  const auto names = [&](std::string_view prefix, std::string_view suffix) {
    for (int c = 0; c < 3; ++c) {
      out += ",";
      out += prefix;
      out += static_cast<char>(std::tolower(componentLetter(one.series.kind, c)));
      out += suffix;
    }
  };
  names("", "_mm");
  names("sigma_", "_mm");
  const char l0 = static_cast<char>(std::tolower(componentLetter(one.series.kind, 0)));
  const char l1 = static_cast<char>(std::tolower(componentLetter(one.series.kind, 1)));
  const char l2 = static_cast<char>(std::tolower(componentLetter(one.series.kind, 2)));
  out += std::string(",corr_") + l0 + l1 + ",corr_" + l0 + l2 + ",corr_" + l1 + l2;
  names("model_", "_mm");
  names("residual_", "_mm");
  out += ",outlier,segment\n";
  const SeriesResult& r = one.result;
  for (std::size_t i = 0; i < one.series.points.size(); ++i) {
    const SeriesPoint& point = one.series.points[i];
    std::string file = fileNameToUtf8(point.file);
    if (file.find_first_of(",\"\n") != std::string::npos) {
      std::string quoted = "\"";
      for (const char c : file) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
      file = quoted + "\"";
    }
    const Eigen::Vector3d value = point.value - r.reference;
    const Eigen::Vector3d sigma = point.covariance.diagonal().cwiseSqrt();
    out += file + "," + isoOfYear(point.epoch) + "," + exact(point.epoch);
    for (int c = 0; c < 3; ++c) out += "," + exact(value(c));
    for (int c = 0; c < 3; ++c) out += "," + exact(sigma(c));
    out += "," + exact(point.covariance(0, 1) / (sigma(0) * sigma(1)));
    out += "," + exact(point.covariance(0, 2) / (sigma(0) * sigma(2)));
    out += "," + exact(point.covariance(1, 2) / (sigma(1) * sigma(2)));
    const bool fitted = i < r.points.size();
    for (int c = 0; c < 3; ++c) out += "," + (fitted ? exact(r.points[i].model(c)) : "");
    for (int c = 0; c < 3; ++c) out += "," + (fitted ? exact(r.points[i].residual(c)) : "");
    out += std::string(",") + (fitted && r.points[i].outlier ? "1" : "0") + "," +
           std::to_string(fitted ? r.points[i].segment : 0) + "\n";
  }
  return out;
}

std::array<std::string, 3> seriesMom(const AnalysedSeries& one) {
  const Series& series = one.series;
  const SeriesResult& r = one.result;
  const double period = medianInterval(series);
  std::string heading = "# sampling period " + exact(period) + "\n";
  for (const Step& step : r.steps)
    heading += "# offset " + exact(modifiedJulianDateOfYear(step.epoch)) + "\n";
  // Samples in time order: the sum of the values falling on each and their count.
  std::map<long long, std::pair<Eigen::Vector3d, int>> samples;
  if (!series.points.empty()) {
    const double first = modifiedJulianDateOfYear(series.points.front().epoch);
    for (std::size_t i = 0; i < series.points.size(); ++i) {
      if (i < r.points.size() && r.points[i].outlier) continue;
      const double mjd = modifiedJulianDateOfYear(series.points[i].epoch);
      const long long k = std::llround((mjd - first) / period);
      auto& [sum, count] = samples.try_emplace(k, Eigen::Vector3d::Zero(), 0).first->second;
      sum += series.points[i].value - r.reference;
      ++count;
    }
    std::array<std::string, 3> files{heading, heading, heading};
    for (const auto& [k, sample] : samples) {
      const std::string epoch = exact(first + static_cast<double>(k) * period);
      const Eigen::Vector3d mean = sample.first / sample.second;
      for (int c = 0; c < 3; ++c)
        files[static_cast<std::size_t>(c)] += epoch + " " + exact(mean(c)) + "\n";
    }
    return files;
  }
  return {heading, heading, heading};
}

}  // namespace velk::series

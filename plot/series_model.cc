#include "plot/series_model.h"

#include <cmath>
#include <cstdio>
#include <map>

#include "series/epochs.h"

namespace velk::plot {
namespace {

using series::Measure;

std::string oneDecimal(double value, bool sign) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, sign ? "%+.1f" : "%.1f", value);
  return buffer;
}

// The four shown values of a vector relative to the series' base (mm): its three
// components less the reference, and the change of its length since the reference.
std::array<double, 4> shownValues(const series::Series& series, const Eigen::Vector3d& value,
                                  const Eigen::Vector3d& reference) {
  const double length = (series.base + value).norm() - (series.base + reference).norm();
  return {value(0) - reference(0), value(1) - reference(1), value(2) - reference(2), length};
}

std::string velocityText(const series::Series& series, const series::SeriesResult& result) {
  if (!result.velocity) return {};
  const char* letters = series.kind == series::ComponentKind::kLocal ? "ENU" : "XYZ";
  std::string text = "velocity";
  for (int c = 0; c < 3; ++c)
    text += std::string(c == 0 ? " " : ", ") + letters[c] + " " +
            oneDecimal(result.velocity->rate(c), true) + " \u00b1 " +
            oneDecimal(result.velocity->sigma(c), false);
  return text + " mm/yr (" +
         (result.velocity->method == series::VelocityMethod::kMidas ? "MIDAS" : "least squares") +
         ")";
}

std::string statusText(const series::SeriesResult& result) {
  std::string text = std::string("status: ") + series::statusName(result.status);
  const std::vector<Measure>& reached =
      !result.alarms_reached.empty() ? result.alarms_reached : result.warnings_reached;
  if (reached.empty() || !result.displacement) return text;
  text += " (";
  for (std::size_t i = 0; i < reached.size(); ++i)
    text += std::string(i == 0 ? "" : ", ") + series::measureKey(reached[i]) + " " +
            oneDecimal(std::abs(result.displacement->value(reached[i])), false) + " mm";
  return text + ")";
}

// The measure of a panel drawn as a level: east, north, up and the length (2d and 3d are
// no single component: the status box names them).
std::optional<Measure> panelMeasure(const series::Series& series, std::size_t panel) {
  if (panel == 3) return Measure::kLength;
  if (series.kind != series::ComponentKind::kLocal) return std::nullopt;
  return std::array{Measure::kEast, Measure::kNorth, Measure::kUp}[panel];
}

}  // namespace

void attachModel(SeriesDrawing& drawing, const series::Series& series,
                 const series::SeriesResult& result, const series::AnalysisOptions& options) {
  if (result.points.size() != series.points.size() || series.points.empty()) return;
  std::map<std::string, std::size_t> point_of_file;
  for (std::size_t j = 0; j < series.points.size(); ++j) point_of_file[series.points[j].file] = j;

  SeriesModel model;
  model.values.resize(drawing.samples.size());
  model.outlier.resize(drawing.samples.size());
  std::array<double, 4> shift{};
  int shared = 0;
  for (std::size_t i = 0; i < drawing.samples.size(); ++i) {
    const auto found = point_of_file.find(drawing.samples[i].source);
    if (found == point_of_file.end()) continue;
    const std::size_t j = found->second;
    const std::array<double, 4> shown =
        shownValues(series, series.points[j].value, result.reference);
    for (std::size_t c = 0; c < 4; ++c) shift[c] += drawing.samples[i].value[c] - shown[c];
    ++shared;
    model.values[i] =
        shownValues(series, result.reference + result.points[j].model, result.reference);
    model.outlier[i] = result.points[j].outlier;
  }
  if (shared == 0) return;
  for (double& s : shift) s /= shared;
  for (std::size_t c = 0; c < 4; ++c) {
    std::vector<double> residuals, sigmas;
    for (std::size_t i = 0; i < drawing.samples.size(); ++i) {
      if (!model.values[i]) continue;
      (*model.values[i])[c] += shift[c];
      if (model.outlier[i]) continue;
      residuals.push_back(drawing.samples[i].value[c] - (*model.values[i])[c]);
      sigmas.push_back(drawing.samples[i].sigma[c]);
    }
    model.band[c] = 3 * robustSigma(residuals, sigmas);
  }

  for (const series::Step& step : result.steps) {
    const double after = series.points[step.point].epoch;
    const double before = step.point > 0 ? series.points[step.point - 1].epoch : after;
    model.steps.push_back({series::modifiedJulianDateOfYear((before + after) / 2),
                           oneDecimal(step.size.norm(), false) + " mm"});
  }
  for (std::size_t c = 0; c < 4; ++c) {
    const std::optional<Measure> measure = panelMeasure(series, c);
    if (!measure) continue;
    const auto m = static_cast<std::size_t>(*measure);
    for (const bool alarm : {false, true})
      if (const std::optional<double> level = (alarm ? options.alarm : options.warn)[m])
        for (const double sign : {-1.0, 1.0})
          model.thresholds[c].push_back({shift[c] + sign * *level, alarm});
  }
  model.velocity = velocityText(series, result);
  model.status = statusText(result);
  drawing.model = std::move(model);
}

}  // namespace velk::plot

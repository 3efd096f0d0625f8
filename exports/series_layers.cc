#include "exports/series_layers.h"

#include <cstdio>

#include "exports/check_layers.h"
#include "exports/export_network.h"
#include "format/text_encoding.h"

namespace velk {
namespace {

using T = FieldType;

std::vector<Field> pairFields() {
  std::vector<Field> fields{{"from", T::kText},
                            {"to", T::kText},
                            {"status", T::kText},
                            {"stroke", T::kText},
                            {"reports", T::kInteger},
                            {"span_years", T::kReal},
                            {"variance_factor", T::kReal},
                            {"velocity_method", T::kText}};
  for (const char* name :
       {"velocity_e_mm_yr", "velocity_n_mm_yr", "velocity_u_mm_yr", "velocity_sigma_e_mm_yr",
        "velocity_sigma_n_mm_yr", "velocity_sigma_u_mm_yr"})
    fields.push_back({name, T::kReal});
  fields.push_back({"steps", T::kInteger});
  fields.push_back({"step_epochs", T::kText});
  fields.push_back({"outliers", T::kInteger});
  for (const char* name : {"displacement_e_mm", "displacement_n_mm", "displacement_u_mm",
                           "displacement_2d_mm", "displacement_3d_mm", "length_change_mm"})
    fields.push_back({name, T::kReal});
  fields.push_back({"notes", T::kText});
  return fields;
}

std::string stepEpochs(const std::vector<series::Step>& steps) {
  std::string text;
  for (const series::Step& step : steps) {
    char epoch[32];
    std::snprintf(epoch, sizeof epoch, "%.4f%s", step.epoch, step.known ? " (known)" : "");
    text += (text.empty() ? "" : ", ") + std::string(epoch);
  }
  return text;
}

std::string joined(const std::vector<std::string>& notes) {
  std::string text;
  for (const std::string& note : notes) text += (text.empty() ? "" : "; ") + note;
  return text;
}

}  // namespace

const char* statusColour(series::Status status) {
  switch (status) {
    case series::Status::kOk:
      return "#2e7d32";
    case series::Status::kWarning:
      return "#f9a825";
    case series::Status::kAlarm:
      return "#c62828";
    case series::Status::kInsufficient:
      return "#9e9e9e";
    case series::Status::kUnstable:
      return "#6a1b9a";
  }
  return "#000000";
}

std::vector<FeatureLayer> seriesLayers(std::span<const series::AnalysedSeries> all,
                                       std::span<const Report> reports) {
  FeatureLayer layer{"pairs", GeometryType::kLineString, pairFields(), {}};
  for (const series::AnalysedSeries& one : all) {
    const std::optional<Cartesian> from = aprioriCoordinates(reports, one.series.from);
    const std::optional<Cartesian> to = aprioriCoordinates(reports, one.series.to);
    if (!from || !to) continue;
    const series::SeriesResult& r = one.result;
    Feature feature;
    feature.vertices = {geodeticVertex(*from), geodeticVertex(*to)};
    feature.values.resize(layer.fields.size());
    std::size_t next = 0;
    const auto put = [&](AttributeValue value) { feature.values[next++] = std::move(value); };
    put(cp850ToUtf8(one.series.from));
    put(cp850ToUtf8(one.series.to));
    put(std::string(series::statusName(r.status)));
    put(std::string(statusColour(r.status)));
    put(static_cast<std::int64_t>(r.reports));
    put(r.span_years);
    put(r.variance_factor);
    if (r.velocity) {
      put(std::string(r.velocity->method == series::VelocityMethod::kMidas ? "midas"
                                                                           : "least_squares"));
      for (int a = 0; a < 3; ++a) put(r.velocity->rate(a));
      for (int a = 0; a < 3; ++a) put(r.velocity->sigma(a));
    } else {
      next += 7;  // no velocity: missing values
    }
    put(static_cast<std::int64_t>(r.steps.size()));
    put(stepEpochs(r.steps));
    put(static_cast<std::int64_t>(r.outliers.size()));
    if (r.displacement) {
      const series::Displacement& d = *r.displacement;
      for (int a = 0; a < 3; ++a) put(d.enu(a));
      put(d.horizontal);
      put(d.d3);
      put(d.length);
    } else {
      next += 6;
    }
    put(joined(r.notes));
    layer.features.push_back(std::move(feature));
  }
  std::vector<FeatureLayer> layers(1);
  layers[0] = std::move(layer);
  return layers;
}

}  // namespace velk

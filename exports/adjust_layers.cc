#include "exports/adjust_layers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <sstream>

#include "exports/check_layers.h"
#include "format/text_encoding.h"
#include "geodesy/geodesy.h"
#include "geodesy/local_frame.h"

namespace velk {
namespace {

using T = FieldType;

constexpr int kEllipsePoints = 72;

double mm(double metres) {
  return metres * 1000;
}

// A finite value, or a missing one (an MDB or a BNR that no test can reach).
AttributeValue finite(double value) {
  return std::isfinite(value) ? AttributeValue{value} : AttributeValue{};
}

// The covariance of X, Y, Z turned into the local east, north, up frame of the point.
Matrix3 localCovariance(const StationResult& station) {
  return ABAT(LocalFrame(station.xyz).rotation(), station.cov_xyz);
}

std::vector<Field> gridSigmaFields() {
  return {{"sigma_easting_mm", T::kReal}, {"sigma_northing_mm", T::kReal}};
}

FeatureLayer stationLayer(const AdjustmentResult& result, const Projection* projection) {
  FeatureLayer layer{"stations",
                     GeometryType::kPoint,
                     {{"name", T::kText},
                      {"held", T::kBoolean},
                      {"x", T::kReal},
                      {"y", T::kReal},
                      {"z", T::kReal},
                      {"lat_deg", T::kReal},
                      {"lon_deg", T::kReal},
                      {"height", T::kReal},
                      {"reports", T::kInteger},
                      {"sigma_e_mm", T::kReal},
                      {"sigma_n_mm", T::kReal},
                      {"sigma_u_mm", T::kReal},
                      {"semi_major_mm", T::kReal},
                      {"semi_minor_mm", T::kReal},
                      {"azimuth_deg", T::kReal},
                      {"flags", T::kText}},
                     {}};
  if (projection) {
    for (const Field& field : gridFields()) layer.fields.push_back(field);
    for (const Field& field : gridSigmaFields()) layer.fields.push_back(field);
  }
  std::map<std::string, std::int64_t> reports;
  for (const ObservationResult& observation : result.observations) {
    if (observation.control) continue;
    ++reports[observation.from];
    ++reports[observation.to];
  }
  for (const StationResult& station : result.stations) {
    const Vertex vertex = geodeticVertex(station.xyz);
    Feature feature{
        {vertex},
        {cp850ToUtf8(station.name), bool{station.held}, station.xyz.x, station.xyz.y, station.xyz.z,
         station.lat_deg, station.lon_deg, station.height, reports[station.name],
         mm(station.sigma_enu.e), mm(station.sigma_enu.n), mm(station.sigma_enu.u),
         mm(station.ellipse.semi_major), mm(station.ellipse.semi_minor),
         station.ellipse.azimuth_deg, std::string(station.held ? "held" : "")}};
    if (projection) {
      const GridPoint grid = projection->project(station.xyz);
      const Matrix3 enu = localCovariance(station);
      const GridSigmas sigmas = gridSigmas(enu(1, 1), enu(1, 2), enu(2, 2), grid);
      std::size_t next = feature.values.size();
      feature.values.resize(layer.fields.size());
      for (const double value : {grid.easting, grid.northing, grid.height, grid.convergence_deg,
                                 grid.scale, mm(sigmas.easting), mm(sigmas.northing)})
        feature.values[next++] = value;
    }
    layer.features.push_back(std::move(feature));
  }
  return layer;
}

const StationResult* stationNamed(const AdjustmentResult& result, const std::string& name) {
  const auto found = std::find_if(result.stations.begin(), result.stations.end(),
                                  [&](const StationResult& s) { return s.name == name; });
  return found == result.stations.end() ? nullptr : &*found;
}

FeatureLayer baselineLayer(const AdjustmentResult& result, std::span<const Report> reports) {
  FeatureLayer layer{"baselines",
                     GeometryType::kLineString,
                     {{"file", T::kText},
                      {"from", T::kText},
                      {"to", T::kText},
                      {"solution", T::kText},
                      {"ratio", T::kReal},
                      {"sigma3d_mm", T::kReal}},
                     {}};
  const char* axes[] = {"e", "n", "u"};
  for (const char* quantity : {"residual_%s_mm", "w_%s", "redundancy_%s", "mdb_%s_mm"}) {
    for (const char* axis : axes) {
      char name[32];
      std::snprintf(name, sizeof name, quantity, axis);
      layer.fields.push_back({name, T::kReal});
    }
  }
  for (const Field& field : std::initializer_list<Field>{{"t", T::kReal},
                                                         {"tested", T::kBoolean},
                                                         {"removed", T::kBoolean},
                                                         {"removal", T::kInteger},
                                                         {"uncontrolled", T::kBoolean},
                                                         {"flags", T::kText}})
    layer.fields.push_back(field);
  for (const ObservationResult& o : result.observations) {
    if (o.control) continue;
    const Report& report = reports[o.report];
    const StationResult* from = stationNamed(result, o.from);
    const StationResult* to = stationNamed(result, o.to);
    if (!from || !to) continue;
    Feature feature;
    feature.vertices = {geodeticVertex(from->xyz), geodeticVertex(to->xyz)};
    feature.values = {
        fileNameToUtf8(o.file),
        cp850ToUtf8(o.from),
        cp850ToUtf8(o.to),
        std::string(report.fixed ? "fixed" : "float"),
        report.lacks(ReportItem::kRatio) ? AttributeValue{} : AttributeValue{report.ratio},
        mm(sigma3D(report.sigma_x, report.sigma_y, report.sigma_z))};
    // Filled in place: the values past the first six, in the order of the fields.
    std::size_t next = feature.values.size();
    feature.values.resize(layer.fields.size());
    const auto put = [&](AttributeValue value) { feature.values[next++] = std::move(value); };
    for (const double v : {o.residual.e, o.residual.n, o.residual.u}) put(mm(v));
    for (const double w : o.w) put(o.tested ? AttributeValue{w} : AttributeValue{});
    for (const double r : o.redundancy) put(r);
    for (const double b : o.mdb) put(finite(mm(b)));
    put(o.tested ? AttributeValue{o.t3} : AttributeValue{});
    put(bool{o.tested});
    put(bool{o.removed});
    put(o.removed ? AttributeValue{std::int64_t{o.removal}} : AttributeValue{});
    put(bool{o.uncontrolled});
    put(joinedFlags(o.flags));
    layer.features.push_back(std::move(feature));
  }
  return layer;
}

FeatureLayer ellipseLayer(const AdjustmentResult& result, double scale) {
  FeatureLayer layer{"ellipses",
                     GeometryType::kPolygon,
                     {{"name", T::kText},
                      {"semi_major_mm", T::kReal},
                      {"semi_minor_mm", T::kReal},
                      {"azimuth_deg", T::kReal},
                      {"confidence", T::kReal},
                      {"scale", T::kReal}},
                     {}};
  for (const StationResult& station : result.stations) {
    const double major = station.ellipse.semi_major * kEllipse95;
    const double minor = station.ellipse.semi_minor * kEllipse95;
    if (station.held || !(major > 0)) continue;  // a held station has no ellipse to draw
    layer.features.push_back({ellipsePolygon(station.xyz, major * scale, minor * scale,
                                             station.ellipse.azimuth_deg, kEllipsePoints),
                              {cp850ToUtf8(station.name), mm(major), mm(minor),
                               station.ellipse.azimuth_deg, 0.95, scale}});
  }
  return layer;
}

}  // namespace

const AdjustmentResult& lastAdjustment(const AdjustmentRun& run) {
  return run.constrained ? *run.constrained : run.minimal;
}

std::vector<FeatureLayer> adjustLayers(const AdjustmentRun& run, std::span<const Report> reports,
                                       double ellipse_scale, const Projection* projection) {
  const AdjustmentResult& result = lastAdjustment(run);
  std::vector<FeatureLayer> layers(3);
  layers[0] = stationLayer(result, projection);
  layers[1] = baselineLayer(result, reports);
  layers[2] = ellipseLayer(result, ellipse_scale);
  return layers;
}

std::string withGridColumns(const std::string& stations_csv, const AdjustmentResult& result,
                            const Projection& projection) {
  std::istringstream in(stations_csv);
  std::string out, line;
  std::getline(in, line);
  out += line +
         ",easting,northing,grid_height,sE_grid_mm,sN_grid_mm,convergence_deg,"
         "scale_factor\n";
  for (const StationResult& station : result.stations) {
    if (!std::getline(in, line)) break;
    const GridPoint grid = projection.project(station.xyz);
    const Matrix3 enu = localCovariance(station);
    const GridSigmas sigmas = gridSigmas(enu(1, 1), enu(1, 2), enu(2, 2), grid);
    char columns[200];
    std::snprintf(columns, sizeof columns, ",%.4f,%.4f,%.4f,%.2f,%.2f,%.9f,%.10f", grid.easting,
                  grid.northing, grid.height, mm(sigmas.easting), mm(sigmas.northing),
                  grid.convergence_deg, grid.scale);
    out += line + columns + "\n";
  }
  return out;
}

}  // namespace velk

namespace velk {
namespace {

LowerTriangle lowerTriangle(std::size_t size,
                            const std::vector<SolutionMatrices::Element>& elements) {
  LowerTriangle matrix;
  matrix.size = size;
  for (const SolutionMatrices::Element& e : elements)
    matrix.elements.push_back({e.row, e.column, e.value});
  return matrix;
}

// Each station's observation period: the first start and the last end of the reports that
// name it, and its description from the first of them.
void addEpochs(const AdjustmentResult& result, std::span<const Report> reports,
               std::vector<SinexStation>& stations) {
  for (SinexStation& station : stations) {
    station.first_mjd = std::numeric_limits<double>::infinity();
    station.last_mjd = -station.first_mjd;
  }
  for (const ObservationResult& o : result.observations) {
    if (o.control) continue;
    const Report& report = reports[o.report];
    for (SinexStation& station : stations) {
      const bool fixed_end = station.code == report.fixed_station;
      if (!fixed_end && station.code != report.unknown_station) continue;
      station.first_mjd = std::min(station.first_mjd, report.start_mjd);
      station.last_mjd = std::max(station.last_mjd, report.end_mjd);
      if (station.description.empty())
        station.description = fixed_end ? report.fixed_description : report.unknown_description;
    }
  }
  for (SinexStation& station : stations) {
    if (!std::isfinite(station.first_mjd)) station.first_mjd = station.last_mjd = 0;
    station.mean_mjd = (station.first_mjd + station.last_mjd) / 2;
  }
}

}  // namespace

SinexSolution adjustSinex(const AdjustmentRun& run, std::span<const Report> reports,
                          double created_mjd) {
  const AdjustmentResult& result = lastAdjustment(run);
  SinexSolution solution;
  solution.description = "baselines adjust: least squares of GNSS baseline vectors";
  solution.output =
      result.summary.constrained ? "constrained adjustment" : "minimally constrained adjustment";
  solution.software = "baselines adjust";
  solution.input = std::to_string(result.summary.reports_used) + " baseline reports";
  solution.created_mjd = created_mjd;
  for (const StationResult& s : result.stations) {
    SinexStation station;
    station.code = s.name;
    station.lon_deg = s.lon_deg;
    station.lat_deg = s.lat_deg;
    station.height = s.height;
    station.apriori = s.apriori;
    station.xyz = s.xyz;
    station.sigma = {std::sqrt(s.cov_xyz(1, 1)), std::sqrt(s.cov_xyz(2, 2)),
                     std::sqrt(s.cov_xyz(3, 3))};
    station.held = s.held;
    solution.stations.push_back(station);
  }
  addEpochs(result, reports, solution.stations);
  solution.start_mjd = std::numeric_limits<double>::infinity();
  solution.end_mjd = -solution.start_mjd;
  for (const SinexStation& station : solution.stations) {
    if (station.first_mjd == 0 && station.last_mjd == 0) continue;
    solution.start_mjd = std::min(solution.start_mjd, station.first_mjd);
    solution.end_mjd = std::max(solution.end_mjd, station.last_mjd);
  }
  solution.mean_mjd = (solution.start_mjd + solution.end_mjd) / 2;
  const std::size_t kept = result.observations.size() - result.removed.size();
  solution.observations = static_cast<int>(3 * kept);
  solution.unknowns = result.summary.unknowns;
  solution.redundancy = result.summary.global.redundancy;
  solution.vtpv = result.summary.global.vtpv;
  solution.variance_factor = result.summary.global.variance_factor;
  if (result.matrices) {
    const std::size_t size = 3 * result.stations.size();
    if (result.matrices->has_covariance) {
      solution.covariance = lowerTriangle(size, result.matrices->covariance);
    } else {
      solution.normals =
          SinexNormals{lowerTriangle(size, result.matrices->normals), result.matrices->rhs};
    }
  }
  return solution;
}

}  // namespace velk

#include "exports/projection.h"

#include <proj.h>
#include <proj_experimental.h>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace velk {
namespace {

// PROJ's last error message of a context, kept by its logger (PROJ prints it otherwise).
struct Messages {
  std::string last;
};

void keepMessage(void* data, int level, const char* message) {
  if (level <= PJ_LOG_ERROR && message) static_cast<Messages*>(data)->last = message;
}

struct Deleter {
  void operator()(PJ* object) const { proj_destroy(object); }
};
using Object = std::unique_ptr<PJ, Deleter>;

std::string yearText(double year) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", year);
  return text;
}

}  // namespace

struct Projection::State {
  PJ_CONTEXT* context = nullptr;
  Messages messages;
  Object target, source, to_geographic, to_grid;
  Object conversion;  // the target's map projection, for its factors
  SpatialReference reference;
  std::string source_name;
  double epoch = 0;

  State() {
    context = proj_context_create();
    proj_log_func(context, &messages, keepMessage);
  }
  ~State() {
    // The objects belong to the context: gone before it.
    conversion.reset();
    to_grid.reset();
    to_geographic.reset();
    source.reset();
    target.reset();
    proj_context_destroy(context);
  }

  [[noreturn]] void fail(const std::string& what) const {
    const int error = proj_context_errno(context);
    std::string reason = messages.last;
    if (reason.empty() && error != 0) reason = proj_context_errno_string(context, error);
    throw ProjectionError(reason.empty() ? what : what + ": " + reason);
  }
  Object create(const std::string& code, const char* option) {
    Object object(proj_create(context, code.c_str()));
    if (!object) fail(std::string(option) + ": PROJ does not know '" + code + "'");
    return object;
  }
  Object operation(PJ* from, PJ* to) {
    Object raw(proj_create_crs_to_crs_from_pj(context, from, to, nullptr, nullptr));
    if (!raw)
      fail("PROJ finds no transformation from " + std::string(proj_get_name(from)) + " to " +
           proj_get_name(to));
    // Longitude, latitude (or easting, northing) in that order, whatever the axes say.
    Object normalised(proj_normalize_for_visualization(context, raw.get()));
    if (!normalised) fail("PROJ cannot order the axes of the transformation");
    return normalised;
  }
};

Projection::Projection(const std::string& target, const std::optional<std::string>& source,
                       double epoch)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.epoch = epoch;
  s.target = s.create(target, "--crs");
  if (proj_get_type(s.target.get()) != PJ_TYPE_PROJECTED_CRS)
    throw ProjectionError("--crs: " + target + " (" + proj_get_name(s.target.get()) +
                          ") is not a projected system");
  const Object geographic(proj_crs_get_geodetic_crs(s.context, s.target.get()));
  if (!geographic) s.fail("--crs: " + target + " has no geodetic system");
  if (source) {
    s.source = s.create(*source, "--source-crs");
    if (proj_get_type(s.source.get()) != PJ_TYPE_GEOCENTRIC_CRS)
      throw ProjectionError("--source-crs: " + *source + " (" + proj_get_name(s.source.get()) +
                            ") is not a geocentric system, as the reports' coordinates are");
  } else {
    const Object datum(proj_crs_get_datum_forced(s.context, geographic.get()));
    if (!datum) s.fail("--crs: the datum of " + target + " is unknown");
    const std::string name = std::string(proj_get_name(geographic.get())) + " geocentric";
    s.source.reset(
        proj_create_geocentric_crs_from_datum(s.context, name.c_str(), datum.get(), "metre", 1.0));
    if (!s.source) s.fail("--crs: no geocentric system on the datum of " + target);
  }
  s.source_name = proj_get_name(s.source.get());
  const Object geographic3d(proj_crs_promote_to_3D(s.context, nullptr, geographic.get()));
  if (!geographic3d) s.fail("--crs: PROJ cannot add heights to " + target);
  s.to_geographic = s.operation(s.source.get(), geographic3d.get());
  s.to_grid = s.operation(geographic.get(), s.target.get());
  // Kept once: proj_factors on the projected system itself builds its conversion per call.
  // The projection alone, made once from the system's PROJ string without "+type=crs": a
  // plain map projection taking radians, as proj_factors wants (given the projected system
  // itself, proj_factors builds that operation again on every call).
  if (const char* text = proj_as_proj_string(s.context, s.target.get(), PJ_PROJ_4, nullptr)) {
    std::string definition = text;
    const std::size_t crs = definition.find(" +type=crs");
    if (crs != std::string::npos) definition.erase(crs, 10);
    s.conversion.reset(proj_create(s.context, definition.c_str()));
  }
  // A system without a PROJ string: its factors the slow way.
  if (!s.conversion) s.conversion.reset(proj_clone(s.context, s.target.get()));
  if (!s.conversion) s.fail("--crs: PROJ gives no map projection for " + target);

  SpatialReference& reference = s.reference;
  reference.name = proj_get_name(s.target.get());
  const char* authority = proj_get_id_auth_name(s.target.get(), 0);
  const char* code = proj_get_id_code(s.target.get(), 0);
  if (authority && code && std::string(authority) == "EPSG") {
    reference.organization = "EPSG";
    reference.code = std::stoi(code);
    reference.srs_id = reference.code;
  } else {
    // A system without an EPSG code gets an identifier of its own above EPSG's range.
    reference.organization = "NONE";
    reference.code = 100000;
    reference.srs_id = 100000;
  }
  const char* wkt = proj_as_wkt(s.context, s.target.get(), PJ_WKT1_GDAL, nullptr);
  if (!wkt) wkt = proj_as_wkt(s.context, s.target.get(), PJ_WKT2_2019, nullptr);
  if (!wkt) s.fail("--crs: PROJ gives no WKT for " + target);
  reference.definition = wkt;
}

Projection::~Projection() = default;
Projection::Projection(Projection&&) noexcept = default;

// Longitude and latitude (degrees) and ellipsoidal height on the target's datum.
Vertex Projection::geodetic(const Cartesian& point) const {
  // The fourth coordinate is the epoch: a time-dependent transformation takes it.
  const PJ_COORD at = proj_trans(state_->to_geographic.get(), PJ_FWD,
                                 proj_coord(point.x, point.y, point.z, state_->epoch));
  return {at.lpzt.lam, at.lpzt.phi, at.lpzt.z};
}

GridPoint Projection::grid(const Vertex& geodetic) const {
  const PJ_COORD grid =
      proj_trans(state_->to_grid.get(), PJ_FWD, proj_coord(geodetic.lon, geodetic.lat, 0, 0));
  GridPoint result;
  result.easting = grid.xy.x;
  result.northing = grid.xy.y;
  result.height = geodetic.height;
  return result;
}

GridPoint Projection::place(const Cartesian& point) const {
  return grid(geodetic(point));
}

GridPoint Projection::project(const Cartesian& point) const {
  const Vertex at = geodetic(point);
  GridPoint result = grid(at);
  const PJ_COORD radians = proj_coord(proj_torad(at.lon), proj_torad(at.lat), 0, 0);
  const PJ_FACTORS factors = proj_factors(state_->conversion.get(), radians);
  result.convergence_deg = proj_todeg(factors.meridian_convergence);
  result.scale = factors.meridional_scale;
  return result;
}

const SpatialReference& Projection::reference() const {
  return state_->reference;
}

std::string Projection::description() const {
  const SpatialReference& reference = state_->reference;
  std::string text = reference.name;
  if (reference.organization == "EPSG") text += " (EPSG:" + std::to_string(reference.code) + ")";
  return text + " from " + state_->source_name + ", at epoch " + yearText(state_->epoch);
}

double Projection::epoch() const {
  return state_->epoch;
}

GridSigmas gridSigmas(double cov_ee, double cov_en, double cov_nn, const GridPoint& point) {
  // Grid axes: a true azimuth A becomes the bearing A - g, so a local vector (e, n) turns
  // by g anticlockwise: E = k (e cos g - n sin g), N = k (e sin g + n cos g).
  const double g = point.convergence_deg * std::numbers::pi / 180;
  const double c = std::cos(g), s = std::sin(g), k2 = point.scale * point.scale;
  const double var_e = k2 * (c * c * cov_ee - 2 * c * s * cov_en + s * s * cov_nn);
  const double var_n = k2 * (s * s * cov_ee + 2 * c * s * cov_en + c * c * cov_nn);
  return {std::sqrt(var_e), std::sqrt(var_n)};
}

SpatialReference geographicReference() {
  PJ_CONTEXT* context = proj_context_create();
  proj_log_level(context, PJ_LOG_NONE);
  SpatialReference reference;
  reference.name = "WGS 84";
  reference.organization = "EPSG";
  if (PJ* crs = proj_create(context, "EPSG:4326")) {
    if (const char* wkt = proj_as_wkt(context, crs, PJ_WKT1_GDAL, nullptr))
      reference.definition = wkt;
    proj_destroy(crs);
  }
  proj_context_destroy(context);
  // Without PROJ's database the well-known definition of EPSG:4326 (GeoPackage 1.3, Annex F).
  if (reference.definition.empty())
    reference.definition =
        "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563,"
        "AUTHORITY[\"EPSG\",\"7030\"]],AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0,"
        "AUTHORITY[\"EPSG\",\"8901\"]],UNIT[\"degree\",0.0174532925199433,AUTHORITY[\"EPSG\","
        "\"9122\"]],AUTHORITY[\"EPSG\",\"4326\"]]";
  return reference;
}

double decimalYear(double modified_julian_date) {
  return 2000.0 + (modified_julian_date - 51544.5) / 365.25;
}

}  // namespace velk

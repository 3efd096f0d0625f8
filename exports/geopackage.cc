#include "exports/geopackage.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "format/run_error.h"

namespace velk {
namespace {

static_assert(
    std::endian::native == std::endian::little,
    "the GeoPackage blobs are written in the machine's byte order, flagged little-endian");

// 'GPKG' in the header's application_id, and version 1.3.0 as 10300 (GeoPackage 1.3, 1.1.1).
constexpr std::int32_t kApplicationId = 0x47504B47;
constexpr std::int32_t kUserVersion = 10300;

template <typename T>
void appendRaw(std::string& bytes, T value) {
  char raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));
  bytes.append(raw, sizeof(T));
}

std::uint32_t wkbType(GeometryType type) {
  switch (type) {
    case GeometryType::kPoint:
      return 1;
    case GeometryType::kLineString:
      return 2;
    case GeometryType::kPolygon:
      return 3;
  }
  return 0;
}

const char* geometryTypeName(GeometryType type) {
  switch (type) {
    case GeometryType::kPoint:
      return "POINT";
    case GeometryType::kLineString:
      return "LINESTRING";
    case GeometryType::kPolygon:
      return "POLYGON";
  }
  return "GEOMETRY";
}

const char* columnType(FieldType type) {
  switch (type) {
    case FieldType::kInteger:
      return "INTEGER";
    case FieldType::kReal:
      return "REAL";
    case FieldType::kText:
      return "TEXT";
    case FieldType::kBoolean:
      return "BOOLEAN";
  }
  return "TEXT";
}

std::string quotedName(std::string_view name) {
  std::string quoted = "\"";
  for (const char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

struct Envelope {
  double min_x = std::numeric_limits<double>::infinity(), max_x = -min_x;
  double min_y = min_x, max_y = -min_x;
  void add(const MapPoint& p) {
    min_x = std::min(min_x, p.x);
    max_x = std::max(max_x, p.x);
    min_y = std::min(min_y, p.y);
    max_y = std::max(max_y, p.y);
  }
  bool empty() const { return min_x > max_x; }
};

// The database being built; closed whatever happens.
class Database {
 public:
  Database() {
    if (sqlite3_open(":memory:", &db_) != SQLITE_OK)
      throw RunError("cannot build the GeoPackage: SQLite cannot open a database in memory");
  }
  ~Database() { sqlite3_close(db_); }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  void execute(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string text = message ? message : sqlite3_errmsg(db_);
      sqlite3_free(message);
      fail(text);
    }
  }
  sqlite3* handle() const { return db_; }
  [[noreturn]] void fail(const std::string& what) const {
    throw RunError("cannot build the GeoPackage: " + what);
  }
  std::string serialised() const {
    sqlite3_int64 size = 0;
    unsigned char* data = sqlite3_serialize(db_, "main", &size, 0);
    if (!data) fail("SQLite cannot serialise the database");
    std::string bytes(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size));
    sqlite3_free(data);
    return bytes;
  }

 private:
  sqlite3* db_ = nullptr;
};

// A prepared statement, finalised whatever happens.
class Statement {
 public:
  Statement(const Database& db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &statement_, nullptr) != SQLITE_OK)
      db.fail(sqlite3_errmsg(db.handle()));
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void bind(int index, const AttributeValue& value) {
    int status = SQLITE_OK;
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
      status = sqlite3_bind_int64(statement_, index, *integer);
    } else if (const auto* real = std::get_if<double>(&value)) {
      status = std::isfinite(*real) ? sqlite3_bind_double(statement_, index, *real)
                                    : sqlite3_bind_null(statement_, index);
    } else if (const auto* text = std::get_if<std::string>(&value)) {
      status = sqlite3_bind_text(statement_, index, text->data(), static_cast<int>(text->size()),
                                 SQLITE_TRANSIENT);
    } else if (const auto* flag = std::get_if<bool>(&value)) {
      status = sqlite3_bind_int(statement_, index, *flag ? 1 : 0);
    } else {
      status = sqlite3_bind_null(statement_, index);
    }
    check(status);
  }
  void bindBlob(int index, const std::string& blob) {
    check(sqlite3_bind_blob(statement_, index, blob.data(), static_cast<int>(blob.size()),
                            SQLITE_TRANSIENT));
  }
  void run() {
    if (sqlite3_step(statement_) != SQLITE_DONE) db_.fail(sqlite3_errmsg(db_.handle()));
    check(sqlite3_reset(statement_));
    check(sqlite3_clear_bindings(statement_));
  }

 private:
  void check(int status) const {
    if (status != SQLITE_OK) db_.fail(sqlite3_errmsg(db_.handle()));
  }
  const Database& db_;
  sqlite3_stmt* statement_ = nullptr;
};

// The tables every GeoPackage has (GeoPackage 1.3, 1.1.2 and 1.1.3; 2.1.5 for the
// geometry columns), with the three rows of gpkg_spatial_ref_sys that 1.1.2.1.2 requires.
void createCoreTables(Database& db) {
  db.execute("PRAGMA application_id = " + std::to_string(kApplicationId) + ";" +
             "PRAGMA user_version = " + std::to_string(kUserVersion) + ";");
  db.execute(
      "CREATE TABLE gpkg_spatial_ref_sys (srs_name TEXT NOT NULL, srs_id INTEGER PRIMARY KEY, "
      "organization TEXT NOT NULL, organization_coordsys_id INTEGER NOT NULL, "
      "definition TEXT NOT NULL, description TEXT);"
      "CREATE TABLE gpkg_contents (table_name TEXT NOT NULL PRIMARY KEY, "
      "data_type TEXT NOT NULL, identifier TEXT UNIQUE, description TEXT DEFAULT '', "
      "last_change DATETIME NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ','now')), "
      "min_x DOUBLE, min_y DOUBLE, max_x DOUBLE, max_y DOUBLE, srs_id INTEGER, "
      "CONSTRAINT fk_gc_r_srs_id FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys(srs_id));"
      "CREATE TABLE gpkg_geometry_columns (table_name TEXT NOT NULL, column_name TEXT NOT NULL, "
      "geometry_type_name TEXT NOT NULL, srs_id INTEGER NOT NULL, z TINYINT NOT NULL, "
      "m TINYINT NOT NULL, CONSTRAINT pk_geom_cols PRIMARY KEY (table_name, column_name), "
      "CONSTRAINT uk_gc_table_name UNIQUE (table_name), "
      "CONSTRAINT fk_gc_tn FOREIGN KEY (table_name) REFERENCES gpkg_contents(table_name), "
      "CONSTRAINT fk_gc_srs FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys (srs_id));"
      "INSERT INTO gpkg_spatial_ref_sys VALUES ('Undefined cartesian SRS', -1, 'NONE', -1, "
      "'undefined', 'undefined cartesian coordinate reference system');"
      "INSERT INTO gpkg_spatial_ref_sys VALUES ('Undefined geographic SRS', 0, 'NONE', 0, "
      "'undefined', 'undefined geographic coordinate reference system');");
}

void addReference(Database& db, const SpatialReference& reference) {
  if (reference.srs_id <= 0) return;
  Statement insert(db, "INSERT INTO gpkg_spatial_ref_sys VALUES (?, ?, ?, ?, ?, NULL)");
  insert.bind(1, reference.name);
  insert.bind(2, std::int64_t{reference.srs_id});
  insert.bind(3, reference.organization);
  insert.bind(4, std::int64_t{reference.code});
  insert.bind(5, reference.definition);
  insert.run();
}

Envelope addFeatures(Database& db, const FeatureLayer& layer, const SpatialReference& reference,
                     const VertexPlacement& place) {
  std::string columns = "fid INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL, geom ";
  columns += geometryTypeName(layer.geometry);
  std::string names = "geom";
  std::string slots = "?";
  for (const Field& field : layer.fields) {
    columns += ", " + quotedName(field.name) + " " + columnType(field.type);
    names += ", " + quotedName(field.name);
    slots += ", ?";
  }
  db.execute("CREATE TABLE " + quotedName(layer.name) + " (" + columns + ");");
  Statement insert(
      db, "INSERT INTO " + quotedName(layer.name) + " (" + names + ") VALUES (" + slots + ")");
  Envelope envelope;
  std::vector<MapPoint> points;
  for (const Feature& feature : layer.features) {
    points.clear();
    for (const Vertex& vertex : feature.vertices) {
      points.push_back(place(vertex));
      envelope.add(points.back());
    }
    insert.bindBlob(1, geoPackageGeometry(layer.geometry, points, reference.srs_id));
    for (std::size_t i = 0; i < layer.fields.size(); ++i)
      insert.bind(static_cast<int>(i) + 2, feature.values[i]);
    insert.run();
  }
  return envelope;
}

void describeLayer(Database& db, const FeatureLayer& layer, const Envelope& envelope,
                   const SpatialReference& reference) {
  Statement contents(
      db,
      "INSERT INTO gpkg_contents (table_name, data_type, identifier, "
      "min_x, min_y, max_x, max_y, srs_id) VALUES (?, 'features', ?, ?, ?, ?, ?, ?)");
  contents.bind(1, layer.name);
  contents.bind(2, layer.name);
  const bool known = !envelope.empty();
  contents.bind(3, known ? AttributeValue{envelope.min_x} : AttributeValue{});
  contents.bind(4, known ? AttributeValue{envelope.min_y} : AttributeValue{});
  contents.bind(5, known ? AttributeValue{envelope.max_x} : AttributeValue{});
  contents.bind(6, known ? AttributeValue{envelope.max_y} : AttributeValue{});
  contents.bind(7, std::int64_t{reference.srs_id});
  contents.run();
  Statement columns(db, "INSERT INTO gpkg_geometry_columns VALUES (?, 'geom', ?, ?, 0, 0)");
  columns.bind(1, layer.name);
  columns.bind(2, std::string(geometryTypeName(layer.geometry)));
  columns.bind(3, std::int64_t{reference.srs_id});
  columns.run();
}

}  // namespace

MapPoint longitudeLatitude(const Vertex& vertex) {
  return {vertex.lon, vertex.lat};
}

std::string geoPackageGeometry(GeometryType type, std::span<const MapPoint> points,
                               std::int32_t srs_id) {
  const bool with_envelope = type != GeometryType::kPoint;
  std::string blob = "GP";
  blob += '\0';  // version 1 of the blob format is written 0
  // Flags: bit 0 little-endian; bits 1-3 the envelope kind (1: [minx, maxx, miny, maxy]).
  blob += static_cast<char>(0x01 | (with_envelope ? 0x02 : 0x00));
  appendRaw(blob, srs_id);
  if (with_envelope) {
    Envelope envelope;
    for (const MapPoint& point : points) envelope.add(point);
    for (const double bound : {envelope.min_x, envelope.max_x, envelope.min_y, envelope.max_y})
      appendRaw(blob, bound);
  }
  blob += '\x01';  // WKB little-endian
  appendRaw(blob, wkbType(type));
  if (type == GeometryType::kPolygon) appendRaw(blob, std::uint32_t{1});  // one ring
  if (type != GeometryType::kPoint) appendRaw(blob, static_cast<std::uint32_t>(points.size()));
  for (const MapPoint& point : points) {
    appendRaw(blob, point.x);
    appendRaw(blob, point.y);
  }
  return blob;
}

std::string geoPackageFile(std::span<const FeatureLayer> layers, const SpatialReference& reference,
                           const VertexPlacement& place) {
  Database db;
  createCoreTables(db);
  addReference(db, reference);
  db.execute("BEGIN;");
  for (const FeatureLayer& layer : layers)
    describeLayer(db, layer, addFeatures(db, layer, reference, place), reference);
  db.execute("COMMIT;");
  return db.serialised();
}

}  // namespace velk

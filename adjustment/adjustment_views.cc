#include "adjustment/adjustment_views.h"

#include <cmath>

#include "format/json_writer.h"
#include "format/number_text.h"
#include "format/text_encoding.h"
#include "format/text_table.h"

namespace velk {
namespace {

using Align = TextTable::Align;
constexpr Align kLeft = Align::kLeft;
constexpr Align kRight = Align::kRight;

std::string fixed(double value, int decimals) {
  return std::isfinite(value) ? fixedTextTiesToEven(value, decimals) : "-";
}
std::string mm(double metres) {
  return fixed(metres * 1000, 1);
}
std::string utf8(const std::string& name) {
  return cp850ToUtf8(name);
}

// Decimals for at least 10 significant digits of a value (JSON numbers read back to
// within the last of them).
int decimalsFor(double value) {
  if (value == 0 || !std::isfinite(value)) return 1;
  const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
  return std::max(1, 9 - exponent);
}

class TextView {
 public:
  explicit TextView(bool degrees) : degrees_(degrees) {}
  std::string render(const AdjustmentRun& run, const std::vector<std::string>& act_on);

 private:
  std::string angle(double degrees, int decimals) const {
    return fixed(degrees_ ? degrees : degrees * 200 / 180, decimals);
  }
  std::string unit() const { return degrees_ ? "deg" : "gon"; }
  void adjustment(const AdjustmentResult& result, const std::string& title);
  void summary(const AdjustmentResult& result, const std::string& title);
  void stations(const AdjustmentResult& result);
  void observations(const AdjustmentResult& result);
  void removed(const AdjustmentResult& result);
  void relative(const AdjustmentResult& result);
  // The table, then the note on its columns in lines of at most 100 columns.
  void table(const TextTable& table, std::string_view note) {
    out_ += table.render("  ");
    std::string line = " ";
    while (!note.empty()) {
      const std::size_t blank = note.find(' ');
      const std::string_view word = note.substr(0, blank);
      if (line.size() > 1 && line.size() + 1 + word.size() > 100) {
        out_ += line + "\n";
        line = " ";
      }
      line += " ";
      line += word;
      note.remove_prefix(blank == std::string_view::npos ? note.size() : blank + 1);
    }
    out_ += line + "\n";
  }

  bool degrees_;
  std::string out_;
};

// Two lines: the verdict with σ̂0², then the statistic and its bounds.
std::string globalTestText(const GlobalTest& test) {
  if (!test.tested) return "redundancy 0, nothing can be tested\n";
  return std::string(test.passed ? "passed" : "FAILED") + ", sigma0^2 " +
         fixed(test.variance_factor, 3) + "\n  vTPv " + fixed(test.vtpv, 3) + " on " +
         std::to_string(test.redundancy) + " degrees of freedom; chi-square " +
         fixed(test.lower, 3) + " to " + fixed(test.upper, 3) + " at alpha " +
         fixed(test.alpha, 3) + "\n";
}

void TextView::summary(const AdjustmentResult& result, const std::string& title) {
  const AdjustmentSummary& s = result.summary;
  out_ += title + ": " + std::to_string(s.reports_used) + " reports";
  if (s.control_observations > 0)
    out_ += " and " + std::to_string(s.control_observations) + " weighted control stations";
  out_ += ", " + std::to_string(s.stations) + " stations, " + std::to_string(s.unknowns) +
          " unknowns, redundancy " + std::to_string(s.global.redundancy) + "\n";
  if (s.free_datum) {
    out_ += "Datum: free (inner constraints per connected part)\n";
  } else {
    out_ += "Datum: held";
    for (const std::string& name : result.held) out_ += " " + utf8(name);
    out_ += "\n";
  }
  if (!result.removed.empty())
    out_ += "Global test before data snooping: " + globalTestText(s.global_initial);
  out_ += "Global test: " + globalTestText(s.global);
  out_ += "B-method: alpha " + fixed(s.critical.alpha_w, 4) + ", power " +
          fixed(s.critical.power, 2) + ", lambda0 " + fixed(s.critical.lambda0, 2) +
          "; critical |w| " + fixed(s.critical.critical_w, 2) + ", critical T " +
          fixed(s.critical.critical_t3, 2) + " (alpha " + fixed(s.critical.alpha_t3, 4) + ")\n";
  out_ += s.aposteriori_scale ? "Precision: a posteriori (covariances scaled by sigma0^2 " +
                                    fixed(s.precision_scale, 3) + ")\n"
                              : std::string("Precision: a priori (sigma0 = 1)\n");
}

void TextView::stations(const AdjustmentResult& result) {
  out_ += "\nStations\n";
  TextTable t({{"Station", kLeft},
               {"X m", kRight},
               {"Y m", kRight},
               {"Z m", kRight},
               {"Lat " + unit(), kRight},
               {"Lon " + unit(), kRight},
               {"h m", kRight},
               {"sE", kRight},
               {"sN", kRight},
               {"sU", kRight},
               {"a", kRight},
               {"b", kRight},
               {"Az " + unit(), kRight},
               {"", kLeft}});
  for (const StationResult& s : result.stations)
    t.addRow({utf8(s.name), fixed(s.xyz.x, 4), fixed(s.xyz.y, 4), fixed(s.xyz.z, 4),
              angle(s.lat_deg, 8), angle(s.lon_deg, 8), fixed(s.height, 4), mm(s.sigma_enu.e),
              mm(s.sigma_enu.n), mm(s.sigma_enu.u), mm(s.ellipse.semi_major),
              mm(s.ellipse.semi_minor), angle(s.ellipse.azimuth_deg, 1), s.held ? "held" : ""});
  table(t,
        "Adjusted X Y Z; latitude, longitude and ellipsoidal height on GRS 80; standard "
        "deviations east, north, up (mm); standard ellipse semi-axes a, b (mm; x 2.4477 "
        "for 95%) and azimuth of a from north, clockwise.");
}

std::string flagsText(const std::vector<std::string>& flags) {
  std::string text;
  for (const std::string& flag : flags) text += (text.empty() ? "" : " ") + flag;
  return text;
}

void TextView::observations(const AdjustmentResult& result) {
  out_ += "\nReports (E N U at the first station)\n";
  TextTable t({{"File", kLeft},
               {"From", kLeft},
               {"To", kLeft},
               {"vE", kRight},
               {"vN", kRight},
               {"vU", kRight},
               {"wE", kRight},
               {"wN", kRight},
               {"wU", kRight},
               {"T", kRight},
               {"rE", kRight},
               {"rN", kRight},
               {"rU", kRight},
               {"MDB E", kRight},
               {"N", kRight},
               {"U", kRight},
               {"Flags", kLeft}});
  for (const ObservationResult& o : result.observations) {
    const auto w = [&](int a) { return o.tested ? fixed(o.w[a], 2) : "-"; };
    t.addRow({o.file, utf8(o.from), utf8(o.to), mm(o.residual.e), mm(o.residual.n),
              mm(o.residual.u), w(0), w(1), w(2), o.tested ? fixed(o.t3, 2) : "-",
              fixed(o.redundancy[0], 2), fixed(o.redundancy[1], 2), fixed(o.redundancy[2], 2),
              mm(o.mdb[0]), mm(o.mdb[1]), mm(o.mdb[2]), flagsText(o.flags)});
  }
  table(t,
        "Residuals v = adjusted - observed (mm); w-tests (reject |w| above critical); T, "
        "the 3-dimensional test (reject above critical); redundancy numbers r (sum to the "
        "redundancy); minimal detectable biases (mm). Taken out: values when taken out.");
}

void TextView::removed(const AdjustmentResult& result) {
  out_ += "\nReports taken out by data snooping, in order\n";
  if (result.removed.empty()) {
    out_ += "  none\n";
    return;
  }
  TextTable t({{"#", kRight},
               {"File", kLeft},
               {"From", kLeft},
               {"To", kLeft},
               {"T", kRight},
               {"wE", kRight},
               {"wN", kRight},
               {"wU", kRight},
               {"vE", kRight},
               {"vN", kRight},
               {"vU", kRight}});
  for (const std::size_t k : result.removed) {
    const ObservationResult& o = result.observations[k];
    t.addRow({std::to_string(o.removal), o.file, utf8(o.from), utf8(o.to), fixed(o.t3, 2),
              fixed(o.w[0], 2), fixed(o.w[1], 2), fixed(o.w[2], 2), mm(o.residual.e),
              mm(o.residual.n), mm(o.residual.u)});
  }
  table(t,
        "Each had the largest T over its critical value when taken out; its tests and "
        "residuals (mm) are those of that moment.");
}

void TextView::relative(const AdjustmentResult& result) {
  out_ += "\nRelative precision (95%, in the frame of the first station)\n";
  TextTable t({{"From", kLeft},
               {"To", kLeft},
               {"Distance m", kRight},
               {"a", kRight},
               {"b", kRight},
               {"Az " + unit(), kRight},
               {"Up", kRight},
               {"Limit", kRight},
               {"", kLeft}});
  for (const RelativePrecision& r : result.relative)
    t.addRow({utf8(r.from), utf8(r.to), fixed(r.distance, 3), mm(r.ellipse95.semi_major),
              mm(r.ellipse95.semi_minor), angle(r.ellipse95.azimuth_deg, 1), mm(r.vertical95),
              r.limited ? mm(r.limit) : "",
              !r.limited ? ""
              : r.passed ? ""
                         : "FAILED"});
  table(t,
        "Semi-axes a, b (mm) and azimuth of a of the relative ellipse at 95%; Up: the "
        "vertical sigma x 1.96 (mm); Limit (mm): a must not exceed it.");
}

void TextView::adjustment(const AdjustmentResult& result, const std::string& title) {
  summary(result, title);
  stations(result);
  observations(result);
  removed(result);
  relative(result);
}

std::string TextView::render(const AdjustmentRun& run, const std::vector<std::string>& act_on) {
  adjustment(run.minimal, "Minimally constrained adjustment");
  if (run.constrained) {
    out_ += "\n";
    adjustment(*run.constrained, "Constrained adjustment");
  }
  out_ += "\nAct on\n";
  if (act_on.empty()) out_ += "  nothing: every test passed, every report controlled\n";
  for (const std::string& line : act_on) out_ += "  " + utf8(line) + "\n";
  return out_;
}

void numbers(JsonWriter& json, std::string_view name, const double* values, int count,
             int decimals) {
  json.key(name).beginArray(JsonWriter::Layout::kInline);
  for (int i = 0; i < count; ++i) json.number(values[i], decimals);
  json.endArray();
}

void globalJson(JsonWriter& json, std::string_view name, const GlobalTest& test) {
  json.key(name).beginObject();
  json.key("statistic").number(test.vtpv, 6).key("degrees_of_freedom").integer(test.redundancy);
  json.key("lower").number(test.lower, 6).key("upper").number(test.upper, 6);
  json.key("alpha").number(test.alpha, 6).key("tested").boolean(test.tested);
  json.key("passed").boolean(test.passed).endObject();
}

void summaryJson(JsonWriter& json, const AdjustmentResult& result) {
  const AdjustmentSummary& s = result.summary;
  json.key("summary").beginObject();
  json.key("constrained").boolean(s.constrained).key("free_datum").boolean(s.free_datum);
  json.key("reports_used").integer(static_cast<std::int64_t>(s.reports_used));
  json.key("control_observations").integer(static_cast<std::int64_t>(s.control_observations));
  json.key("stations").integer(s.stations).key("unknowns").integer(s.unknowns);
  json.key("redundancy").integer(s.global.redundancy);
  json.key("variance_factor").number(s.global.variance_factor, 6);
  globalJson(json, "global_test", s.global);
  globalJson(json, "global_test_before_snooping", s.global_initial);
  json.key("lambda0").number(s.critical.lambda0, 6);
  json.key("critical_w").number(s.critical.critical_w, 6);
  json.key("critical_t3").number(s.critical.critical_t3, 6);
  json.key("alpha_t3").number(s.critical.alpha_t3, 8);
  json.key("sigma").text(s.aposteriori_scale ? "aposteriori" : "apriori");
  json.key("precision_scale").number(s.precision_scale, 6);
  json.endObject();
}

void stationJson(JsonWriter& json, const StationResult& s) {
  json.beginObject();
  json.key("name").text(s.name).key("held").boolean(s.held);
  const double xyz[] = {s.xyz.x, s.xyz.y, s.xyz.z};
  numbers(json, "xyz", xyz, 3, 5);
  const Matrix3& c = s.cov_xyz;
  json.key("cov_xyz").beginArray(JsonWriter::Layout::kInline);
  for (const double v : {c(1, 1), c(1, 2), c(1, 3), c(2, 2), c(2, 3), c(3, 3)})
    json.number(v, decimalsFor(v));
  json.endArray();
  json.key("geodetic").beginObject(JsonWriter::Layout::kInline);
  json.key("lat_deg").number(s.lat_deg, 10).key("lon_deg").number(s.lon_deg, 10);
  json.key("h").number(s.height, 5).endObject();
  const double sigma[] = {s.sigma_enu.e * 1000, s.sigma_enu.n * 1000, s.sigma_enu.u * 1000};
  numbers(json, "sigma_enu_mm", sigma, 3, 4);
  json.key("ellipse").beginObject(JsonWriter::Layout::kInline);
  json.key("semi_major_mm").number(s.ellipse.semi_major * 1000, 4);
  json.key("semi_minor_mm").number(s.ellipse.semi_minor * 1000, 4);
  json.key("azimuth_deg").number(s.ellipse.azimuth_deg, 4).endObject();
  json.endObject();
}

void observationJson(JsonWriter& json, const ObservationResult& o) {
  json.beginObject();
  json.key("file").fileName(o.file).key("control").boolean(o.control);
  json.key("from").text(o.from).key("to").text(o.to);
  const double v[] = {o.residual.e * 1000, o.residual.n * 1000, o.residual.u * 1000};
  numbers(json, "residual_enu_mm", v, 3, 4);
  if (o.tested) {
    numbers(json, "w", o.w.data(), 3, 4);
    json.key("t3").number(o.t3, 4);
  } else {
    json.key("w").null().key("t3").null();
  }
  numbers(json, "redundancy", o.redundancy.data(), 3, 6);
  numbers(json, "redundancy_share", o.redundancy_share.data(), 3, 6);
  const double mdb[] = {o.mdb[0] * 1000, o.mdb[1] * 1000, o.mdb[2] * 1000};
  numbers(json, "mdb_mm", mdb, 3, 3);
  numbers(json, "bnr", o.bnr.data(), 3, 3);
  json.key("removed").boolean(o.removed);
  json.key("flags").beginArray(JsonWriter::Layout::kInline);
  for (const std::string& flag : o.flags) json.text(flag);
  json.endArray().endObject();
}

void relativeJson(JsonWriter& json, const RelativePrecision& r) {
  json.beginObject(JsonWriter::Layout::kInline);
  json.key("from").text(r.from).key("to").text(r.to).key("observed").boolean(r.observed);
  json.key("distance").number(r.distance, 4);
  json.key("semi_major_95_mm").number(r.ellipse95.semi_major * 1000, 3);
  json.key("semi_minor_95_mm").number(r.ellipse95.semi_minor * 1000, 3);
  json.key("azimuth_deg").number(r.ellipse95.azimuth_deg, 4);
  json.key("vertical_95_mm").number(r.vertical95 * 1000, 3);
  if (r.limited) json.key("limit_mm").number(r.limit * 1000, 3).key("passed").boolean(r.passed);
  json.endObject();
}

void adjustmentMembers(JsonWriter& json, const AdjustmentResult& result) {
  summaryJson(json, result);
  json.key("stations").beginArray();
  for (const StationResult& s : result.stations) stationJson(json, s);
  json.endArray();
  json.key("reports").beginArray();
  for (const ObservationResult& o : result.observations) observationJson(json, o);
  json.endArray();
  json.key("removed").beginArray(JsonWriter::Layout::kInline);
  for (const std::size_t k : result.removed) json.fileName(result.observations[k].file);
  json.endArray();
  json.key("relative").beginArray();
  for (const RelativePrecision& r : result.relative) relativeJson(json, r);
  json.endArray();
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string adjustmentText(const AdjustmentRun& run, const std::vector<std::string>& act_on,
                           bool degrees) {
  return TextView(degrees).render(run, act_on);
}

std::string adjustmentJson(const AdjustmentRun& run, const std::vector<std::string>& act_on) {
  JsonWriter json;
  json.beginObject();
  adjustmentMembers(json, run.minimal);
  if (run.constrained) {
    json.key("constrained").beginObject();
    adjustmentMembers(json, *run.constrained);
    json.endObject();
  }
  json.key("act_on").beginArray();
  for (const std::string& line : act_on) json.text(line);
  json.endArray();
  json.endObject();
  return json.finish();
}

std::string stationsCsv(const AdjustmentRun& run) {
  const AdjustmentResult& result = run.constrained ? *run.constrained : run.minimal;
  std::string text =
      "name,held,X,Y,Z,lat_deg,lon_deg,h,sE_mm,sN_mm,sU_mm,semi_major_mm,semi_minor_mm,"
      "azimuth_deg\n";
  for (const StationResult& s : result.stations) {
    text += csvField(cp850ToUtf8(s.name)) + "," + (s.held ? "1" : "0") + "," +
            fixedTextTiesToEven(s.xyz.x, 5) + "," + fixedTextTiesToEven(s.xyz.y, 5) + "," + fixedTextTiesToEven(s.xyz.z, 5) +
            "," + fixedTextTiesToEven(s.lat_deg, 10) + "," + fixedTextTiesToEven(s.lon_deg, 10) + "," +
            fixedTextTiesToEven(s.height, 5) + "," + fixedTextTiesToEven(s.sigma_enu.e * 1000, 4) + "," +
            fixedTextTiesToEven(s.sigma_enu.n * 1000, 4) + "," + fixedTextTiesToEven(s.sigma_enu.u * 1000, 4) + "," +
            fixedTextTiesToEven(s.ellipse.semi_major * 1000, 4) + "," +
            fixedTextTiesToEven(s.ellipse.semi_minor * 1000, 4) + "," + fixedTextTiesToEven(s.ellipse.azimuth_deg, 4) +
            "\n";
  }
  return text;
}

}  // namespace velk

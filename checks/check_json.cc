#include "checks/check_json.h"

#include <cmath>
#include <optional>

#include "format/json_writer.h"
#include "series/epochs.h"

namespace velk {
namespace {

constexpr int kVectorDecimals = 5;  // 0.01 mm
constexpr int kLengthDecimals = 4;
constexpr int kStatisticDecimals = 3;

using Layout = JsonWriter::Layout;

void writeVector(JsonWriter& json, std::string_view name, double x, double y, double z) {
  json.key(name).beginArray(Layout::kInline);
  json.number(x, kVectorDecimals).number(y, kVectorDecimals).number(z, kVectorDecimals);
  json.endArray();
}

void writeTest(JsonWriter& json, const TestOutcome& test) {
  json.key("length").number(test.length, kVectorDecimals);
  json.key("limit").number(test.limit, kVectorDecimals);
  json.key("t").number(test.t, kStatisticDecimals);
  json.key("dof").integer(test.dof);
  json.key("critical").number(test.critical, kStatisticDecimals);
  json.key("flagged").boolean(test.flagged);
}

void writeBaselines(JsonWriter& json, std::span<const Report> reports, const NetworkCheck& check) {
  json.key("baselines").beginArray();
  for (const BaselineCheck& baseline : check.baselines) {
    const Report& report = reports[baseline.report];
    json.beginObject();
    json.key("file").fileName(report.file);
    json.key("from").text(report.fixed_station);
    json.key("to").text(report.unknown_station);
    json.key("solution").text(report.fixed ? "fixed" : "float");
    json.key("ratio");
    if (report.lacks(ReportItem::kRatio)) json.null();
    else json.number(report.ratio, kStatisticDecimals);
    json.key("sigma3d").number(baseline.sigma3d, kVectorDecimals);
    json.key("flags").beginArray(Layout::kInline);
    for (const std::string& flag : baseline.flags) json.text(flag);
    json.endArray();
    json.endObject();
  }
  json.endArray();
}

void writeStations(JsonWriter& json, std::span<const Report> reports, const NetworkCheck& check) {
  json.key("stations").beginArray();
  for (const StationCheck& station : check.stations) {
    json.beginObject();
    json.key("name").text(station.name);
    json.key("reports").integer(station.reports);
    json.key("coordinates").integer(station.coordinates);
    json.key("spread").number(station.spread, kLengthDecimals);
    json.key("spread_files").beginArray(Layout::kInline);
    if (station.spread > 0) {
      json.fileName(reports[station.spread_from].file);
      json.fileName(reports[station.spread_to].file);
    }
    json.endArray();
    json.key("flagged").boolean(station.flagged);
    json.endObject();
  }
  json.endArray();
}

void writeRepeats(JsonWriter& json, std::span<const Report> reports, const NetworkCheck& check) {
  json.key("repeats").beginArray();
  for (const RepeatCheck& repeat : check.repeats) {
    const PairMean& pair = check.pairs[repeat.pair];
    json.beginObject();
    json.key("from").text(check.stations[static_cast<std::size_t>(pair.from)].name);
    json.key("to").text(check.stations[static_cast<std::size_t>(pair.to)].name);
    json.key("files").beginArray(Layout::kInline);
    for (const std::size_t r : pair.reports) json.fileName(reports[r].file);
    json.endArray();
    writeVector(json, "mean", pair.mean.x, pair.mean.y, pair.mean.z);
    json.key("baseline_length").number(pair.length, kLengthDecimals);
    json.key("differences").beginArray();
    for (const RepeatDifference& difference : repeat.differences) {
      json.beginObject(Layout::kInline);
      json.key("file").fileName(reports[difference.report].file);
      writeVector(json, "xyz", difference.xyz.x, difference.xyz.y, difference.xyz.z);
      writeVector(json, "enu", difference.enu.e, difference.enu.n, difference.enu.u);
      json.key("t").number(difference.t, kStatisticDecimals);
      json.endObject();
    }
    json.endArray();
    json.key("largest").number(repeat.largest, kVectorDecimals);
    json.key("split");
    if (const std::optional<SplitInTime>& split = repeat.split) {
      json.beginObject(Layout::kInline);
      json.key("before").integer(static_cast<std::int64_t>(split->before));
      json.key("after").integer(static_cast<std::int64_t>(split->after));
      json.key("last_before").fileName(reports[split->last_before].file);
      json.key("first_after").fileName(reports[split->first_after].file);
      writeVector(json, "xyz", split->xyz.x, split->xyz.y, split->xyz.z);
      writeVector(json, "enu", split->enu.e, split->enu.n, split->enu.u);
      json.key("length").number(split->length, kVectorDecimals);
      json.endObject();
    } else {
      json.null();
    }
    json.key("outlier");
    if (repeat.outlier)
      json.fileName(reports[*repeat.outlier].file);
    else
      json.null();
    json.key("steps").beginArray();
    for (const RepeatStep& step : repeat.steps) {
      json.beginObject(Layout::kInline);
      json.key("first_after").fileName(reports[step.first_after].file);
      json.key("epoch").text(series::isoDateTime(step.epoch_mjd));
      writeVector(json, "enu", step.enu.e, step.enu.n, step.enu.u);
      writeVector(json, "sigma_enu", step.sigma.e, step.sigma.n, step.sigma.u);
      json.key("length").number(step.length, kVectorDecimals);
      json.key("t").number(step.t, kStatisticDecimals);
      json.key("flagged").boolean(step.length > repeat.test.limit);
      json.endObject();
    }
    json.endArray();
    json.key("step_flagged").boolean(repeat.flaggedStep() != nullptr);
    writeTest(json, repeat.test);
    json.endObject();
  }
  json.endArray();
}

void writeFloats(JsonWriter& json, std::span<const Report> reports, const NetworkCheck& check) {
  json.key("floats").beginArray();
  for (const FloatComparison& comparison : check.floats) {
    const PairMean& pair = check.pairs[comparison.pair];
    json.beginObject();
    json.key("file").fileName(reports[comparison.report].file);
    json.key("from").text(check.stations[static_cast<std::size_t>(pair.from)].name);
    json.key("to").text(check.stations[static_cast<std::size_t>(pair.to)].name);
    json.key("fixed_files").beginArray(Layout::kInline);
    for (const std::size_t r : pair.reports) json.fileName(reports[r].file);
    json.endArray();
    writeVector(json, "xyz", comparison.xyz.x, comparison.xyz.y, comparison.xyz.z);
    writeVector(json, "enu", comparison.enu.e, comparison.enu.n, comparison.enu.u);
    writeTest(json, comparison.test);
    json.endObject();
  }
  json.endArray();
}

void writeLoops(JsonWriter& json, const NetworkCheck& check) {
  json.key("loops").beginArray();
  for (const LoopCheck& loop : check.loops) {
    json.beginObject();
    json.key("stations").beginArray(Layout::kInline);
    for (const int station : loop.stations)
      json.text(check.stations[static_cast<std::size_t>(station)].name);
    json.endArray();
    writeVector(json, "xyz", loop.misclosure.x, loop.misclosure.y, loop.misclosure.z);
    writeVector(json, "enu", loop.enu.e, loop.enu.n, loop.enu.u);
    json.key("perimeter").number(loop.perimeter, kLengthDecimals);
    json.key("ppm").number(loop.ppm, kStatisticDecimals);
    json.key("same_session").boolean(loop.same_session);
    json.key("float").boolean(loop.float_leg);
    writeTest(json, loop.test);
    json.endObject();
  }
  json.endArray();
}

void writeSuspects(JsonWriter& json, const NetworkCheck& check) {
  json.key("suspects").beginArray();
  for (const Suspect& suspect : check.suspects) {
    const PairMean& pair = check.pairs[suspect.pair];
    json.beginObject(Layout::kInline);
    json.key("from").text(check.stations[static_cast<std::size_t>(pair.from)].name);
    json.key("to").text(check.stations[static_cast<std::size_t>(pair.to)].name);
    json.key("loops").integer(suspect.loops);
    json.key("flagged_loops").integer(suspect.flagged_loops);
    json.key("t_sum").number(suspect.t_sum, kStatisticDecimals);
    json.key("alone").boolean(suspect.alone);
    json.endObject();
  }
  json.endArray();
}

void writeActOn(JsonWriter& json, std::span<const Report> reports, const NetworkCheck& check,
                int top) {
  json.key("act_on").beginArray();
  for (const ReportToActOn& entry : firstToActOn(check.act_on, top)) {
    const Report& report = reports[entry.report];
    json.beginObject(Layout::kInline);
    json.key("file").fileName(report.file);
    json.key("from").text(report.fixed_station);
    json.key("to").text(report.unknown_station);
    json.key("why").text(entry.why);
    json.endObject();
  }
  json.endArray();
}

void writeSummary(JsonWriter& json, const NetworkCheck& check, const CheckOptions& options,
                  bool flagged) {
  const CheckSummary summary = summarize(check);
  json.key("summary").beginObject();
  json.key("reports").integer(summary.reports);
  json.key("baselines_flagged").integer(summary.baselines_flagged);
  json.key("inconsistent").integer(summary.inconsistent);
  json.key("stations").integer(summary.stations);
  json.key("stations_flagged").integer(summary.stations_flagged);
  json.key("pairs").integer(summary.pairs);
  json.key("repeats").integer(summary.repeats);
  json.key("repeats_flagged").integer(summary.repeats_flagged);
  json.key("floats").integer(summary.floats);
  json.key("floats_flagged").integer(summary.floats_flagged);
  json.key("loops").integer(summary.loops);
  json.key("loops_flagged").integer(summary.loops_flagged);
  json.key("flagged").boolean(flagged);
  json.endObject();
  json.key("options").beginObject();
  json.key("min_ratio").number(options.min_ratio, 3);
  json.key("max_sigma3d").number(options.max_sigma3d, 4);
  json.key("station_tolerance").number(options.station_tolerance, 4);
  json.key("tolerance_mm").number(options.tolerance_mm, 3);
  json.key("tolerance_ppm").number(options.tolerance_ppm, 3);
  json.key("variance_factor").number(options.variance_factor, 4);
  json.key("alpha").number(options.alpha, 9);
  json.key("top").integer(options.top);
  json.endObject();
}

}  // namespace

std::string checkJson(std::span<const Report> reports, const NetworkCheck& check,
                      const CheckOptions& options, bool flagged) {
  JsonWriter json;
  json.beginObject();
  writeBaselines(json, reports, check);
  writeStations(json, reports, check);
  writeRepeats(json, reports, check);
  writeFloats(json, reports, check);
  writeLoops(json, check);
  writeSuspects(json, check);
  writeSummary(json, check, options, flagged);
  writeActOn(json, reports, check, options.top);
  json.endObject();
  return json.finish();
}

}  // namespace velk

#include "plot/checked_network.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

#include "geodesy/local_frame.h"
#include "format/text_encoding.h"
#include "network/station_graph.h"

namespace velk::plot {
namespace {

double norm(const Cartesian& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

Cartesian plus(const Cartesian& a, const Cartesian& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

// uᵀ C u: the variance of the component of a vector along the unit vector u.
double quadraticForm(const Matrix3& c, const Cartesian& u) {
  const double cu_x = c(1, 1) * u.x + c(1, 2) * u.y + c(1, 3) * u.z;
  const double cu_y = c(2, 1) * u.x + c(2, 2) * u.y + c(2, 3) * u.z;
  const double cu_z = c(3, 1) * u.x + c(3, 2) * u.y + c(3, 3) * u.z;
  return u.x * cu_x + u.y * cu_y + u.z * cu_z;
}

// The origin of the picture's plane: mark 1 of the first report that has one.
std::optional<const Report*> firstWithMark1(std::span<const Report> reports) {
  for (const Report& report : reports)
    if (!report.lacks(ReportItem::kMark1)) return &report;
  return std::nullopt;
}

using NamePair = std::pair<std::string, std::string>;

NamePair sortedNames(const std::string& a, const std::string& b) {
  return a < b ? NamePair{a, b} : NamePair{b, a};
}

// What the checks found about each pair, by its stations' names.
struct PairFindings {
  std::map<NamePair, bool> suspect, flagged;
};

PairFindings findingsOf(std::span<const Report> reports, const NetworkCheck& check) {
  PairFindings findings;
  auto names = [&](std::size_t pair) {
    const PairMean& mean = check.pairs[pair];
    return sortedNames(check.stations[static_cast<std::size_t>(mean.from)].name,
                       check.stations[static_cast<std::size_t>(mean.to)].name);
  };
  for (const Suspect& suspect : check.suspects) findings.suspect[names(suspect.pair)] = true;
  for (const RepeatCheck& repeat : check.repeats)
    if (repeat.flagged()) findings.flagged[names(repeat.pair)] = true;
  for (const LoopCheck& loop : check.loops)
    if (loop.test.flagged)
      for (const std::size_t leg : loop.legs) findings.flagged[names(leg)] = true;
  for (const BaselineCheck& baseline : check.baselines) {
    const bool flagged = std::any_of(baseline.flags.begin(), baseline.flags.end(),
                                     [](const std::string& flag) { return flag != "float"; });
    const Report& report = reports[baseline.report];
    if (flagged) findings.flagged[sortedNames(report.fixed_station, report.unknown_station)] = true;
  }
  return findings;
}

PairStatus statusOf(const StationPair& pair, const StationGraph& graph,
                    const PairFindings& findings) {
  const NamePair key = sortedNames(graph.stationName(pair.from), graph.stationName(pair.to));
  if (findings.suspect.count(key)) return PairStatus::kSuspect;
  if (findings.flagged.count(key)) return PairStatus::kFlagged;
  return PairStatus::kFine;
}

bool floatOnly(const StationPair& pair, std::span<const Report> named) {
  return std::none_of(pair.reports.begin(), pair.reports.end(),
                      [&](std::size_t k) { return named[k].fixed; });
}

}  // namespace

NetworkDrawing checkedNetwork(std::span<const Report> reports, const NetworkCheck& check,
                              std::vector<std::string>& left_out) {
  NetworkDrawing drawing;
  const std::optional<const Report*> origin_report = firstWithMark1(reports);
  const Cartesian origin = origin_report ? (*origin_report)->mark1 : Cartesian{};
  std::map<std::string, int> drawn;  // station name -> index in the drawing
  for (const StationCheck& station : check.stations) {
    const LocalENU local = TRLOC(station.position, origin);
    drawn[station.name] = static_cast<int>(drawing.stations.size());
    drawing.stations.push_back({cp850ToUtf8(station.name), local.e, local.n});
  }

  // Every report with two station names draws its pair, usable or not.
  std::vector<Report> named;
  for (const Report& report : reports)
    if (!report.lacks(ReportItem::kNames)) named.push_back(report);
  const StationGraph graph(named);
  for (int s = 0; s < graph.stationCount(); ++s)
    if (!drawn.count(graph.stationName(s)))
      left_out.push_back("station " + cp850ToUtf8(graph.stationName(s)) +
                         " is not drawn: no usable report gives its coordinates");
  const PairFindings findings = findingsOf(reports, check);
  for (const StationPair& pair : graph.pairs()) {
    const auto from = drawn.find(graph.stationName(pair.from));
    const auto to = drawn.find(graph.stationName(pair.to));
    if (from == drawn.end() || to == drawn.end()) continue;
    drawing.lines.push_back(
        {from->second, to->second, statusOf(pair, graph, findings), floatOnly(pair, named)});
  }

  const CheckSummary summary = summarize(check);
  drawing.counts = {static_cast<int>(reports.size()), static_cast<int>(drawing.stations.size()),
                    static_cast<int>(drawing.lines.size()), summary.loops, summary.loops_flagged};
  drawing.plane = origin_report
                      ? "Local East-North plane of " + cp850ToUtf8((*origin_report)->fixed_station) +
                            " (mark 1 of " + (*origin_report)->file + "), north up"
                      : "No report gives a mark 1";
  return drawing;
}

namespace {

// A report's flags other than `float` (its marker says float), "low_ratio, imprecise".
std::map<std::size_t, std::string> reportFlags(const NetworkCheck& check) {
  std::map<std::size_t, std::string> flags;
  for (const BaselineCheck& baseline : check.baselines)
    for (const std::string& flag : baseline.flags) {
      if (flag == "float") continue;
      std::string& text = flags[baseline.report];
      text += (text.empty() ? "" : ", ") + flag;
    }
  return flags;
}

// What the checks found about the pair as a whole.
std::vector<std::string> pairFlags(std::size_t pair, const RepeatCheck* repeat,
                                   const NetworkCheck& check) {
  std::vector<std::string> flags;
  if (repeat != nullptr && repeat->flagged()) flags.push_back("repeat flagged");
  if (repeat != nullptr && repeat->flaggedStep() != nullptr) flags.push_back("step");
  for (const FloatComparison& comparison : check.floats)
    if (comparison.pair == pair && comparison.test.flagged) {
      flags.push_back("float disagrees");
      break;
    }
  for (const Suspect& suspect : check.suspects)
    if (suspect.pair == pair) flags.push_back("suspect");
  int loops = 0;
  for (const LoopCheck& loop : check.loops)
    if (loop.test.flagged && std::find(loop.legs.begin(), loop.legs.end(), pair) != loop.legs.end())
      ++loops;
  if (loops > 0)
    flags.push_back("on " + std::to_string(loops) + " flagged loop" + (loops == 1 ? "" : "s"));
  return flags;
}

// One report of a pair against the pair's mean: its index and its difference.
struct PairDifference {
  std::size_t report = 0;
  Cartesian xyz;
  LocalENU enu;
};

// The reports drawn for a pair: those of its mean (against it) and its float reports set
// aside (against the fixed mean), in time order when drawn. A pair of one report has none.
std::vector<PairDifference> pairDifferences(std::size_t pair, const RepeatCheck* repeat,
                                            const NetworkCheck& check) {
  std::vector<PairDifference> differences;
  if (repeat != nullptr) {
    for (const RepeatDifference& difference : repeat->differences)
      differences.push_back({difference.report, difference.xyz, difference.enu});
  } else if (check.pairs[pair].reports.size() == 1) {
    differences.push_back({check.pairs[pair].reports.front(), {}, {}});  // it is the mean
  }
  for (const FloatComparison& comparison : check.floats)
    if (comparison.pair == pair)
      differences.push_back({comparison.report, comparison.xyz, comparison.enu});
  if (differences.size() < 2) differences.clear();
  return differences;
}

const RepeatCheck* repeatOf(std::size_t pair, const NetworkCheck& check) {
  for (const RepeatCheck& repeat : check.repeats)
    if (repeat.pair == pair) return &repeat;
  return nullptr;
}

}  // namespace

std::vector<NamedSeries> pairSeries(std::span<const Report> reports, const NetworkCheck& check,
                                    double variance_factor) {
  const std::map<std::size_t, std::string> flags = reportFlags(check);
  std::vector<NamedSeries> result;
  for (std::size_t p = 0; p < check.pairs.size(); ++p) {
    const RepeatCheck* repeat = repeatOf(p, check);
    const std::vector<PairDifference> differences = pairDifferences(p, repeat, check);
    if (differences.empty()) continue;
    const PairMean& pair = check.pairs[p];
    const StationCheck& from = check.stations[static_cast<std::size_t>(pair.from)];
    const std::string from_name = cp850ToUtf8(from.name);
    const std::string to_name = cp850ToUtf8(check.stations[static_cast<std::size_t>(pair.to)].name);
    NamedSeries series;
    series.name = from_name + "-" + to_name;
    series.from = from_name;
    series.to = to_name;
    SeriesDrawing& drawing = series.drawing;
    drawing.name = from_name + " \u2192 " + to_name;
    drawing.frame = "E, N, U in the local frame of " + from_name +
                    " and length, less the pair's weighted mean (weights: the inverse "
                    "covariances; fixed reports only where the pair has some)";
    drawing.time_axis = "GPS time: the middle of each observation period";
    series.flags = pairFlags(p, repeat, check);
    drawing.components = {"dE", "dN", "dU", "d(length)"};
    const double mean_length = norm(pair.mean);
    std::array<std::vector<double>, 4> values, sigmas;
    for (const PairDifference& difference : differences) {
      const Report& report = reports[difference.report];
      Matrix3 covariance = report.covariance();
      for (double& cell : covariance.cells) cell *= variance_factor;
      const Matrix3 local = TRCOVI(from.position, covariance);
      const Cartesian vector = plus(pair.mean, difference.xyz);
      const double length = norm(vector);
      const Cartesian unit{vector.x / length, vector.y / length, vector.z / length};
      const double length_variance = quadraticForm(covariance, unit);
      SeriesSample sample;
      sample.time = (report.start_mjd + report.end_mjd) / 2;
      sample.fixed = report.fixed;
      sample.source = report.file;
      if (const auto found = flags.find(difference.report); found != flags.end())
        sample.flags = found->second;
      sample.value = {difference.enu.e * 1000, difference.enu.n * 1000, difference.enu.u * 1000,
                      (length - mean_length) * 1000};
      sample.sigma = {std::sqrt(local(1, 1)) * 1000, std::sqrt(local(2, 2)) * 1000,
                      std::sqrt(local(3, 3)) * 1000, std::sqrt(length_variance) * 1000};
      for (std::size_t c = 0; c < 4; ++c) {
        values[c].push_back(sample.value[c]);
        sigmas[c].push_back(sample.sigma[c]);
      }
      drawing.samples.push_back(sample);
    }
    for (std::size_t c = 0; c < 4; ++c) drawing.weighted_rms[c] = weightedRms(values[c], sigmas[c]);
    result.push_back(std::move(series));
  }
  return result;
}

}  // namespace velk::plot

#include "checks/reports_to_act_on.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "checks/network_check.h"
#include "checks/vector_math.h"
#include "format/number_text.h"
#include "series/epochs.h"

namespace velk {
namespace {

namespace vm = vector_math;

std::string millimetres(double metres) { return fixedTextTiesToEven(metres * 1000, 1); }
std::string mm(double metres) { return millimetres(metres) + " mm"; }

// "1 report", "3 reports".
std::string counted(std::size_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

// How far a finding's length lies beyond its limit, as a ratio; a limit of 0 puts it first.
double beyondLimit(double length, double limit) {
  return limit > 0 ? length / limit : std::numeric_limits<double>::infinity();
}

// The lines that say why.
std::optional<std::string> contradictionWhy(const BaselineCheck& baseline) {
  for (const std::string& flag : baseline.flags) {
    if (flag == "inconsistent:mark2")
      return "contradicts itself: mark 2 is not mark 1 plus its vector";
    if (flag == "inconsistent:local")
      return "contradicts itself: its E1 N1 U1 are not its vector in the frame of mark 1";
  }
  return std::nullopt;
}
std::string floatWhy(const FloatComparison& comparison, std::size_t fixed_reports) {
  return "float, " + mm(comparison.test.length) + " from the fixed mean of " +
         counted(fixed_reports, "report");
}
std::string outlierWhy(double length, std::size_t others) {
  return mm(length) + " from its pair's mean; the pair's " + counted(others, "other report") +
         " pass the test without it";
}
std::string stepWhy(const SplitInTime& split) {
  return "first after a " + mm(split.length) + " step of its pair (dE " +
         millimetres(split.enu.e) + ", dN " + millimetres(split.enu.n) + ", dU " +
         millimetres(split.enu.u) + " mm; " + counted(split.before, "report") + " before, " +
         std::to_string(split.after) + " after)";
}
std::string stepWhy(const RepeatStep& step) {
  return "first after a " + mm(step.length) + " step in its pair's series on " +
         series::isoDateTime(step.epoch_mjd).substr(0, 10) + " (dE " + millimetres(step.enu.e) +
         ", dN " + millimetres(step.enu.n) + ", dU " + millimetres(step.enu.u) + " mm)";
}
std::string suspectWhy(const Suspect& suspect, const PairMean& pair, std::size_t flagged_loops) {
  std::string why = pair.float_only ? "float; on " : "on ";
  why += std::to_string(suspect.flagged_loops) + " of " + counted(flagged_loops, "flagged loop");
  const auto closing = static_cast<std::size_t>(suspect.loops - suspect.flagged_loops);
  if (suspect.alone) why += "; alone: nothing tells it from the loop's other pairs";
  else if (closing == 0) why += "; every loop through it is flagged";
  else why += "; " + counted(closing, "other loop") + (closing == 1 ? " closes" : " close");
  if (pair.reports.size() > 1)
    why += "; one of the pair's " + counted(pair.reports.size(), "report");
  return why;
}

struct Ranked {
  double beyond = 0;  // the larger the earlier
  ReportToActOn entry;
};

class Ranking {
 public:
  explicit Ranking(const NetworkCheck& check) : check_(check) {}

  // In the order of the tiers, a report possibly more than once.
  std::vector<ReportToActOn> rank() const;

 private:
  void selfContradictions(std::vector<Ranked>& alone) const;
  void disagreeingFloats(std::vector<Ranked>& alone) const;
  void flaggedRepeats(std::vector<Ranked>& alone, std::vector<ReportToActOn>& shared) const;
  void suspectPairs(std::vector<ReportToActOn>& out) const;
  void spreadStations(std::vector<ReportToActOn>& shared) const;

  const NetworkCheck& check_;
};

void Ranking::selfContradictions(std::vector<Ranked>& alone) const {
  for (const BaselineCheck& baseline : check_.baselines)
    if (const std::optional<std::string> why = contradictionWhy(baseline))
      alone.push_back({std::numeric_limits<double>::infinity(), {baseline.report, *why}});
}

void Ranking::disagreeingFloats(std::vector<Ranked>& alone) const {
  for (const FloatComparison& comparison : check_.floats) {
    if (!comparison.test.flagged) continue;
    const std::size_t fixed_reports = check_.pairs[comparison.pair].reports.size();
    alone.push_back({beyondLimit(comparison.test.length, comparison.test.limit),
                     {comparison.report, floatWhy(comparison, fixed_reports)}});
  }
}

// A flagged repeat is explained by its lone outlier, else by the first report after its
// step; else each of its reports explains a share of it.
void Ranking::flaggedRepeats(std::vector<Ranked>& alone,
                             std::vector<ReportToActOn>& shared) const {
  for (const RepeatCheck& repeat : check_.repeats) {
    if (!repeat.flagged()) continue;
    const std::vector<RepeatDifference>& differences = repeat.differences;
    const double limit = repeat.test.limit;
    if (const RepeatStep* step = repeat.flaggedStep(); step != nullptr && !repeat.outlier) {
      alone.push_back({beyondLimit(step->length, limit), {step->first_after, stepWhy(*step)}});
    } else if (repeat.outlier) {
      const auto outlier =
          std::find_if(differences.begin(), differences.end(),
                       [&](const RepeatDifference& d) { return d.report == *repeat.outlier; });
      const double length = vm::norm(outlier->xyz);
      alone.push_back({beyondLimit(length, limit),
                       {outlier->report, outlierWhy(length, differences.size() - 1)}});
    } else if (repeat.split && repeat.split->length > limit) {
      alone.push_back({beyondLimit(repeat.split->length, limit),
                       {repeat.split->first_after, stepWhy(*repeat.split)}});
    } else if (differences.size() == 2) {
      const double apart = vm::norm(vm::minus(differences[0].xyz, differences[1].xyz));
      for (const RepeatDifference& d : differences)
        shared.push_back({d.report, "one of its pair's 2 reports, " + mm(apart) + " apart"});
    } else {
      const auto farthest = std::max_element(
          differences.begin(), differences.end(),
          [](const RepeatDifference& a, const RepeatDifference& b) {
            return vm::norm(a.xyz) < vm::norm(b.xyz);
          });
      shared.push_back({farthest->report, "farthest from its pair's mean of " +
                                              counted(differences.size(), "report") + ": " +
                                              mm(vm::norm(farthest->xyz)) +
                                              "; no single report explains the repeat"});
    }
  }
}

void Ranking::suspectPairs(std::vector<ReportToActOn>& out) const {
  const auto flagged_loops = static_cast<std::size_t>(
      std::count_if(check_.loops.begin(), check_.loops.end(),
                    [](const LoopCheck& loop) { return loop.test.flagged; }));
  std::vector<Suspect> suspects = check_.suspects;
  std::stable_sort(suspects.begin(), suspects.end(), [&](const Suspect& a, const Suspect& b) {
    if (a.flagged_loops != b.flagged_loops) return a.flagged_loops > b.flagged_loops;
    return check_.pairs[a.pair].float_only && !check_.pairs[b.pair].float_only;
  });
  for (const Suspect& suspect : suspects) {
    const PairMean& pair = check_.pairs[suspect.pair];
    const std::string why = suspectWhy(suspect, pair, flagged_loops);
    for (const std::size_t r : pair.reports) out.push_back({r, why});
  }
}

void Ranking::spreadStations(std::vector<ReportToActOn>& shared) const {
  for (const StationCheck& station : check_.stations) {
    if (!station.flagged) continue;
    const std::string why = "gives coordinates of " + station.name + " " +
                            fixedTextTiesToEven(station.spread, 3) + " m from another report's";
    shared.push_back({station.spread_from, why});
    shared.push_back({station.spread_to, why});
  }
}

std::vector<ReportToActOn> Ranking::rank() const {
  std::vector<Ranked> alone;
  std::vector<ReportToActOn> shared;
  selfContradictions(alone);
  disagreeingFloats(alone);
  flaggedRepeats(alone, shared);
  std::stable_sort(alone.begin(), alone.end(),
                   [](const Ranked& a, const Ranked& b) { return a.beyond > b.beyond; });
  std::vector<ReportToActOn> ordered;
  for (Ranked& ranked : alone) ordered.push_back(std::move(ranked.entry));
  suspectPairs(ordered);
  spreadStations(shared);
  for (ReportToActOn& entry : shared) ordered.push_back(std::move(entry));
  return ordered;
}

}  // namespace

std::vector<ReportToActOn> rankReportsToActOn(std::span<const Report> reports,
                                              const NetworkCheck& check) {
  // Each report once, where it ranks first.
  std::vector<bool> listed(reports.size(), false);
  std::vector<ReportToActOn> result;
  for (ReportToActOn& entry : Ranking(check).rank()) {
    if (listed[entry.report]) continue;
    listed[entry.report] = true;
    result.push_back(std::move(entry));
  }
  return result;
}

std::span<const ReportToActOn> firstToActOn(std::span<const ReportToActOn> ranked, int top) {
  return ranked.first(std::min(ranked.size(), static_cast<std::size_t>(std::max(top, 0))));
}

}  // namespace velk

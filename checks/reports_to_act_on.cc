#include "checks/reports_to_act_on.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "checks/network_check.h"
#include "checks/vector_math.h"
#include "format/number_text.h"

namespace velk {
namespace {

namespace vm = vector_math;

std::string mm(double metres) { return fixedText(metres * 1000, 1) + " mm"; }

// "1 report", "3 reports".
std::string counted(std::size_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

// How far a finding's length lies beyond its limit, as a ratio; a limit of 0 puts it first.
double beyondLimit(double length, double limit) {
  return limit > 0 ? length / limit : std::numeric_limits<double>::infinity();
}

struct Ranked {
  double beyond = 0;  // the larger the earlier
  ReportToActOn entry;
};

class Ranking {
 public:
  Ranking(std::span<const Report> reports, const NetworkCheck& check)
      : reports_(reports), check_(check) {}

  std::vector<ReportToActOn> rank();

 private:
  void selfContradictions(std::vector<Ranked>& alone) const;
  void disagreeingFloats(std::vector<Ranked>& alone) const;
  void movedRepeats(std::vector<Ranked>& alone, std::vector<ReportToActOn>& shared) const;
  void suspectPairs(std::vector<ReportToActOn>& out) const;
  void spreadStations(std::vector<ReportToActOn>& shared) const;

  std::span<const Report> reports_;
  const NetworkCheck& check_;
};

void Ranking::selfContradictions(std::vector<Ranked>& alone) const {
  for (const BaselineCheck& baseline : check_.baselines) {
    for (const std::string& flag : baseline.flags) {
      std::string why;
      if (flag == "inconsistent:mark2") why = "contradicts itself: mark 2 is not mark 1 plus its vector";
      else if (flag == "inconsistent:local")
        why = "contradicts itself: its E1 N1 U1 are not its vector in the frame of mark 1";
      else continue;
      alone.push_back({std::numeric_limits<double>::infinity(), {baseline.report, why}});
      break;
    }
  }
}

void Ranking::disagreeingFloats(std::vector<Ranked>& alone) const {
  for (const FloatComparison& comparison : check_.floats) {
    if (!comparison.test.flagged) continue;
    alone.push_back({beyondLimit(comparison.test.length, comparison.test.limit),
                     {comparison.report,
                      "float, " + mm(comparison.test.length) + " from the fixed mean of " +
                          counted(check_.pairs[comparison.pair].reports.size(), "report")}});
  }
}

void Ranking::movedRepeats(std::vector<Ranked>& alone, std::vector<ReportToActOn>& shared) const {
  for (const RepeatCheck& repeat : check_.repeats) {
    if (!repeat.test.flagged) continue;
    const std::size_t n = repeat.differences.size();
    const double limit = repeat.test.limit;
    if (repeat.outlier) {
      const auto outlier = std::find_if(
          repeat.differences.begin(), repeat.differences.end(),
          [&](const RepeatDifference& d) { return d.report == *repeat.outlier; });
      const double length = vm::norm(outlier->xyz);
      alone.push_back({beyondLimit(length, limit),
                       {outlier->report, mm(length) + " from its pair's mean; the pair's " +
                                             counted(n - 1, "other report") +
                                             " pass the test without it"}});
    } else if (repeat.split && repeat.split->length > limit) {
      const SplitInTime& split = *repeat.split;
      alone.push_back({beyondLimit(split.length, limit),
                       {split.first_after,
                        "first after a " + mm(split.length) + " step of its pair (dE " +
                            fixedText(split.enu.e * 1000, 1) + ", dN " +
                            fixedText(split.enu.n * 1000, 1) + ", dU " +
                            fixedText(split.enu.u * 1000, 1) + " mm; " +
                            counted(split.before, "report") + " before, " +
                            std::to_string(split.after) + " after)"}});
    } else if (n == 2) {
      const double apart = vm::norm(vm::minus(repeat.differences[0].xyz, repeat.differences[1].xyz));
      for (const RepeatDifference& d : repeat.differences)
        shared.push_back({d.report, "one of its pair's 2 reports, " + mm(apart) + " apart"});
    } else {
      const auto farthest = std::max_element(
          repeat.differences.begin(), repeat.differences.end(),
          [](const RepeatDifference& a, const RepeatDifference& b) {
            return vm::norm(a.xyz) < vm::norm(b.xyz);
          });
      shared.push_back({farthest->report, "farthest from its pair's mean of " +
                                              counted(n, "report") + ": " +
                                              mm(vm::norm(farthest->xyz)) +
                                              "; no single report explains the repeat"});
    }
  }
}

void Ranking::suspectPairs(std::vector<ReportToActOn>& out) const {
  const auto flagged_loops = std::count_if(check_.loops.begin(), check_.loops.end(),
                                           [](const LoopCheck& l) { return l.test.flagged; });
  std::vector<Suspect> suspects = check_.suspects;
  std::stable_sort(suspects.begin(), suspects.end(), [&](const Suspect& a, const Suspect& b) {
    if (a.flagged_loops != b.flagged_loops) return a.flagged_loops > b.flagged_loops;
    return check_.pairs[a.pair].float_only && !check_.pairs[b.pair].float_only;
  });
  for (const Suspect& suspect : suspects) {
    const PairMean& pair = check_.pairs[suspect.pair];
    std::string why = pair.float_only ? "float; on " : "on ";
    why += std::to_string(suspect.flagged_loops) + " of " +
           counted(static_cast<std::size_t>(flagged_loops), "flagged loop");
    if (suspect.alone) why += "; alone: nothing tells it from the loop's other pairs";
    else if (suspect.flagged_loops == suspect.loops) why += "; every loop through it is flagged";
    else why += "; " + counted(static_cast<std::size_t>(suspect.loops - suspect.flagged_loops), "other loop") +
                (suspect.loops - suspect.flagged_loops == 1 ? " closes" : " close");
    if (pair.reports.size() > 1) why += "; one of the pair's " + counted(pair.reports.size(), "report");
    for (const std::size_t r : pair.reports) out.push_back({r, why});
  }
}

void Ranking::spreadStations(std::vector<ReportToActOn>& shared) const {
  for (const StationCheck& station : check_.stations) {
    if (!station.flagged) continue;
    const std::string why = "gives coordinates of " + station.name + " " +
                            fixedText(station.spread, 3) + " m from another report's";
    shared.push_back({station.spread_from, why});
    shared.push_back({station.spread_to, why});
  }
}

std::vector<ReportToActOn> Ranking::rank() {
  std::vector<Ranked> alone;
  std::vector<ReportToActOn> shared;
  selfContradictions(alone);
  disagreeingFloats(alone);
  movedRepeats(alone, shared);
  std::stable_sort(alone.begin(), alone.end(),
                   [](const Ranked& a, const Ranked& b) { return a.beyond > b.beyond; });
  std::vector<ReportToActOn> ordered;
  for (Ranked& ranked : alone) ordered.push_back(std::move(ranked.entry));
  suspectPairs(ordered);
  spreadStations(shared);
  for (ReportToActOn& entry : shared) ordered.push_back(std::move(entry));

  // Each report once, where it ranks first.
  std::vector<bool> listed(reports_.size(), false);
  std::vector<ReportToActOn> result;
  for (ReportToActOn& entry : ordered) {
    if (listed[entry.report]) continue;
    listed[entry.report] = true;
    result.push_back(std::move(entry));
  }
  return result;
}

}  // namespace

std::vector<ReportToActOn> rankReportsToActOn(std::span<const Report> reports,
                                              const NetworkCheck& check) {
  return Ranking(reports, check).rank();
}

}  // namespace velk

#pragma once

#include <span>
#include <vector>

#include "checks/baseline_flags.h"
#include "checks/check_options.h"
#include "checks/float_reports.h"
#include "checks/loops.h"
#include "checks/pair_network.h"
#include "checks/pair_ranking.h"
#include "checks/repeats.h"
#include "checks/reports_to_act_on.h"
#include "checks/station_spread.h"
#include "reading/report.h"

namespace velk {

// Everything `baselines check` finds in a set of reports, each read on its own.
struct NetworkCheck {
  std::vector<BaselineCheck> baselines;  // one per report, in their order
  std::vector<StationCheck> stations;    // in the order of names
  std::vector<PairMean> pairs;           // in the order of their first reports
  std::vector<RepeatCheck> repeats;      // pairs whose means have two or more reports
  std::vector<FloatComparison> floats;   // float reports of pairs that have fixed ones
  std::vector<LoopCheck> loops;          // in increasing perimeter
  std::vector<Suspect> suspects;         // most suspect first
  // The reports behind the flagged findings, the most telling first; all of them (the
  // views show the first CheckOptions::top).
  std::vector<ReportToActOn> act_on;
};

NetworkCheck checkNetwork(std::span<const Report> reports, const CheckOptions& options);

struct CheckSummary {
  int reports = 0;
  int baselines_flagged = 0;  // reports with any flag
  int stations = 0;
  int stations_flagged = 0;
  int pairs = 0;
  int repeats = 0;
  int repeats_flagged = 0;
  int floats = 0;  // float reports compared with their pairs' fixed means
  int floats_flagged = 0;
  int loops = 0;
  int loops_flagged = 0;
  int inconsistent = 0;  // reports flagged `inconsistent`
};
CheckSummary summarize(const NetworkCheck& check);

// Whether the run ends with the status "flagged": a flagged loop, repeat or station, an
// inconsistent report or a float report that disagrees with its pair's fixed mean; with
// `strict`, a report with any flag too.
bool needsAttention(const NetworkCheck& check, bool strict);

}  // namespace velk

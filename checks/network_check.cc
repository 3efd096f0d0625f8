#include "checks/network_check.h"

#include <algorithm>

namespace velk {

NetworkCheck checkNetwork(std::span<const Report> reports, const CheckOptions& options) {
  NetworkCheck check;
  check.baselines.reserve(reports.size());
  for (std::size_t i = 0; i < reports.size(); ++i)
    check.baselines.push_back(checkBaseline(reports[i], i, options));
  check.stations = checkStations(reports, check.baselines, options);
  check.pairs = buildPairNetwork(reports, check.baselines, check.stations, options.variance_factor);
  FindingTest finding_test(options);
  check.repeats =
      checkRepeats(reports, check.pairs, check.stations, options.variance_factor, finding_test);
  check.floats = compareFloatReports(reports, check.pairs, check.stations, options.variance_factor,
                                     finding_test);
  for (const FloatComparison& comparison : check.floats)
    if (comparison.test.flagged)
      check.baselines[comparison.report].flags.emplace_back("float_disagrees");
  check.loops = checkLoops(reports, check.pairs, check.stations, finding_test);
  check.suspects = rankSuspects(check.pairs, check.loops, check.stations);
  check.act_on = rankReportsToActOn(reports, check);
  return check;
}

CheckSummary summarize(const NetworkCheck& check) {
  const auto count = [](const auto& items, auto predicate) {
    return static_cast<int>(std::count_if(items.begin(), items.end(), predicate));
  };
  CheckSummary summary;
  summary.reports = static_cast<int>(check.baselines.size());
  summary.baselines_flagged = count(check.baselines, [](const auto& b) { return !b.flags.empty(); });
  summary.inconsistent = count(check.baselines, [](const auto& b) { return b.inconsistent; });
  summary.stations = static_cast<int>(check.stations.size());
  summary.stations_flagged = count(check.stations, [](const auto& s) { return s.flagged; });
  summary.pairs = static_cast<int>(check.pairs.size());
  summary.repeats = static_cast<int>(check.repeats.size());
  summary.repeats_flagged = count(check.repeats, [](const auto& r) { return r.flagged(); });
  summary.floats = static_cast<int>(check.floats.size());
  summary.floats_flagged = count(check.floats, [](const auto& f) { return f.test.flagged; });
  summary.loops = static_cast<int>(check.loops.size());
  summary.loops_flagged = count(check.loops, [](const auto& l) { return l.test.flagged; });
  return summary;
}

bool needsAttention(const NetworkCheck& check, bool strict) {
  const CheckSummary summary = summarize(check);
  return summary.loops_flagged > 0 || summary.repeats_flagged > 0 || summary.stations_flagged > 0 ||
         summary.inconsistent > 0 || summary.floats_flagged > 0 ||
         (strict && summary.baselines_flagged > 0);
}

}  // namespace velk

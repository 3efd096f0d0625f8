#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "reading/report.h"

namespace velk {

struct NetworkCheck;

// A report to reprocess or re-observe, with one line saying why (ASCII, no names).
struct ReportToActOn {
  std::size_t report = 0;  // index into the reports checked
  std::string why;         // "float, 62.0 mm from the fixed mean of 3 reports"
};

// The reports behind the flagged findings, each once, those that explain the most of them
// first:
// 1. a report that alone explains a finding: one that contradicts itself (`inconsistent`),
//    a float report that disagrees with its pair's fixed mean, the outlier without which
//    a flagged repeat passes, the first report after the step of a repeat that moved;
//    those the farthest beyond their length limits first, the self-contradictions before
//    all;
// 2. the reports of the suspect pairs, the pairs on the most flagged loops first, then a
//    pair measured by float reports only (the likelier cause among pairs that the loops
//    cannot tell apart), then in the suspects' order;
// 3. the reports of a flagged repeat that no single report explains (its report of the
//    largest difference; both of two), and the two reports whose coordinates of a flagged
//    station lie farthest apart.
// `check` holds every other finding of the reports.
std::vector<ReportToActOn> rankReportsToActOn(std::span<const Report> reports,
                                              const NetworkCheck& check);

// The first `top` of the ranked reports (all of them when fewer; none for top ≤ 0).
std::span<const ReportToActOn> firstToActOn(std::span<const ReportToActOn> ranked, int top);

}  // namespace velk

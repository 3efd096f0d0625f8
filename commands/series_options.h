#pragma once

// The options of the analysis of baselines over time, shared by `series` and `plot series`.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "commands/options.h"
#include "series/series_analysis.h"

namespace velk {

// The options that set the analysis (all but the step search's --alpha, which each
// subcommand gives with its own meaning): --with-float, --alpha-outlier, --min-segment,
// --step-mm, --step, --reference, --warn, --alarm, --float-alarm, --stale-days, --now.
const std::vector<OptionSpec>& seriesAnalysisOptions();

// The analysis those options and --alpha ask for; UsageError for a wrong value.
series::AnalysisOptions analysisOptions(const ParsedOptions& options);

// --step STATION,DATE: the known steps' epochs (decimal years) by station, as typed.
std::map<std::string, std::vector<double>> knownSteps(const ParsedOptions& options);

// A number of 0 or more (or above 0 without `zero_allowed`), or UsageError.
double positiveOption(std::string_view name, const std::string& text, bool zero_allowed);

}  // namespace velk

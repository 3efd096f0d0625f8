#pragma once

#include <span>
#include <string>

#include "checks/check_options.h"
#include "checks/network_check.h"
#include "reading/report.h"

namespace velk {

// The findings for a person: a table per kind (baselines, stations, repeated baselines,
// float reports against fixed means, loops) with aligned columns and one line under each
// saying what its columns mean, misclosures and differences in mm, then the summary: the
// suspects, the counts, and the first CheckOptions::top reports to look at. Station names
// are shown in UTF-8.
std::string checkText(std::span<const Report> reports, const NetworkCheck& check,
                      const CheckOptions& options, bool flagged);

}  // namespace velk

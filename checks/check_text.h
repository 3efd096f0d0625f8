#pragma once

#include <span>
#include <string>

#include "checks/check_options.h"
#include "checks/network_check.h"
#include "reading/report.h"

namespace velk {

// The findings for a person: a table per kind (baselines, stations, repeated baselines,
// loops) with aligned columns, misclosures and differences in mm, then the summary with the
// suspects first. Station names are shown in UTF-8.
std::string checkText(std::span<const Report> reports, const NetworkCheck& check,
                      const CheckOptions& options, bool flagged);

}  // namespace velk

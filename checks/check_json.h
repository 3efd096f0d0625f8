#pragma once

#include <span>
#include <string>

#include "checks/check_options.h"
#include "checks/network_check.h"
#include "reading/report.h"

namespace velk {

// The findings as a JSON document (UTF-8): baselines, stations, repeats, float reports
// against their pairs' fixed means, loops, suspects, a summary with the options, and
// "act_on", the first CheckOptions::top reports to look at; numbers in metres unless their
// names say otherwise.
std::string checkJson(std::span<const Report> reports, const NetworkCheck& check,
                      const CheckOptions& options, bool flagged);

}  // namespace velk

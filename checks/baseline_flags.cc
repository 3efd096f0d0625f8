#include "checks/baseline_flags.h"

#include <array>
#include <limits>
#include <utility>

#include "checks/vector_math.h"
#include "geodesy/covariance.h"

namespace velk {
namespace {

namespace vm = vector_math;

// What every other check needs from a report, with the word of its flag.
constexpr std::array<std::pair<ReportItem, const char*>, 5> kNeeded{{
    {ReportItem::kNames, "names"},
    {ReportItem::kVector, "vector"},
    {ReportItem::kSigmas, "sigmas"},
    {ReportItem::kMark1, "mark1"},
    {ReportItem::kDate, "date"},
}};

std::vector<std::string> incompleteFlags(const Report& report) {
  std::vector<std::string> flags;
  for (const auto& [item, word] : kNeeded)
    if (report.lacks(item)) flags.push_back(std::string("incomplete:") + word);
  // Sigmas of 0 or correlations that no matrix can have: the tests cannot weigh it.
  if (!report.lacks(ReportItem::kSigmas) && !isPositiveDefinite(report.covariance()))
    flags.emplace_back("incomplete:covariance");
  return flags;
}

// Mark 2 against mark 1 plus the vector, and E1 N1 U1 against the vector turned into the
// frame of mark 1 as TRLOC turns it; each only where the report gives the values.
std::vector<std::string> inconsistencyFlags(const Report& report) {
  std::vector<std::string> flags;
  const Cartesian end = vm::plus(report.mark1, report.vector);
  if (!report.lacks(ReportItem::kMark2) &&
      vm::norm(vm::minus(report.mark2, end)) > kSelfConsistency)
    flags.emplace_back("inconsistent:mark2");
  if (!report.lacks(ReportItem::kLocal)) {
    const LocalENU expected = TRLOC(end, report.mark1);
    const Cartesian difference{report.local.e - expected.e, report.local.n - expected.n,
                               report.local.u - expected.u};
    if (vm::norm(difference) > kSelfConsistency) flags.emplace_back("inconsistent:local");
  }
  return flags;
}

}  // namespace

BaselineCheck checkBaseline(const Report& report, std::size_t index,
                            const CheckOptions& options) {
  BaselineCheck check;
  check.report = index;
  check.sigma3d = report.lacks(ReportItem::kSigmas)
                      ? std::numeric_limits<double>::quiet_NaN()
                      : sigma3D(report.sigma_x, report.sigma_y, report.sigma_z);
  check.flags = incompleteFlags(report);
  if (!check.flags.empty()) return check;

  check.usable = true;
  if (!report.fixed) check.flags.emplace_back("float");
  if (report.fixed && !report.lacks(ReportItem::kRatio) && report.ratio < options.min_ratio)
    check.flags.emplace_back("low_ratio");
  if (check.sigma3d >= options.max_sigma3d) check.flags.emplace_back("imprecise");
  for (std::string& flag : inconsistencyFlags(report)) {
    check.inconsistent = true;
    check.flags.push_back(std::move(flag));
  }
  return check;
}

}  // namespace velk

#include "checks/check_text.h"

#include <cmath>
#include <optional>

#include "format/number_text.h"
#include "format/text_encoding.h"
#include "format/text_table.h"
#include "series/epochs.h"

namespace velk {
namespace {

using Align = TextTable::Align;
constexpr Align kLeft = Align::kLeft;
constexpr Align kRight = Align::kRight;

std::string fixed(double value, int decimals) {
  return std::isfinite(value) ? fixedTextTiesToEven(value, decimals) : "-";
}
// An option's value as the user would write it: up to 9 decimals, trailing zeros dropped.
std::string trimmed(double value) {
  std::string text = fixedTextTiesToEven(value, 9);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text;
}
std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) {
    if (!text.empty()) text += ' ';
    text += word;
  }
  return text;
}
std::string mm(double metres) { return fixed(metres * 1000, 1); }
// "1 loop", "2 loops".
std::string counted(std::size_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}
std::string statistic(double value) { return fixed(value, 3); }
// "+15.0 ± 0.4".
std::string signedMm(double metres, double sigma) {
  return (metres >= 0 ? "+" : "") + mm(metres) + " ± " + mm(sigma);
}
// The repeat's flag: its test, and a step of its series beyond the limit.
std::string repeatFlag(const RepeatCheck& repeat) {
  std::vector<std::string> words;
  if (repeat.test.flagged) words.emplace_back("flagged");
  if (repeat.flaggedStep() != nullptr) words.emplace_back("step");
  return joined(words);
}

class Writer {
 public:
  Writer(std::span<const Report> reports, const NetworkCheck& check, const CheckOptions& options)
      : reports_(reports), check_(check), options_(options) {}

  std::string render(bool flagged);

 private:
  const std::string& file(std::size_t report) const { return reports_[report].file; }
  std::string station(int index) const {
    return cp850ToUtf8(check_.stations[static_cast<std::size_t>(index)].name);
  }
  std::string pairName(std::size_t pair) const {
    return station(check_.pairs[pair].from) + " - " + station(check_.pairs[pair].to);
  }
  void heading(std::string_view title, std::string_view note);
  // A table, then one line under it that says what its columns mean.
  void table(const TextTable& table, std::string_view indent, std::string_view legend);
  void baselines();
  void stations();
  void repeats();
  void repeatSteps();
  void floats();
  void loops();
  void summary(bool flagged);
  void reportsToActOn();

  std::span<const Report> reports_;
  const NetworkCheck& check_;
  const CheckOptions& options_;
  std::string out_;
};

void Writer::heading(std::string_view title, std::string_view note) {
  out_ += '\n';
  out_ += title;
  if (!note.empty()) {
    out_ += " (";
    out_ += note;
    out_ += ')';
  }
  out_ += '\n';
}

void Writer::table(const TextTable& table, std::string_view indent, std::string_view legend) {
  out_ += table.render(indent);
  out_ += indent;
  out_ += legend;
  out_ += '\n';
}

void Writer::baselines() {
  heading("Baselines", "");
  TextTable table({{"File", kLeft}, {"From", kLeft}, {"To", kLeft}, {"Solution", kLeft},
                   {"Ratio", kRight}, {"Sigma3D mm", kRight}, {"Flags", kLeft}});
  for (const BaselineCheck& baseline : check_.baselines) {
    const Report& report = reports_[baseline.report];
    const std::string flags = joined(baseline.flags);
    table.addRow({report.file, cp850ToUtf8(report.fixed_station),
                  cp850ToUtf8(report.unknown_station), report.fixed ? "fixed" : "float",
                  report.lacks(ReportItem::kRatio) ? "-" : fixed(report.ratio, 2),
                  mm(baseline.sigma3d), flags});
  }
  this->table(table, "  ",
              "Ratio: the fixed solution's ambiguity ratio; Sigma3D: √(σx² + σy² + σz²) of the "
              "solution used; Flags: what to look at in the report");
}

void Writer::stations() {
  heading("Stations", "a priori coordinates as the reports give them; tolerance " +
                          trimmed(options_.station_tolerance) + " m");
  TextTable table({{"Station", kLeft}, {"Reports", kRight}, {"Coordinates", kRight},
                   {"Spread m", kRight}, {"Between", kLeft}, {"Flag", kLeft}});
  for (const StationCheck& s : check_.stations) {
    table.addRow({cp850ToUtf8(s.name), std::to_string(s.reports), std::to_string(s.coordinates),
                  fixed(s.spread, 3),
                  s.spread > 0 ? file(s.spread_from) + " " + file(s.spread_to) : "",
                  s.flagged ? "spread" : ""});
  }
  this->table(table, "  ",
              "Coordinates: how many reports give it; Spread: the largest distance between two "
              "of them, given by the reports under Between");
}

void Writer::repeats() {
  heading("Repeated baselines",
          "differences from the weighted mean; E N U at the pair's first station");
  if (check_.repeats.empty()) {
    out_ += "  none\n";
    return;
  }
  TextTable tests({{"Pair", kLeft}, {"Reports", kRight}, {"Length m", kRight},
                   {"Largest mm", kRight}, {"Step mm", kRight}, {"Split", kLeft},
                   {"Limit mm", kRight}, {"T", kRight}, {"Chi2", kRight}, {"Dof", kRight},
                   {"Flag", kLeft}});
  TextTable differences({{"Pair", kLeft}, {"File", kLeft}, {"dX mm", kRight},
                         {"dY mm", kRight}, {"dZ mm", kRight}, {"dE mm", kRight},
                         {"dN mm", kRight}, {"dU mm", kRight}, {"t", kRight}});
  for (const RepeatCheck& repeat : check_.repeats) {
    const PairMean& pair = check_.pairs[repeat.pair];
    const std::optional<SplitInTime>& split = repeat.split;
    tests.addRow({pairName(repeat.pair), std::to_string(pair.reports.size()),
                  fixed(pair.length, 3), mm(repeat.largest), split ? mm(split->length) : "-",
                  split ? std::to_string(split->before) + "|" + std::to_string(split->after) +
                              " at " + file(split->first_after)
                        : "-",
                  mm(repeat.test.limit), statistic(repeat.test.t),
                  statistic(repeat.test.critical), std::to_string(repeat.test.dof),
                  repeatFlag(repeat)});
    for (const RepeatDifference& d : repeat.differences)
      differences.addRow({pairName(repeat.pair), file(d.report), mm(d.xyz.x), mm(d.xyz.y),
                          mm(d.xyz.z), mm(d.enu.e), mm(d.enu.n), mm(d.enu.u), statistic(d.t)});
  }
  table(tests, "  ",
        "Reports: of the mean, its fixed ones if any; Largest: the largest difference from it; "
        "Step: the largest between the means before and after a Split in time (reports "
        "before|after, the first after); flagged: T > Chi2, the critical value at alpha, and "
        "Largest or Step > Limit; step: a step of its series (below) > Limit");
  out_ += '\n';
  table(differences, "  ",
        "dX to dU: the report minus its pair's mean; t: that difference against its covariance "
        "(3 degrees of freedom), the largest for a report that stands out");
  repeatSteps();
}

// The steps found in the series of the pairs of kLeastReportsForStepSearch reports or more.
void Writer::repeatSteps() {
  TextTable steps({{"Pair", kLeft}, {"First after", kLeft}, {"Date (GPS)", kLeft},
                   {"dE mm", kRight}, {"dN mm", kRight}, {"dU mm", kRight}, {"Size mm", kRight},
                   {"Limit mm", kRight}, {"T", kRight}, {"Flag", kLeft}});
  for (const RepeatCheck& repeat : check_.repeats)
    for (const RepeatStep& step : repeat.steps)
      steps.addRow({pairName(repeat.pair), file(step.first_after),
                    series::isoDateTime(step.epoch_mjd).substr(0, 16), signedMm(step.enu.e, step.sigma.e),
                    signedMm(step.enu.n, step.sigma.n), signedMm(step.enu.u, step.sigma.u),
                    mm(step.length), mm(repeat.test.limit), statistic(step.t),
                    step.length > repeat.test.limit ? "step" : ""});
  if (steps.empty()) return;
  out_ += "\n  Steps in the series of pairs of " + std::to_string(kLeastReportsForStepSearch) +
          " reports or more\n";
  table(steps, "  ",
        "First after: the first report after the step, on its Date; dE to dU: the offset after "
        "minus before, ± its sigma; T: its test (3 degrees of freedom, alpha over the splits "
        "tried); step: Size > Limit, which flags the repeat");
}

void Writer::floats() {
  heading("Float reports of pairs with fixed reports",
          "against the fixed mean; E N U at the pair's first station");
  if (check_.floats.empty()) {
    out_ += "  none\n";
    return;
  }
  TextTable tests({{"Pair", kLeft}, {"File", kLeft}, {"Fixed", kRight}, {"dE mm", kRight},
                   {"dN mm", kRight}, {"dU mm", kRight}, {"Length mm", kRight},
                   {"Limit mm", kRight}, {"T", kRight}, {"Chi2", kRight}, {"Flag", kLeft}});
  for (const FloatComparison& c : check_.floats) {
    tests.addRow({pairName(c.pair), file(c.report),
                  std::to_string(check_.pairs[c.pair].reports.size()), mm(c.enu.e), mm(c.enu.n),
                  mm(c.enu.u), mm(c.test.length), mm(c.test.limit), statistic(c.test.t),
                  statistic(c.test.critical), c.test.flagged ? "float_disagrees" : ""});
  }
  table(tests, "  ",
        "Fixed: the fixed reports of the mean; Length: the float vector's distance from it; T: "
        "against both covariances, Chi2: the critical value at alpha (3 degrees of freedom)");
}

void Writer::loops() {
  heading("Loops", "a basis of least perimeter; E N U at the first station");
  if (check_.loops.empty()) {
    out_ += "  none\n";
    return;
  }
  TextTable tests({{"Loop", kRight}, {"Stations", kLeft}, {"Perimeter m", kRight},
                   {"Misclosure mm", kRight}, {"Limit mm", kRight}, {"ppm", kRight},
                   {"T", kRight},
                   {"Chi2", kRight}, {"Flag", kLeft}});
  TextTable components({{"Loop", kRight}, {"dX mm", kRight}, {"dY mm", kRight},
                        {"dZ mm", kRight}, {"dE mm", kRight}, {"dN mm", kRight},
                        {"dU mm", kRight}});
  for (std::size_t i = 0; i < check_.loops.size(); ++i) {
    const LoopCheck& loop = check_.loops[i];
    std::vector<std::string> names;
    for (const int s : loop.stations) names.push_back(station(s));
    const std::string stations = joined(names);
    std::string flag = loop.test.flagged ? "flagged" : "";
    if (loop.same_session) flag += flag.empty() ? "same_session" : " same_session";
    if (loop.float_leg) flag += flag.empty() ? "float" : " float";
    const std::string number = std::to_string(i + 1);
    tests.addRow({number, stations, fixed(loop.perimeter, 1), mm(loop.test.length),
                  mm(loop.test.limit), fixed(loop.ppm, 2), statistic(loop.test.t),
                  statistic(loop.test.critical), flag});
    components.addRow({number, mm(loop.misclosure.x), mm(loop.misclosure.y),
                       mm(loop.misclosure.z), mm(loop.enu.e), mm(loop.enu.n), mm(loop.enu.u)});
  }
  table(tests, "  ",
        "Misclosure: the length of the sum of the vectors round the loop; Limit: what it must "
        "exceed; ppm: per perimeter; T: against the legs' covariances, Chi2: the critical value "
        "at alpha; float: a leg has float reports only");
  out_ += '\n';
  table(components, "  ",
        "dX to dU: the misclosure in X Y Z and in E N U at the loop's first station");
}

void Writer::summary(bool flagged) {
  heading("Summary", "");
  if (check_.suspects.empty()) {
    out_ += "  Suspects: none\n";
  } else {
    out_ += "  Suspects (pairs on flagged loops, most suspect first):\n";
    TextTable table({{"Pair", kLeft}, {"Loops", kRight}, {"Flagged", kRight},
                     {"Sum of T", kRight}, {"Note", kLeft}});
    for (const Suspect& suspect : check_.suspects)
      table.addRow({pairName(suspect.pair), std::to_string(suspect.loops),
                    std::to_string(suspect.flagged_loops), statistic(suspect.t_sum),
                    suspect.alone ? "alone" : ""});
    this->table(table, "    ",
                "Loops: the loops of the basis through the pair; Flagged: of which flagged; Sum "
                "of T: over those; alone: no other loop can tell this pair from the others of "
                "its loop");
  }
  const CheckSummary s = summarize(check_);
  const auto line = [&](std::string_view what, int count, int flagged_count,
                        std::string_view extra = {}) {
    out_ += "  " + std::string(what) + ": " + std::to_string(count) + ", flagged " +
            std::to_string(flagged_count) + std::string(extra) + "\n";
  };
  line("Reports", s.reports, s.baselines_flagged,
       " (" + std::to_string(s.inconsistent) + " inconsistent)");
  line("Stations", s.stations, s.stations_flagged);
  line("Repeated baselines", s.repeats, s.repeats_flagged);
  line("Float reports against fixed means", s.floats, s.floats_flagged);
  line("Loops", s.loops, s.loops_flagged);
  out_ += flagged ? "  Result: flagged findings, see above\n" : "  Result: nothing flagged\n";
  reportsToActOn();
}

void Writer::reportsToActOn() {
  if (check_.act_on.empty()) {
    out_ += "  Reports to look at first: none\n";
    return;
  }
  out_ += "  Reports to look at first:\n";
  TextTable table({{"File", kLeft}, {"From", kLeft}, {"To", kLeft}, {"Why", kLeft}});
  const std::span<const ReportToActOn> shown = firstToActOn(check_.act_on, options_.top);
  for (const ReportToActOn& entry : shown) {
    const Report& report = reports_[entry.report];
    table.addRow({report.file, cp850ToUtf8(report.fixed_station),
                  cp850ToUtf8(report.unknown_station), cp850ToUtf8(entry.why)});
  }
  this->table(table, "    ",
              "Why: the flagged evidence the report explains; first what a report alone "
              "explains, then the reports of suspect pairs");
  if (shown.size() < check_.act_on.size())
    out_ += "    and " + counted(check_.act_on.size() - shown.size(), "more report") +
            " (--top " + std::to_string(options_.top) + ")\n";
}

std::string Writer::render(bool flagged) {
  const CheckSummary s = summarize(check_);
  const auto n = [](int count) { return static_cast<std::size_t>(count); };
  out_ += "Check of " + counted(n(s.reports), "report") + ": " + counted(n(s.stations), "station") +
          ", " + counted(n(s.pairs), "pair") + ", " + std::to_string(s.repeats) + " repeated, " +
          counted(n(s.loops), "loop") + "\n";
  out_ += "Tests at alpha " + trimmed(options_.alpha) + ", variance factor " +
          trimmed(options_.variance_factor) + "; flagged when T > chi-square and length > " +
          trimmed(options_.tolerance_mm) + " mm + " +
          trimmed(options_.tolerance_ppm) + " ppm\n";
  baselines();
  stations();
  repeats();
  floats();
  loops();
  summary(flagged);
  return std::move(out_);
}

}  // namespace

std::string checkText(std::span<const Report> reports, const NetworkCheck& check,
                      const CheckOptions& options, bool flagged) {
  return Writer(reports, check, options).render(flagged);
}

}  // namespace velk

#include "checks/check_text.h"

#include <cmath>

#include "format/number_text.h"
#include "format/text_encoding.h"
#include "format/text_table.h"

namespace velk {
namespace {

using Align = TextTable::Align;
constexpr Align kLeft = Align::kLeft;
constexpr Align kRight = Align::kRight;

std::string fixed(double value, int decimals) {
  return std::isfinite(value) ? fixedText(value, decimals) : "-";
}
// An option's value as the user would write it: up to 9 decimals, trailing zeros dropped.
std::string trimmed(double value) {
  std::string text = fixedText(value, 9);
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
std::string statistic(double value) { return fixed(value, 3); }

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
  void baselines();
  void stations();
  void repeats();
  void loops();
  void summary(bool flagged);

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
  out_ += table.render("  ");
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
  out_ += table.render("  ");
}

void Writer::repeats() {
  heading("Repeated baselines",
          "differences from the weighted mean; E N U at the pair's first station");
  if (check_.repeats.empty()) {
    out_ += "  none\n";
    return;
  }
  TextTable tests({{"Pair", kLeft}, {"Reports", kRight}, {"Length m", kRight},
                   {"Largest mm", kRight}, {"Limit mm", kRight}, {"T", kRight},
                   {"Chi2", kRight}, {"Dof", kRight}, {"Flag", kLeft}});
  TextTable differences({{"Pair", kLeft}, {"File", kLeft}, {"dX mm", kRight},
                         {"dY mm", kRight}, {"dZ mm", kRight}, {"dE mm", kRight},
                         {"dN mm", kRight}, {"dU mm", kRight}, {"t", kRight}});
  for (const RepeatCheck& repeat : check_.repeats) {
    const PairMean& pair = check_.pairs[repeat.pair];
    tests.addRow({pairName(repeat.pair), std::to_string(pair.reports.size()),
                  fixed(pair.length, 3), mm(repeat.test.length), mm(repeat.test.limit),
                  statistic(repeat.test.t), statistic(repeat.test.critical),
                  std::to_string(repeat.test.dof), repeat.test.flagged ? "flagged" : ""});
    for (const RepeatDifference& d : repeat.differences)
      differences.addRow({pairName(repeat.pair), file(d.report), mm(d.xyz.x), mm(d.xyz.y),
                          mm(d.xyz.z), mm(d.enu.e), mm(d.enu.n), mm(d.enu.u), statistic(d.t)});
  }
  out_ += tests.render("  ");
  out_ += '\n';
  out_ += differences.render("  ");
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
    const std::string number = std::to_string(i + 1);
    tests.addRow({number, stations, fixed(loop.perimeter, 1), mm(loop.test.length),
                  mm(loop.test.limit), fixed(loop.ppm, 2), statistic(loop.test.t),
                  statistic(loop.test.critical), flag});
    components.addRow({number, mm(loop.misclosure.x), mm(loop.misclosure.y),
                       mm(loop.misclosure.z), mm(loop.enu.e), mm(loop.enu.n), mm(loop.enu.u)});
  }
  out_ += tests.render("  ");
  out_ += '\n';
  out_ += components.render("  ");
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
    out_ += table.render("    ");
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
  line("Loops", s.loops, s.loops_flagged);
  out_ += flagged ? "  Result: flagged findings, see above\n" : "  Result: nothing flagged\n";
}

std::string Writer::render(bool flagged) {
  const CheckSummary s = summarize(check_);
  out_ += "Check of " + std::to_string(s.reports) + " reports: " + std::to_string(s.stations) +
          " stations, " + std::to_string(s.pairs) + " pairs, " + std::to_string(s.repeats) +
          " repeated, " + std::to_string(s.loops) + " loops\n";
  out_ += "Tests at alpha " + trimmed(options_.alpha) + ", variance factor " +
          trimmed(options_.variance_factor) + "; flagged when T > chi-square and length > " +
          trimmed(options_.tolerance_mm) + " mm + " +
          trimmed(options_.tolerance_ppm) + " ppm\n";
  baselines();
  stations();
  repeats();
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

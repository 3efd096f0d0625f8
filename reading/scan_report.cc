#include "reading/scan_report.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>

#include "format/run_error.h"
#include "reading/number_field.h"

namespace velk {
namespace {

constexpr std::size_t kLineWidth = 80;

// One O-file line in its 80-column buffer (longer lines cut, shorter ones blank-padded).
// Columns are numbered from 1.
class ReportLine {
 public:
  void assign(std::string_view text) {
    buffer_.assign(text.substr(0, kLineWidth));
    buffer_.resize(kLineWidth, ' ');
  }

  std::string_view columns(int first, int last) const {
    return std::string_view(buffer_).substr(static_cast<std::size_t>(first - 1),
                                            static_cast<std::size_t>(last - first + 1));
  }

  // The columns hold the literal followed by blanks up to their last column.
  bool holds(int first, int last, std::string_view literal) const {
    const std::string_view range = columns(first, last);
    return range.substr(0, literal.size()) == literal && isBlankText(range.substr(literal.size()));
  }

 private:
  std::string buffer_;
};

// A field's text for an error message: without its surrounding blanks, control bytes
// made visible.
std::string shownFieldText(std::string_view field) {
  const std::size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  field = field.substr(first, field.find_last_not_of(' ') - first + 1);
  std::string shown;
  for (const char c : field) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      shown += escaped;
    } else {
      shown += c;
    }
  }
  return shown;
}

double dayFraction(std::int32_t hour, std::int32_t minute) {
  return (minute / 60.0 + hour) / 24.0;
}

enum class ScanState { MainScan, FloatSection, FixedSection };

// The blocks of a line that carries three coordinates in columns 14-27, 29-42, 44-57.
struct CoordinateFields {
  double BaselineRecord::*x;
  double BaselineRecord::*y;
  double BaselineRecord::*z;
};
constexpr CoordinateFields kMark1{&BaselineRecord::mark1_x, &BaselineRecord::mark1_y,
                                  &BaselineRecord::mark1_z};
constexpr CoordinateFields kLocal{&BaselineRecord::enu1_e, &BaselineRecord::enu1_n,
                                  &BaselineRecord::enu1_u};
constexpr CoordinateFields kMark2{&BaselineRecord::mark2_x, &BaselineRecord::mark2_y,
                                  &BaselineRecord::mark2_z};

// Reads one O-file: the main scan and the two solution sections, line by line.
class ReportScanner {
 public:
  ReportScanner(LineReader& report, std::string_view report_file_name,
                std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                const ReadingEdition& edition, RecordSink& console)
      : lines_(report),
        report_file_name_(report_file_name),
        file_system_name_(file_system_name),
        table_(table),
        state_(state),
        edition_(edition),
        console_(console) {}

  void scan() {
    std::string text;
    while (lines_.next(text)) {
      line_.assign(text);
      if (scan_state_ == ScanState::MainScan) {
        scanMainLine();
      } else {
        scanSectionLine();
      }
    }
  }

 private:
  void scanMainLine() {
    if (line_.holds(1, 4, "GPS ")) {
      table_.open_entry(report_file_name_);
    } else if (line_.holds(27, 37, "5-character")) {
      const std::int32_t day_number = integerField(1, 3);
      entryForStore().day_number = day_number;
    } else if (line_.holds(27, 48, "4-character short name")) {
      state_.current_short_name = line_.columns(1, 4);
    } else if (line_.holds(1, 13, "FIXED STATION")) {
      entryForStore().fixed_station = state_.current_short_name;
    } else if (line_.holds(1, 15, "UNKNOWN STATION")) {
      entryForStore().unknown_station = state_.current_short_name;
    } else if (line_.holds(27, 48, "First epoch to process") ||
               line_.holds(27, 48, "Final epoch to process")) {
      realField(1, 8, 0);  // checked, not kept
    } else if (line_.holds(1, 9, "THE FLOAT")) {
      enterFloatSection();
    } else if (line_.holds(1, 9, "THE FIXED")) {
      enterFixedSection();
    } else if (line_.holds(1, 13, "Common start")) {
      readPeriodLine(state_.start_fraction, &BaselineRecord::start_time, " -- date1 :");
    } else if (line_.holds(1, 13, "Common end")) {
      readPeriodLine(state_.end_fraction, &BaselineRecord::end_time, " -- date2 :");
    } else if (line_.holds(1, 15, "Epoch interval")) {
      realField(26, 30, 1);  // checked, not kept
    }
  }

  void scanSectionLine() {
    if (scan_state_ == ScanState::FixedSection && isRatioLine()) {
      readRatioLine();
    } else if (line_.holds(1, 7, "  Sigma")) {
      readSigmaLine();
    } else if (line_.holds(1, 17, " Baseline vector:")) {
      readVectorLine();
    } else if (line_.holds(1, 10, " Mark1_xyz")) {
      readCoordinateLine(kMark1);
    } else if (line_.holds(1, 10, " Mark2_xyz")) {
      readCoordinateLine(kMark2);
      scan_state_ = ScanState::MainScan;
    } else if (line_.holds(1, 10, " E1 N1 U1 ")) {
      readCoordinateLine(kLocal);
    } else if (line_.holds(1, 1, "y")) {
      readXYCorrelation();
    } else if (line_.holds(1, 1, "z")) {
      readXZAndYZCorrelations();
    }
  }

  // The solution kind and, for the float solution, the epoch of the middle of the period
  // are set on entering the section; nothing inside a section changes what they rest on.
  void enterFloatSection() {
    BaselineRecord& entry = entryForStore();
    entry.solution_kind = edition_.float_kind;
    entry.mid_epoch = (state_.end_fraction + state_.start_fraction) / 2.0 + entry.day_number;
    scan_state_ = ScanState::FloatSection;
  }

  void enterFixedSection() {
    entryForStore().solution_kind = edition_.fixed_kind;
    scan_state_ = ScanState::FixedSection;
  }

  // "Common start" / "Common end": the time of day as a day fraction, and the date in the
  // edition's form (novrale the year, the later line winning; quelmar the time text).
  void readPeriodLine(double& fraction, FixedText<5> BaselineRecord::*time_text,
                      std::string_view echo_title) {
    const std::int32_t hour = integerField(40, 41);
    const std::int32_t minute = integerField(43, 44);
    const std::int32_t year = edition_.dates_as_year ? integerField(29, 32) : 0;
    BaselineRecord& entry = entryForStore();
    state_.hour = hour;
    state_.minute = minute;
    if (edition_.dates_as_year) {
      entry.year = year;
    } else {
      entry.*time_text = line_.columns(40, 44);
    }
    fraction = dayFraction(state_.hour, state_.minute);
    writeFreeForm(console_, echo_title);
    writeFreeFormReal(console_, fraction);
  }

  bool isRatioLine() const {
    const int first = edition_.ratio_keyword_column;
    const int last = first + static_cast<int>(edition_.ratio_keyword.size()) - 1;
    return line_.holds(first, last, edition_.ratio_keyword);
  }

  void readRatioLine() {
    BaselineRecord& entry = entryForStore();
    if (edition_.ratio_echo) writeFreeForm(console_, " Fixed solution :");
    const double ratio =
        realField(edition_.ratio_first_column, edition_.ratio_last_column, edition_.ratio_decimals);
    state_.ratio = ratio;
    entry.ratio = ratio;
    if (edition_.ratio_echo) {
      writeFreeForm(console_, " Integer Research Ratio :");
      writeFreeFormReal(console_, ratio);
    }
  }

  // "  SigmaN" and any other "  Sigma" line change nothing.
  void readSigmaLine() {
    if (line_.holds(1, 8, "  Sigmax")) {
      storeSigma(state_.sigma_x, &BaselineRecord::sigma_x);
    } else if (line_.holds(1, 8, "  Sigmay")) {
      storeSigma(state_.sigma_y, &BaselineRecord::sigma_y);
    } else if (line_.holds(1, 8, "  Sigmaz")) {
      storeSigma(state_.sigma_z, &BaselineRecord::sigma_z);
    }
  }

  void storeSigma(double& carried, double BaselineRecord::*stored) {
    const double sigma = realField(18, 27, 6);
    carried = sigma;
    entryForStore().*stored = sigma;
  }

  void readVectorLine() {
    const double dx = realField(19, 32, 4);
    const double dy = realField(34, 47, 4);
    const double dz = realField(49, 62, 4);
    BaselineRecord& entry = entryForStore();
    state_.dx = entry.dx = dx;
    state_.dy = entry.dy = dy;
    state_.dz = entry.dz = dz;
    entry.length = std::sqrt(dx * dx + dy * dy + dz * dz);
    writeRecord(console_, edition_.vector_echo,
                {table_.baseline_count(), entry.fixed_station.view(), entry.unknown_station.view(),
                 entry.dx, entry.dy, entry.dz, solutionKind(entry, edition_.solution_kind_width)});
    writeRecord(console_, edition_.sigma_echo, {entry.sigma_x, entry.sigma_y, entry.sigma_z});
  }

  void readCoordinateLine(const CoordinateFields& fields) {
    const double x = realField(14, 27, 4);
    const double y = realField(29, 42, 4);
    const double z = realField(44, 57, 4);
    BaselineRecord& entry = entryForStore();
    entry.*fields.x = x;
    entry.*fields.y = y;
    entry.*fields.z = z;
    writeRecord(console_, edition_.mark_echo,
                {table_.baseline_count(), entry.fixed_station.view(), x, y, z});
  }

  // Correlation rows turn the coefficients into covariances with the standard deviations
  // last read. A "y" or "z" line whose fields are not numbers is some other line of the
  // section ("zenith delay ...") and is passed over.
  void readXYCorrelation() {
    const std::optional<double> r_xy = readRealField(line_.columns(2, 6), 2);
    if (!r_xy) return;
    entryForStore().cov_xy = *r_xy * state_.sigma_y * state_.sigma_x;
  }

  void readXZAndYZCorrelations() {
    const std::optional<double> r_xz = readRealField(line_.columns(2, 6), 2);
    const std::optional<double> r_yz = readRealField(line_.columns(8, 12), 2);
    if (!r_xz || !r_yz) return;
    BaselineRecord& entry = entryForStore();
    entry.cov_xz = *r_xz * state_.sigma_z * state_.sigma_x;
    entry.cov_yz = state_.sigma_z * state_.sigma_y * *r_yz;
  }

  // The entry a line stores into. Before the run's first report header that is the
  // table's scratch entry, which is never written out: the operator is told once per
  // O-file.
  BaselineRecord& entryForStore() {
    if (table_.baseline_count() == 0 && !warned_of_scratch_stores_) {
      writeFreeForm(console_, " -> Attention : donnees avant la ligne GPS ignorees : " +
                                  std::string(file_system_name_));
      warned_of_scratch_stores_ = true;
    }
    return table_.current_entry();
  }

  std::int32_t integerField(int first, int last) const {
    if (const auto value = readIntegerField(line_.columns(first, last))) return *value;
    throw unreadableField(first, last);
  }

  double realField(int first, int last, int decimals) const {
    if (const auto value = readRealField(line_.columns(first, last), decimals)) return *value;
    throw unreadableField(first, last);
  }

  RunError unreadableField(int first, int last) const {
    return RunError(std::string(file_system_name_) + " line " +
                    std::to_string(lines_.lineNumber()) + " columns " + std::to_string(first) +
                    "-" + std::to_string(last) + ": \"" +
                    shownFieldText(line_.columns(first, last)) + "\" is not a number");
  }

  LineReader& lines_;
  ReportLine line_;
  ScanState scan_state_ = ScanState::MainScan;
  bool warned_of_scratch_stores_ = false;
  std::string_view report_file_name_;
  std::string_view file_system_name_;
  BaselineTable& table_;
  ReportScanState& state_;
  const ReadingEdition& edition_;
  RecordSink& console_;
};

}  // namespace

void scan_report(LineReader& report, std::string_view report_file_name,
                 std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                 const ReadingEdition& edition, RecordSink& console) {
  ReportScanner(report, report_file_name, file_system_name, table, state, edition, console).scan();
}

void scan_report(std::istream& report, std::string_view report_file_name,
                 std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                 const ReadingEdition& edition, RecordSink& console) {
  LineReader lines(report, std::string(file_system_name));
  scan_report(lines, report_file_name, file_system_name, table, state, edition, console);
}

}  // namespace velk

#include "reading/scan_report.h"

#include <cmath>
#include <cstring>
#include <cstddef>
#include <string>

#include "reading/number_field.h"
#include "reading/report_items.h"
#include "reading/report_line.h"

namespace velk {
namespace {

double dayFraction(std::int32_t hour, std::int32_t minute) {
  return (minute / 60.0 + hour) / 24.0;
}

// The part of the report the scanner is in: the main part, or one of its two solution
// sections. (ReportScanState is what the dialog carries from report to report.)
enum class ReportPart { kMain, kFloatSection, kFixedSection };

// Where the three coordinates of a mark or local line (o_file::kCoordinates) are stored.
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
                const ReadingEdition& edition, RecordSink& console,
                const DataBeforeHeaderNotice& notice)
      : lines_(report),
        report_file_name_(report_file_name),
        file_system_name_(file_system_name),
        table_(table),
        state_(state),
        edition_(edition),
        console_(console),
        notice_(notice) {
    line_.numberedBy(report);
  }

  void scan() {
    std::string_view text;
    while (lines_.next(text)) {
      line_.assign(text);
      if (part_ == ReportPart::kMain) {
        scanMainLine();
      } else {
        scanSectionLine();
      }
    }
    if (part_ != ReportPart::kMain) storeSectionItems();
  }

 private:
  [[gnu::always_inline]] void scanMainLine() {
    switch (classifyMainLine(line_)) {
      case MainLine::kReportHeader:
        openEntry();
        return;
      case MainLine::kDay: {
        const std::int32_t day_number = integerField(o_file::kDayNumber);
        entryForStore().day_number = day_number;
        return;
      }
      case MainLine::kShortName:
        state_.current_short_name = line_.columns(o_file::kShortName);
        short_name_read_ = true;
        return;
      case MainLine::kFixedStation:
        entryForStore().fixed_station = state_.current_short_name;
        if (entry_opened_here_) reportItems().fixed_name_read = short_name_read_;
        return;
      case MainLine::kUnknownStation:
        entryForStore().unknown_station = state_.current_short_name;
        if (entry_opened_here_) reportItems().unknown_name_read = short_name_read_;
        return;
      case MainLine::kEpochToProcess:
        realField(o_file::kEpochToProcess);  // checked, not kept
        return;
      case MainLine::kFloatSection:
        enterFloatSection();
        return;
      case MainLine::kFixedSection:
        enterFixedSection();
        return;
      case MainLine::kCommonStart:
        readPeriodLine(state_.start_fraction, &BaselineRecord::start_time, " -- date1 :");
        notePeriodLine(reportItems().start_text, reportItems().start_seen);
        return;
      case MainLine::kCommonEnd:
        readPeriodLine(state_.end_fraction, &BaselineRecord::end_time, " -- date2 :");
        notePeriodLine(reportItems().end_text, reportItems().end_seen);
        return;
      case MainLine::kEpochInterval:
        realField(o_file::kEpochInterval);  // checked, not kept
        return;
      case MainLine::kOther:
        return;
    }
  }

  void scanSectionLine() {
    if (part_ == ReportPart::kFixedSection && isRatioLine()) {
      readRatioLine();
      return;
    }
    switch (classifySectionLine(line_)) {
      case SectionLine::kSigmaX:
        storeSigma(state_.sigma_x, &BaselineRecord::sigma_x);
        noteSectionSigma(0);
        return;
      case SectionLine::kSigmaY:
        storeSigma(state_.sigma_y, &BaselineRecord::sigma_y);
        noteSectionSigma(1);
        return;
      case SectionLine::kSigmaZ:
        storeSigma(state_.sigma_z, &BaselineRecord::sigma_z);
        noteSectionSigma(2);
        return;
      case SectionLine::kVector:
        readVectorLine();
        noteSectionItem(ReportItem::kVector);
        return;
      case SectionLine::kMark1:
        readCoordinateLine(kMark1);
        noteSectionItem(ReportItem::kMark1);
        return;
      case SectionLine::kMark2:
        readCoordinateLine(kMark2);
        noteSectionItem(ReportItem::kMark2);
        storeSectionItems();
        part_ = ReportPart::kMain;
        return;
      case SectionLine::kLocal:
        readCoordinateLine(kLocal);
        noteSectionItem(ReportItem::kLocal);
        return;
      case SectionLine::kCorrelationY:
        readXYCorrelation();
        return;
      case SectionLine::kCorrelationZ:
        readXZAndYZCorrelations();
        return;
      case SectionLine::kOtherSigma:  // "  SigmaN" and the like change nothing
        return;
      case SectionLine::kOther:
        if (line_.at(1) == 'G' && line_.holds(1, 4, "GPS ")) noteHiddenHeader();
        return;
    }
  }

  // The solution kind and, for the float solution, the epoch of the middle of the period
  // are set on entering the section; nothing inside a section changes what they rest on.
  void enterFloatSection() {
    BaselineRecord& entry = entryForStore();
    entry.solution_kind = edition_.float_kind;
    entry.mid_epoch = (state_.end_fraction + state_.start_fraction) / 2.0 + entry.day_number;
    part_ = ReportPart::kFloatSection;
    startSectionItems();
  }

  void enterFixedSection() {
    entryForStore().solution_kind = edition_.fixed_kind;
    part_ = ReportPart::kFixedSection;
    startSectionItems();
  }

  // What the report gave, kept beside its entry in the terms of the per-report reading: a
  // second section of a kind replaces the first, names and dates count only when this
  // report gave them.
  void openEntry() {
    table_.open_entry(report_file_name_);
    table_.current_items().header_line = line_.number();
    entry_opened_here_ = true;
    short_name_read_ = false;
  }

  // Lines of an O-file without a header of its own store into the entry of the file read
  // before (the dialog's way); they change nothing of what that entry's report gave.
  void startSectionItems() {
    if (!entry_opened_here_) return;
    section_items_ = {};
    EntryItems& items = table_.current_items();
    if (part_ == ReportPart::kFixedSection) {
      items.has_fixed = true;
      items.fixed_section_line = line_.number();
      items.fixed_given = 0;
    } else {
      items.has_float = true;
      items.float_given = 0;
    }
  }

  // A section's items are gathered here and stored with its entry where the section ends
  // (its mark 2 line, or the end of the file).
  void noteSectionItem(ReportItem item) { section_items_.items |= reportItemBit(item); }

  void noteSectionSigma(int axis) {
    section_items_.sigmas = static_cast<std::uint8_t>(section_items_.sigmas | (1 << axis));
  }

  void storeSectionItems() {
    if (!entry_opened_here_) return;
    EntryItems& items = table_.current_items();
    (part_ == ReportPart::kFixedSection ? items.fixed_given : items.float_given) =
        section_items_.given();
  }

  void noteHiddenHeader() {
    EntryItems& items = table_.current_items();
    if (entry_opened_here_ && items.hidden_header_line == 0) items.hidden_header_line = line_.number();
  }


  EntryItems& reportItems() { return table_.current_items(); }

  template <typename Text>
  void notePeriodLine(Text& text, bool& seen) {
    if (!entry_opened_here_) return;
    const std::string_view columns = line_.columns(o_file::kPeriod);
    std::memcpy(text.data(), columns.data(), text.size());
    seen = true;
  }


  // "Common start" / "Common end": the time of day as a day fraction, and the date in the
  // edition's form (novrale the year, the later line winning; quelmar the time text).
  void readPeriodLine(double& fraction, FixedText<5> BaselineRecord::*time_text,
                      std::string_view echo_title) {
    const std::int32_t hour = integerField(o_file::kPeriodHour);
    const std::int32_t minute = integerField(o_file::kPeriodMinute);
    const std::int32_t year = edition_.dates_as_year ? integerField(o_file::kPeriodYear) : 0;
    BaselineRecord& entry = entryForStore();
    state_.hour = hour;
    state_.minute = minute;
    if (edition_.dates_as_year) {
      entry.year = year;
    } else {
      entry.*time_text = line_.columns(o_file::kPeriodTimeText);
    }
    fraction = dayFraction(state_.hour, state_.minute);
    writeFreeForm(console_, echo_title);
    writeFreeFormReal(console_, fraction);
  }

  // Most lines of the section fail at the keyword's first letter.
  bool isRatioLine() const { return line_.holds(edition_.ratio_line.keyword); }

  void readRatioLine() {
    noteSectionItem(ReportItem::kRatio);
    BaselineRecord& entry = entryForStore();
    if (edition_.ratio_echo) writeFreeForm(console_, " Fixed solution :");
    const double ratio = realField(edition_.ratio_line.ratio);
    state_.ratio = ratio;
    entry.ratio = ratio;
    if (edition_.ratio_echo) {
      writeFreeForm(console_, " Integer Research Ratio :");
      writeFreeFormReal(console_, ratio);
    }
  }

  void storeSigma(double& carried, double BaselineRecord::*stored) {
    const double sigma = realField(o_file::kSigma);
    carried = sigma;
    entryForStore().*stored = sigma;
  }

  void readVectorLine() {
    const double dx = realField(o_file::kVector[0]);
    const double dy = realField(o_file::kVector[1]);
    const double dz = realField(o_file::kVector[2]);
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
    const double x = realField(o_file::kCoordinates[0]);
    const double y = realField(o_file::kCoordinates[1]);
    const double z = realField(o_file::kCoordinates[2]);
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
    const std::optional<double> r_xy = line_.realFieldIfReadable(o_file::kFirstCorrelation);
    if (!r_xy) return;
    entryForStore().cov_xy = *r_xy * state_.sigma_y * state_.sigma_x;
  }

  void readXZAndYZCorrelations() {
    const std::optional<double> r_xz = line_.realFieldIfReadable(o_file::kFirstCorrelation);
    const std::optional<double> r_yz = line_.realFieldIfReadable(o_file::kSecondCorrelation);
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
      notice_(file_system_name_);
      warned_of_scratch_stores_ = true;
    }
    return table_.current_entry();
  }

  std::int32_t integerField(o_file::Columns field) const {
    return line_.integerField(field, file_system_name_);
  }

  double realField(o_file::RealColumns field) const {
    return line_.realField(field, file_system_name_);
  }

  LineReader& lines_;
  ReportLine line_;
  ReportPart part_ = ReportPart::kMain;
  bool warned_of_scratch_stores_ = false;
  // What the current report gave so far (see openEntry).
  bool entry_opened_here_ = false;
  bool short_name_read_ = false;
  SectionItemsSeen section_items_;
  std::string_view report_file_name_;
  std::string_view file_system_name_;
  BaselineTable& table_;
  ReportScanState& state_;
  const ReadingEdition& edition_;
  RecordSink& console_;
  const DataBeforeHeaderNotice& notice_;
};

}  // namespace

void scan_report(LineReader& report, std::string_view report_file_name,
                 std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                 const ReadingEdition& edition, RecordSink& console) {
  scan_report(report, report_file_name, file_system_name, table, state, edition, console,
              [&console](std::string_view name) {
                writeFreeForm(console, " -> Attention : donnees avant la ligne GPS ignorees : " +
                                           std::string(name));
              });
}

void scan_report(LineReader& report, std::string_view report_file_name,
                 std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                 const ReadingEdition& edition, RecordSink& console,
                 const DataBeforeHeaderNotice& notice) {
  ReportScanner(report, report_file_name, file_system_name, table, state, edition, console, notice)
      .scan();
}

void scan_report(std::istream& report, std::string_view report_file_name,
                 std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                 const ReadingEdition& edition, RecordSink& console) {
  LineReader lines(report, "O-file " + std::string(file_system_name));
  scan_report(lines, report_file_name, file_system_name, table, state, edition, console);
}

void scan_report(std::istream& report, std::string_view report_file_name,
                 std::string_view file_system_name, BaselineTable& table, ReportScanState& state,
                 const ReadingEdition& edition, RecordSink& console,
                 const DataBeforeHeaderNotice& notice) {
  LineReader lines(report, "O-file " + std::string(file_system_name));
  scan_report(lines, report_file_name, file_system_name, table, state, edition, console, notice);
}

}  // namespace velk

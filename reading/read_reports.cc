#include "reading/read_reports.h"

#include <filesystem>
#include <optional>
#include <string>

#include "format/fixed_text.h"
#include "reading/line_reader.h"
#include "reading/number_field.h"
#include "reading/report_items.h"
#include "reading/report_line.h"

namespace velk {
namespace {

// What one solution section of a report gave.
struct SectionValues {
  std::optional<double> sigma_x, sigma_y, sigma_z;
  double r_xy = 0, r_xz = 0, r_yz = 0;
  std::optional<Cartesian> vector, mark1, mark2;
  std::optional<LocalENU> local;
  std::optional<double> integer_ratio, ratio_equals;
};

// A station block: its short name and description, then the line that says which
// station of the baseline it is.
struct StationBlock {
  std::optional<std::string> name;
  std::string description;
};

enum class Section { kNone, kFloat, kFixed };

// One O-file, report by report.
class SeparateReportReader {
 public:
  SeparateReportReader(std::string_view path, std::vector<Report>& reports,
                       const std::function<void(std::string_view)>& notice)
      : path_(path),
        file_(std::filesystem::path(path).filename().string()),
        reports_(reports),
        notice_(notice) {}

  void read(LineReader& lines) {
    line_.numberedBy(lines);
    std::string_view text;
    while (lines.next(text)) {
      line_.assign(text);
      readLine();
    }
    finishReport();
  }

 private:
  void readLine() {
    const MainLine kind = classifyMainLine(line_);
    if (kind == MainLine::kReportHeader) {
      startReport();
    } else if (!report_) {
      passOverLineBeforeHeader();
    } else if (kind == MainLine::kFloatSection || kind == MainLine::kFixedSection) {
      enterSection(kind == MainLine::kFixedSection ? Section::kFixed : Section::kFloat);
    } else if (section_ != Section::kNone) {
      readSectionLine();
    } else {
      readMainLine(kind);
    }
  }

  void startReport() {
    finishReport();
    report_.emplace();
    report_->file = file_;
    report_->path = path_;
    report_->header_line = line_.number();
    section_ = Section::kNone;
    float_.reset();
    fixed_.reset();
    start_.reset();
    end_.reset();
    block_ = {};
    fixed_block_.reset();
    unknown_block_.reset();
  }

  void passOverLineBeforeHeader() {
    if (told_of_lines_before_header_) return;
    notice_(path_ + ": lines before the first report header passed over");
    told_of_lines_before_header_ = true;
  }

  void enterSection(Section section) {
    section_ = section;
    // A second section of a kind replaces the first: values are never mixed.
    (section == Section::kFixed ? fixed_ : float_).emplace();
  }

  SectionValues& currentSection() { return section_ == Section::kFixed ? *fixed_ : *float_; }

  void readMainLine(MainLine kind) {
    switch (kind) {
      case MainLine::kDay:
        line_.integerField(o_file::kDayNumber, path_);  // checked as the dialog checks it, not kept
        return;
      case MainLine::kShortName:
        block_ = {withoutTrailingBlanks(line_.columns(o_file::kShortName)), {}};
        return;
      case MainLine::kFixedStation:
        fixed_block_ = block_;
        return;
      case MainLine::kUnknownStation:
        unknown_block_ = block_;
        return;
      case MainLine::kEpochToProcess:
        line_.realField(o_file::kEpochToProcess, path_);
        return;
      case MainLine::kCommonStart:
        start_ = readPeriodLine();
        return;
      case MainLine::kCommonEnd:
        end_ = readPeriodLine();
        return;
      case MainLine::kEpochInterval:
        line_.realField(o_file::kEpochInterval, path_);
        return;
      case MainLine::kOther:
        if (line_.holds(o_file::kStationDescriptionKeyword))
          block_.description = withoutTrailingBlanks(line_.columns(o_file::kStationDescription));
        return;
      case MainLine::kReportHeader:
      case MainLine::kFloatSection:
      case MainLine::kFixedSection:
        return;  // handled before
    }
  }

  // "Common start   (GPS time) : 2017-03-23 07:09:00": the year, hour and minute are the
  // fields the dialog reads (an unreadable one ends the run as there); a date that does
  // not read as a whole is no date.
  std::optional<PeriodBound> readPeriodLine() const {
    line_.integerField(o_file::kPeriodHour, path_);
    line_.integerField(o_file::kPeriodMinute, path_);
    line_.integerField(o_file::kPeriodYear, path_);
    return readPeriodBound(line_);
  }

  void readSectionLine() {
    SectionValues& section = currentSection();
    // Most section lines fail at a keyword's first letter. A report of either edition is
    // read, so both ratio lines are looked for.
    if (line_.holds(o_file::kIntegerRatioLine.keyword)) {
      section.integer_ratio = line_.realField(o_file::kIntegerRatioLine.ratio, path_);
      return;
    }
    if (line_.holds(o_file::kRatioEqualsLine.keyword)) {
      section.ratio_equals = line_.realField(o_file::kRatioEqualsLine.ratio, path_);
      return;
    }
    switch (classifySectionLine(line_)) {
      case SectionLine::kSigmaX:
        section.sigma_x = line_.realField(o_file::kSigma, path_);
        return;
      case SectionLine::kSigmaY:
        section.sigma_y = line_.realField(o_file::kSigma, path_);
        return;
      case SectionLine::kSigmaZ:
        section.sigma_z = line_.realField(o_file::kSigma, path_);
        return;
      case SectionLine::kVector:
        section.vector = Cartesian{line_.realField(o_file::kVector[0], path_),
                                   line_.realField(o_file::kVector[1], path_),
                                   line_.realField(o_file::kVector[2], path_)};
        return;
      case SectionLine::kMark1:
        section.mark1 = coordinates();
        return;
      case SectionLine::kMark2:
        section.mark2 = coordinates();
        section_ = Section::kNone;
        return;
      case SectionLine::kLocal: {
        const Cartesian enu = coordinates();
        section.local = LocalENU{enu.x, enu.y, enu.z};
        return;
      }
      case SectionLine::kCorrelationY:
        // A "y" or "z" line whose fields are not numbers is some other line.
        if (const auto r = line_.realFieldIfReadable(o_file::kFirstCorrelation)) section.r_xy = *r;
        return;
      case SectionLine::kCorrelationZ: {
        const auto r_xz = line_.realFieldIfReadable(o_file::kFirstCorrelation);
        const auto r_yz = line_.realFieldIfReadable(o_file::kSecondCorrelation);
        if (r_xz && r_yz) {
          section.r_xz = *r_xz;
          section.r_yz = *r_yz;
        }
        return;
      }
      case SectionLine::kOtherSigma:
      case SectionLine::kOther:
        return;
    }
  }

  Cartesian coordinates() const {
    return {line_.realField(o_file::kCoordinates[0], path_),
            line_.realField(o_file::kCoordinates[1], path_),
            line_.realField(o_file::kCoordinates[2], path_)};
  }

  void finishReport() {
    if (!report_) return;
    Report& report = *report_;
    takeStations(report);
    takeSolution(report);
    takePeriod(report);
    reports_.push_back(std::move(report));
    report_.reset();
  }

  void takeStations(Report& report) const {
    if (fixed_block_ && fixed_block_->name) {
      report.fixed_station = *fixed_block_->name;
      report.fixed_description = fixed_block_->description;
    }
    if (unknown_block_ && unknown_block_->name) {
      report.unknown_station = *unknown_block_->name;
      report.unknown_description = unknown_block_->description;
    }
    if (!isUsableStationName(report.fixed_station) || !isUsableStationName(report.unknown_station))
      report.markMissing(ReportItem::kNames);
  }

  // The whole solution from one section: the fixed one if the report has it.
  void takeSolution(Report& report) const {
    report.fixed = fixed_.has_value();
    const SectionValues none;
    const SectionValues& section = fixed_ ? *fixed_ : float_ ? *float_ : none;
    if (section.vector) report.vector = *section.vector; else report.markMissing(ReportItem::kVector);
    if (section.sigma_x && section.sigma_y && section.sigma_z) {
      report.sigma_x = *section.sigma_x;
      report.sigma_y = *section.sigma_y;
      report.sigma_z = *section.sigma_z;
      report.r_xy = section.r_xy;
      report.r_xz = section.r_xz;
      report.r_yz = section.r_yz;
    } else {
      report.markMissing(ReportItem::kSigmas);
    }
    if (section.mark1) report.mark1 = *section.mark1; else report.markMissing(ReportItem::kMark1);
    if (section.mark2) report.mark2 = *section.mark2; else report.markMissing(ReportItem::kMark2);
    if (section.local) report.local = *section.local; else report.markMissing(ReportItem::kLocal);
    if (section.integer_ratio) {
      report.ratio = *section.integer_ratio;
    } else if (section.ratio_equals) {
      report.ratio = *section.ratio_equals;
    } else {
      report.markMissing(ReportItem::kRatio);
    }
  }

  void takePeriod(Report& report) const {
    if (!start_ || !*start_ || !end_ || !*end_) {
      report.markMissing(ReportItem::kDate);
      return;
    }
    const PeriodBound& start = **start_;
    const PeriodBound& end = **end_;
    report.start_date = start.date;
    report.start_mjd = modifiedJulianDate(start.date, start.seconds_of_day);
    report.end_mjd = modifiedJulianDate(end.date, end.seconds_of_day);
    // A period over midnight whose end line repeats the start's date.
    if (report.end_mjd < report.start_mjd) report.end_mjd += 1.0;
  }

  std::string path_;
  std::string file_;
  std::vector<Report>& reports_;
  const std::function<void(std::string_view)>& notice_;
  ReportLine line_;
  bool told_of_lines_before_header_ = false;

  // The report being read.
  std::optional<Report> report_;
  Section section_ = Section::kNone;
  std::optional<SectionValues> float_, fixed_;
  std::optional<std::optional<PeriodBound>> start_, end_;  // line seen; its date read
  StationBlock block_;
  std::optional<StationBlock> fixed_block_, unknown_block_;
};

}  // namespace

void read_reports(LineReader& in, std::string_view path, std::vector<Report>& reports,
                  const std::function<void(std::string_view)>& notice) {
  SeparateReportReader(path, reports, notice).read(in);
}

void read_reports(std::istream& in, std::string_view path, std::vector<Report>& reports,
                  const std::function<void(std::string_view)>& notice) {
  LineReader lines(in, "O-file " + std::string(path));
  read_reports(lines, path, reports, notice);
}

}  // namespace velk

#include "plot/log_file.h"

#include <string_view>

#include "reading/line_reader.h"
#include "format/run_error.h"
#include "reading/number_field.h"

namespace velk::plot {
namespace {

// A field by its first and last columns, counted from 1 as the layouts give them; the
// columns past the end of a line (trailing blanks trimmed) read as blanks.
std::string_view columns(std::string_view line, std::size_t first, std::size_t last) {
  if (line.size() < first) return {};
  return line.substr(first - 1, std::min(last, line.size()) - (first - 1));
}

bool isBlank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

std::string trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// The columns of the components, their sigmas, the length and sigma3D: (first, last) of
// each F10.3 and of the F5.3 after it.
struct ValueColumns {
  std::size_t epoch_first, epoch_last;
  std::array<std::size_t, 4> value_first;  // F10.3 each; its F5.3 follows at +10
};
constexpr ValueColumns kNovraleColumns{6, 12, {14, 30, 46, 62}};
constexpr ValueColumns kQuelmarColumns{1, 7, {10, 26, 42, 58}};

// The layout a line has, judged by the columns that only it fills: the point of the epoch
// (column 9 after a year, column 4 without) and, for quelmar, the "%" of column 86.
std::optional<LogLayout> layoutOf(std::string_view line) {
  const auto at = [&](std::size_t column) { return line.size() >= column ? line[column - 1] : ' '; };
  if (at(4) == '.' && at(86) == '%') return LogLayout::kQuelmar;
  if (at(9) == '.' && at(5) == ' ' && at(78) == 'F') return LogLayout::kNovrale;
  return std::nullopt;
}

// Every record starts with a number that is never negative (the year or the epoch); the
// notices that a LOG file may hold start with a blank and a dash.
bool looksLikeRecord(std::string_view line) {
  const std::size_t first = line.find_first_not_of(' ');
  if (first == std::string_view::npos) return false;
  return (line[first] >= '0' && line[first] <= '9') || line[first] == '.';
}

class RecordReader {
 public:
  RecordReader(std::string_view line, long number, const std::string& path)
      : line_(line), number_(number), path_(path) {}

  double real(std::size_t first, std::size_t last, std::string_view what) const {
    const std::string_view field = columns(line_, first, last);
    const std::optional<double> value = readRealField(field, 3);
    if (!value || isBlank(field)) fail(std::string(what) + " '" + std::string(field) + "' does not read");
    return *value;
  }

  bool fixed(std::size_t first, std::size_t last) const {
    const std::string kind = trimmed(columns(line_, first, last));
    if (kind == "Fx" || kind == "Fx.") return true;
    if (kind == "Fl" || kind == "Fl.") return false;
    fail("solution kind '" + kind + "' is neither Fx nor Fl");
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw RunError(path_ + " line " + std::to_string(number_) + ": " + what);
  }

  std::string_view line() const { return line_; }

 private:
  std::string_view line_;
  long number_;
  const std::string& path_;
};

void readValues(const RecordReader& reader, const ValueColumns& layout, LogRecord& record) {
  static constexpr std::array<std::string_view, 4> kNames{"first component", "second component",
                                                          "third component", "length"};
  record.epoch = reader.real(layout.epoch_first, layout.epoch_last, "epoch");
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t first = layout.value_first[i];
    const double value = reader.real(first, first + 9, kNames[i]);
    const double sigma = reader.real(first + 10, first + 14, std::string(kNames[i]) + "'s sigma");
    if (i < 3) {
      record.components[i] = value;
      record.sigmas[i] = sigma;
    } else {
      record.length = value;
      record.sigma3d = sigma;
    }
  }
}

LogRecord novraleRecord(const RecordReader& reader) {
  LogRecord record;
  const std::optional<std::int32_t> year = readIntegerField(columns(reader.line(), 1, 4));
  if (!year || isBlank(columns(reader.line(), 1, 4))) reader.fail("the year does not read");
  record.year = *year;
  readValues(reader, kNovraleColumns, record);
  record.fixed = reader.fixed(78, 79);
  record.tag = std::string(columns(reader.line(), 85, 92));
  record.tag.resize(8, ' ');
  if (!componentsOfTag(record.tag)) reader.fail("tag '" + record.tag + "' is not a LOG type's");
  record.station = trimmed(columns(reader.line(), 94, 97));
  return record;
}

LogRecord quelmarRecord(const RecordReader& reader) {
  LogRecord record;
  readValues(reader, kQuelmarColumns, record);
  record.fixed = reader.fixed(75, 78);
  return record;
}

}  // namespace

std::optional<LogSeriesFrame> componentsOfTag(const std::string& tag) {
  if (tag == "v.gpps /" || tag == "v.local/") return LogSeriesFrame::kLocal;
  if (tag == "v.geoc /") return LogSeriesFrame::kGeocentric;
  return std::nullopt;
}

LogFile readLogFile(LineReader& lines, const std::string& path) {
  LogFile file;
  std::string line;
  bool first = true;
  while (lines.next(line)) {
    if (!looksLikeRecord(line)) continue;
    const RecordReader reader(line, lines.lineNumber(), path);
    const std::optional<LogLayout> layout = layoutOf(line);
    if (!layout) reader.fail("a record of neither LOG layout");
    if (first) {
      file.layout = *layout;
      first = false;
    } else if (*layout != file.layout) {
      reader.fail("a record of the other edition's layout");
    }
    LogRecord record = *layout == LogLayout::kNovrale ? novraleRecord(reader) : quelmarRecord(reader);
    record.line = lines.lineNumber();
    file.records.push_back(std::move(record));
  }
  return file;
}

}  // namespace velk::plot

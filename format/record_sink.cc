#include "format/record_sink.h"

#include <string>

#include "format/run_error.h"

namespace velk {

void writeRecord(RecordSink& sink, const RecordLayout& layout,
                 std::initializer_list<FieldValue> values) {
  sink.put(formatRecord(layout, values));
}

void writeRecord(RecordSink& sink, const RecordLayout& layout, std::span<const FieldValue> values) {
  sink.put(formatRecord(layout, values));
}

void writeFreeForm(RecordSink& sink, std::string_view text) {
  sink.put(formatFreeForm(text));
}

void writeFreeFormReal(RecordSink& sink, double value) {
  sink.put(formatFreeFormReal(value));
}

// The advance is made before the record; the very first output of the run has no line
// to end yet, so it loses one line feed.
void Console::put(std::string_view record) {
  const char control = record.empty() ? ' ' : record.front();
  std::string_view advance;
  switch (control) {
    case '0':
      advance = "\n\n";
      break;
    case '1':
      advance = "\n\f";
      break;
    case '+':
      advance = "\r";
      break;
    default:
      advance = "\n";
  }
  if (!started_ && advance.front() == '\n') advance.remove_prefix(1);
  started_ = true;
  out_ << advance;
  if (!record.empty()) out_ << record.substr(1);
}

void Console::putRaw(std::string_view text) {
  started_ = true;
  out_ << text;
}

std::optional<std::string> Console::readLine() {
  flush();
  std::string line;
  if (!std::getline(in_, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void Console::flush() {
  out_.flush();
  if (!out_) throw RunError("cannot write to standard output");
}

bool LineReader::next(std::string& line) {
  if (!std::getline(in_, line)) return false;
  ++line_number_;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace velk

#include "format/record_sink.h"

#include <string>

#include "format/run_error.h"

namespace velk {

void writeRecord(RecordSink& sink, const RecordLayout& layout,
                 std::initializer_list<FieldValue> values) {
  writeRecord(sink, layout, std::span<const FieldValue>(values.begin(), values.size()));
}

// Records are formatted into one buffer kept for the whole run: no allocation per record.
void writeRecord(RecordSink& sink, const RecordLayout& layout, std::span<const FieldValue> values) {
  static thread_local std::string line;
  line.clear();
  appendRecord(line, layout, values);
  sink.put(line);
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
  pending_ += advance;
  if (!record.empty()) pending_ += record.substr(1);
  if (pending_.size() >= kFlushSize) writePending();
}

void Console::putRaw(std::string_view text) {
  started_ = true;
  pending_ += text;
  if (pending_.size() >= kFlushSize) writePending();
}

void Console::showPending() noexcept {
  try {
    writePending();
  } catch (...) {
    pending_.clear();  // a stream that throws has nothing more to show
  }
}

void Console::writePending() {
  out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
  pending_.clear();
}

std::optional<std::string> Console::readLine() {
  flush();
  std::string line;
  if (!std::getline(in_, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void Console::flush() {
  writePending();
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

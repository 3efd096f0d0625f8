#include "format/record_sink.h"

#include <cstring>
#include <string>

#include "format/run_error.h"

namespace velk {

// Records of sinks without room of their own are formatted into one buffer kept for the
// whole run (a plain array, which needs no set-up at each use); only a record longer than
// it takes memory of its own.
void writeRecordThroughPut(RecordSink& sink, const RecordLayout& layout,
                           std::span<const FieldValue> values) {
  constexpr std::size_t kRoom = 1024;
  thread_local char room[kRoom];
  const std::size_t widest = widestRecord(layout, values);
  if (widest > kRoom) {
    std::string long_record(widest, ' ');
    const char* end = putRecord(long_record.data(), layout, values);
    sink.put(
        std::string_view(long_record.data(), static_cast<std::size_t>(end - long_record.data())));
    return;
  }
  const char* end = putRecord(room, layout, values);
  sink.put(std::string_view(room, static_cast<std::size_t>(end - room)));
}

void writeFreeForm(RecordSink& sink, std::string_view text) {
  if (char* in_place = sink.roomFor(text.size() + 1)) {
    in_place[0] = ' ';
    std::memcpy(in_place + 1, text.data(), text.size());
    sink.putWritten(in_place + 1 + text.size());
    return;
  }
  char line[128];
  if (text.size() >= sizeof line) {
    sink.put(formatFreeForm(text));
    return;
  }
  line[0] = ' ';
  std::memcpy(line + 1, text.data(), text.size());
  sink.put(std::string_view(line, text.size() + 1));
}

void writeFreeFormReal(RecordSink& sink, double value) {
  char text[kFreeFormRealLength];
  const std::string_view record = formatFreeFormReal(value, text);
  // The record always fills the text: a copy of known size, made without a call.
  if (char* in_place = record.size() == kFreeFormRealLength
                           ? sink.roomFor(kFreeFormRealLength)
                           : nullptr) {
    std::memcpy(in_place, text, kFreeFormRealLength);
    sink.putWritten(in_place + kFreeFormRealLength);
    return;
  }
  sink.put(record);
}

// Room in the pending output for the record and the one character more that its advance
// may take; what is held is shown first when it has no room left, and a record longer than
// the whole buffer gets a buffer of its size.
char* Console::roomFor(std::size_t size) {
  if (pending_size_ + size + 1 > pending_capacity_) {
    writePending();
    if (size + 1 > pending_capacity_) {
      pending_ = std::make_unique_for_overwrite<char[]>(size + 1);
      pending_capacity_ = size + 1;
    }
  }
  return pending_.get() + pending_size_;
}

// The advance is made before the record, in place of its line control character: one
// character replaces it, two move the record one to the right (the room has that character
// more). The very first output of the run has no line to end yet, so it loses one line
// feed.
void Console::putWritten(const char* end) {
  char* const record = pending_.get() + pending_size_;
  const auto size = static_cast<std::size_t>(end - record);
  if (size != 0 && record[0] == ' ' && started_) {  // most records: a new line, in place
    record[0] = '\n';
    pending_size_ += size;
    if (pending_size_ >= kFlushSize) writePending();
    return;
  }
  putWithLineControl(record, size);
}

void Console::putWithLineControl(char* record, std::size_t size) {
  const char control = size == 0 ? ' ' : record[0];
  if (control == '0' || control == '1') {
    std::memmove(record + 2, record + 1, size - 1);
    record[1] = control == '0' ? '\n' : '\f';
    ++size;
  }
  record[0] = control == '+' ? '\r' : '\n';
  if (size == 0) size = 1;
  if (!started_ && record[0] == '\n') {
    std::memmove(record, record + 1, size - 1);
    --size;
  }
  started_ = true;
  pending_size_ += size;
  if (pending_size_ >= kFlushSize) writePending();
}

void Console::put(std::string_view record) {
  char* const room = roomFor(record.size());
  if (!record.empty()) std::memcpy(room, record.data(), record.size());
  putWritten(room + record.size());
}

void Console::putRaw(std::string_view text) {
  char* const room = roomFor(text.size());
  if (!text.empty()) std::memcpy(room, text.data(), text.size());
  started_ = true;
  pending_size_ += text.size();
  if (pending_size_ >= kFlushSize) writePending();
}

void Console::showPending() noexcept {
  try {
    writePending();
  } catch (...) {
    pending_size_ = 0;  // a stream that throws has nothing more to show
  }
}

void Console::writePending() {
  const std::size_t size = pending_size_;
  pending_size_ = 0;
  out_.write(pending_.get(), static_cast<std::streamsize>(size));
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

}  // namespace velk

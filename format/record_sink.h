#pragma once

#include <cstddef>
#include <initializer_list>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "format/record_layout.h"

namespace velk {

// Where records go: the output file or the console.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  virtual void put(std::string_view record) = 0;
  // A record may also be written where the sink keeps it, without a copy: roomFor gives
  // room for up to `size` bytes (nothing when the sink has none, and then the record goes
  // through put), and putWritten takes the record written there, which ends at `end`.
  virtual char* roomFor(std::size_t /*size*/) { return nullptr; }
  virtual void putWritten(const char* /*end*/) {}
};

// writeRecord writes a record where the sink keeps it or, for a sink without room of its
// own, through put (writeRecordThroughPut, out of line). writeRecord itself is inline
// because every record of every report comes through it.
void writeRecordThroughPut(RecordSink& sink, const RecordLayout& layout,
                           std::span<const FieldValue> values);
inline void writeRecord(RecordSink& sink, const RecordLayout& layout,
                        std::span<const FieldValue> values) {
  if (char* in_place = sink.roomFor(widestRecord(layout, values))) {
    sink.putWritten(putRecord(in_place, layout, values));
    return;
  }
  writeRecordThroughPut(sink, layout, values);
}
inline void writeRecord(RecordSink& sink, const RecordLayout& layout,
                        std::initializer_list<FieldValue> values) {
  writeRecord(sink, layout, std::span<const FieldValue>(values.begin(), values.size()));
}
void writeFreeForm(RecordSink& sink, std::string_view text);
void writeFreeFormReal(RecordSink& sink, double value);

// The operator's console: records are shown with line control (the first character
// selects the advance made before the record and is not displayed); output is buffered
// and flushed only before a console read and at the end.
class Console : public RecordSink {
 public:
  Console(std::ostream& out, std::istream& in) : out_(out), in_(in) {}
  // What is still held is shown, whatever the state of the stream.
  ~Console() override { showPending(); }
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  void put(std::string_view record) override;
  char* roomFor(std::size_t size) override;
  void putWritten(const char* end) override;
  // Text shown as it stands, outside any record (the blank-name question).
  void putRaw(std::string_view text);
  // One line of the operator's answer, without its line end and one trailing "\r";
  // nothing once standard input has ended.
  std::optional<std::string> readLine();
  // Throws RunError when standard output can no longer be written.
  void flush();
  // Hands what is held to the stream without checking it (on the way out of a failed run).
  void showPending() noexcept;

 private:
  void writePending();
  // The record at `record` of `size` characters with any line control character, and the
  // run's very first output.
  [[gnu::noinline]] void putWithLineControl(char* record, std::size_t size);

  static constexpr std::size_t kFlushSize = 64 * 1024;
  std::ostream& out_;
  std::istream& in_;
  // Shown at the next flush, or once it is large.
  std::unique_ptr<char[]> pending_ = std::make_unique_for_overwrite<char[]>(kFlushSize);
  std::size_t pending_size_ = 0;
  std::size_t pending_capacity_ = kFlushSize;
  bool started_ = false;
};

}  // namespace velk

#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

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

// A record written where the sink keeps it, or, for a sink without room, through put.
// Inline: every record of every report comes through here.
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

// The line feeds among the 64 bytes at `bytes`: bit i set where bytes[i] is one. Found 16
// bytes at a time where the processor compares them at once (SSE2), else by the word
// arithmetic of the second, which every machine has (and the tests compare them).
std::uint64_t lineFeedMask(const char* bytes);
std::uint64_t lineFeedMaskInWords(const char* bytes);
// The masks of `chunks` chunks of 64 bytes from `bytes` on, 32 bytes at a time on the
// processors that can (AVX2).
void findLineFeedMasks(const char* bytes, std::size_t chunks, std::uint64_t* masks);

// An input text file read line by line (list file, O-files): one trailing "\r" dropped,
// a last line without its line end is still a line. A read that fails before the end of
// the file is a RunError naming the file and the reason, never a silent end.
class LineReader {
 public:
  // Opens a file for reading, in large blocks. Nothing when it cannot be opened or is a
  // folder; `why` then says why. `what` names the kind of file in messages ("O-file"): a
  // literal, kept as it stands.
  static std::optional<LineReader> open(const std::string& path, std::string_view what,
                                        std::error_code& why);
  static std::optional<LineReader> open(const std::string& path, std::string_view what);
  // The lines of a stream (a text in memory, an open file stream); a stream that fails
  // (badbit) is reported as a read error of `name`.
  explicit LineReader(std::istream& in, std::string name = "input");

  // What only open() can make: a file it opened. The reader of that file is made in its
  // place within the optional open() returns, with no move.
  class OpenedFile {
    friend class LineReader;
    explicit OpenedFile(int fd) : fd(fd) {}
    int fd;
  };
  LineReader(OpenedFile file, std::string_view kind, const std::string& path);

  LineReader(LineReader&& other) noexcept;
  LineReader& operator=(LineReader&&) = delete;
  LineReader(const LineReader&) = delete;
  ~LineReader();

  // The next line into `line`; false at the end of the file. Throws RunError when the
  // file cannot be read.
  bool next(std::string& line);
  // The same without a copy: `line` shows the reader's own buffer and stays valid until
  // the next call. A line that lies whole in the block read is found here, inline; the
  // rest (the block's end, streams) takes the longer way.
  bool next(std::string_view& line) {
    while (feeds_ == 0) {
      if (chunk_ + 1 >= chunks_) return nextTheLongerWay(line);
      feeds_ = feed_masks_[++chunk_];
    }
    const std::size_t end = 64 * chunk_ + static_cast<std::size_t>(std::countr_zero(feeds_));
    feeds_ &= feeds_ - 1;
    const char* start = data_ + block_begin_;
    const std::size_t length = end - block_begin_;
    block_begin_ = end + 1;
    ++line_number_;
    // An empty line's "last byte" is the line feed before it (the block has one before
    // its data).
    line = std::string_view(start, length - (start[length - 1] == '\r' ? 1 : 0));
    return true;
  }
  long lineNumber() const { return line_number_; }
  // How messages name the file: "O-file AB082101.017".
  std::string name() const { return kind_.empty() ? path_ : std::string(kind_) + " " + path_; }

 private:
  bool nextTheLongerWay(std::string_view& line);
  bool feedAhead();
  bool readMore();
  void findLineFeeds(std::size_t first_chunk);
  void takeBlock(std::unique_ptr<char[]> block, std::size_t capacity);
  [[noreturn]] void failToRead(const std::string& reason) const;

  std::istream* stream_ = nullptr;
  int fd_ = -1;
  // How the reader is named: the kind of file (a literal, kept as it stands) and its path;
  // the path alone for a stream.
  std::string_view kind_;
  std::string path_;
  std::string stream_line_;  // the current line of a stream
  std::unique_ptr<char[]> block_;
  char* data_ = nullptr;  // the block's bytes, behind a line feed
  std::size_t block_capacity_ = 0;
  std::size_t block_begin_ = 0;  // the unread bytes of the block
  std::size_t block_end_ = 0;
  // The line feeds of the block, found as soon as it is read: one mask for each 64 bytes
  // (bit i standing for byte 64 c + i of chunk c), kept behind the block in its memory.
  // Those of the chunk being read that are not yet taken lie in feeds_.
  std::uint64_t* feed_masks_ = nullptr;
  std::size_t chunks_ = 0;  // the chunks with a mask
  std::size_t chunk_ = 0;
  std::uint64_t feeds_ = 0;
  bool at_end_ = false;
  long line_number_ = 0;
};

}  // namespace velk

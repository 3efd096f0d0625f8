#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace velk {

// An input text file read line by line (list file, O-files): one trailing "\r" dropped,
// a last line without its line end is still a line. A read that fails before the end of
// the file is a RunError naming the file and the reason, never a silent end.
//
// A file is read into one block of memory, 64 KiB at a time, laid out as
//
//   | guard: 64 bytes | data: capacity bytes          | slack: 64 | masks: 8 bytes/chunk |
//   |            ...\n| [block_begin_, block_end_) unread           | one per 64 data bytes |
//                    ^ data_                                       ^ feed_masks_
//
// The guard's last byte is a line feed, so that the byte before a line (looked at for its
// "\r") exists even for an empty line that opens the block. The slack lets the line feeds
// of the last, partial chunk be searched 64 bytes at a time too; the bytes beyond the data
// are masked out. As soon as bytes are read, their line feeds are found, one 64-bit mask
// per chunk of 64 bytes (bit i for byte 64 c + i of chunk c), and kept behind the slack.
// next() then takes the lowest set bit of the current chunk's mask (feeds_), so that a
// line lying whole in the block costs a few instructions and no byte-by-byte search. When
// every line feed found has been taken, the unread bytes move to the front of the block
// and more of the file is read behind them; the block doubles when a line fills it. The
// block of a closed file is kept for the next one, as a campaign opens its O-files one
// after the other.
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
  // The next line without a copy: `line` shows the reader's own buffer and stays valid until
  // the next call. A line that lies whole in the block read is found here, inline (the
  // fast path); the end of the block and streams take nextFromFileOrStream.
  bool next(std::string_view& line) {
    while (feeds_ == 0) {
      if (chunk_ + 1 >= chunks_) return nextFromFileOrStream(line);
      feeds_ = feed_masks_[++chunk_];
    }
    const std::size_t end = 64 * chunk_ + static_cast<std::size_t>(std::countr_zero(feeds_));
    feeds_ &= feeds_ - 1;
    const char* start = data_ + block_begin_;
    const std::size_t length = end - block_begin_;
    block_begin_ = end + 1;
    ++line_number_;
    // The last byte of an empty line is taken to be the line feed before it, which the
    // block's guard provides for a line that opens the block.
    line = std::string_view(start, length - (start[length - 1] == '\r' ? 1 : 0));
    return true;
  }
  long lineNumber() const { return line_number_; }
  // How messages name the file: "O-file AB082101.017".
  std::string name() const { return kind_.empty() ? path_ : std::string(kind_) + " " + path_; }

 private:
  bool nextFromFileOrStream(std::string_view& line);
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

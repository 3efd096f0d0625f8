#include "format/record_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "format/run_error.h"

namespace velk {

void writeRecord(RecordSink& sink, const RecordLayout& layout,
                 std::initializer_list<FieldValue> values) {
  writeRecord(sink, layout, std::span<const FieldValue>(values.begin(), values.size()));
}

// Records are formatted into one buffer kept for the whole run (a plain array, which needs
// no set-up at each use); only a record longer than it takes memory of its own.
void writeRecord(RecordSink& sink, const RecordLayout& layout, std::span<const FieldValue> values) {
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
  sink.put(formatFreeFormReal(value, text));
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
  hold(advance, record.empty() ? record : record.substr(1));
}

void Console::putRaw(std::string_view text) {
  started_ = true;
  hold(text);
}

void Console::hold(std::string_view text, std::string_view more) {
  const std::size_t size = text.size() + more.size();
  if (pending_size_ + size > pending_capacity_) {
    writePending();
    if (size > pending_capacity_) {
      pending_ = std::make_unique<char[]>(size);
      pending_capacity_ = size;
    }
  }
  char* end = pending_.get() + pending_size_;
  if (!text.empty()) std::memcpy(end, text.data(), text.size());
  if (!more.empty()) std::memcpy(end + text.size(), more.data(), more.size());
  pending_size_ += size;
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

namespace {

// Reads of this size keep the system calls few on reports of any length.
constexpr std::size_t kReadBlockSize = 64 * 1024;

}  // namespace

std::optional<LineReader> LineReader::open(const std::string& path, std::string_view what,
                                           std::error_code& why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    why.assign(errno, std::generic_category());
    return std::nullopt;
  }
  // A folder opens, then fails at the first read: it is a file that cannot be opened.
  struct stat status {};
  if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    why.assign(S_ISDIR(status.st_mode) ? EISDIR : errno, std::generic_category());
    ::close(fd);
    return std::nullopt;
  }
  why.clear();
  return LineReader(fd, std::string(what) + " " + path);
}

std::optional<LineReader> LineReader::open(const std::string& path, std::string_view what) {
  std::error_code ignored;
  return open(path, what, ignored);
}

LineReader::LineReader(std::istream& in, std::string name)
    : stream_(&in), name_(std::move(name)) {}

namespace {

// The block of the last file closed, kept for the next: a campaign opens its O-files one
// after the other. A block grown for a very long line is let go.
thread_local std::unique_ptr<char[]> spare_block;

}  // namespace

LineReader::LineReader(int fd, std::string name) : fd_(fd), name_(std::move(name)) {
  block_ = spare_block ? std::move(spare_block)
                       : std::make_unique_for_overwrite<char[]>(kReadBlockSize);
  block_capacity_ = kReadBlockSize;
}

LineReader::LineReader(LineReader&& other) noexcept
    : stream_(other.stream_),
      fd_(other.fd_),
      name_(std::move(other.name_)),
      stream_line_(std::move(other.stream_line_)),
      block_(std::move(other.block_)),
      block_capacity_(other.block_capacity_),
      block_begin_(other.block_begin_),
      block_end_(other.block_end_),
      at_end_(other.at_end_),
      line_number_(other.line_number_) {
  other.fd_ = -1;
}

LineReader::~LineReader() {
  if (fd_ >= 0) ::close(fd_);
  if (block_ && block_capacity_ == kReadBlockSize) spare_block = std::move(block_);
}

bool LineReader::next(std::string& line) {
  std::string_view shown;
  if (!next(shown)) return false;
  line.assign(shown);
  return true;
}

bool LineReader::nextTheLongerWay(std::string_view& line) {
  if (stream_ != nullptr) {
    if (!std::getline(*stream_, stream_line_)) {
      if (stream_->bad()) failToRead("read error");
      return false;
    }
    line = stream_line_;
  } else if (!nextFromFile(line)) {
    return false;
  }
  ++line_number_;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return true;
}

// As getline: up to the next line feed, or to the end of the file when bytes are left.
// The line is shown where it lies in the block; one that runs past the block's end is
// first moved to its front.
bool LineReader::nextFromFile(std::string_view& line) {
  std::size_t searched = block_begin_;  // the bytes before hold no line feed
  for (;;) {
    const char* block = block_.get();
    const void* feed = searched == block_end_
                           ? nullptr
                           : std::memchr(block + searched, '\n', block_end_ - searched);
    if (feed != nullptr) {
      const auto end = static_cast<std::size_t>(static_cast<const char*>(feed) - block);
      line = std::string_view(block + block_begin_, end - block_begin_);
      block_begin_ = end + 1;
      return true;
    }
    searched = block_end_;
    if (!readMore(searched)) {
      if (block_begin_ == block_end_) return false;
      line = std::string_view(block_.get() + block_begin_, block_end_ - block_begin_);
      block_begin_ = block_end_;
      return true;
    }
  }
}

// Reads more of the file behind the unread bytes, which are first moved to the front of
// the block (the block doubles when they fill it); `searched` follows them. False at the
// end of the file.
bool LineReader::readMore(std::size_t& searched) {
  if (at_end_) return false;
  const std::size_t unread = block_end_ - block_begin_;
  if (block_begin_ > 0) {
    std::memmove(block_.get(), block_.get() + block_begin_, unread);
    searched -= block_begin_;
    block_begin_ = 0;
    block_end_ = unread;
  }
  if (block_end_ == block_capacity_) {
    std::unique_ptr<char[]> larger(new char[2 * block_capacity_]);
    std::memcpy(larger.get(), block_.get(), block_end_);
    block_ = std::move(larger);
    block_capacity_ *= 2;
  }
  for (;;) {
    const ssize_t got = ::read(fd_, block_.get() + block_end_, block_capacity_ - block_end_);
    if (got > 0) {
      block_end_ += static_cast<std::size_t>(got);
      return true;
    }
    if (got == 0) {
      at_end_ = true;
      return false;
    }
    if (errno != EINTR) failToRead(std::strerror(errno));
  }
}

void LineReader::failToRead(const std::string& reason) const {
  throw RunError("cannot read " + name_ + ": " + reason);
}

}  // namespace velk

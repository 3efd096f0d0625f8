#include "reading/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "format/run_error.h"
#include "reading/line_feeds.h"

namespace velk {

namespace {

// The parts of a block, drawn in the class comment of LineReader. Reads of 64 KiB keep the
// system calls few on reports of any length; a guard of 64 bytes keeps the data and the
// masks aligned.
constexpr std::size_t kReadBlockSize = 64 * 1024;
constexpr std::size_t kBlockGuard = 64;
constexpr std::size_t kBlockSlack = 64;
std::size_t chunksOf(std::size_t bytes) { return (bytes + 63) / 64; }

std::unique_ptr<char[]> newBlock(std::size_t capacity) {
  // Left as it comes: the bytes past the data are read only to be masked out.
  auto block = std::make_unique_for_overwrite<char[]>(
      kBlockGuard + capacity + kBlockSlack + chunksOf(capacity) * sizeof(std::uint64_t));
  block[kBlockGuard - 1] = '\n';
  return block;
}

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
  return std::optional<LineReader>(std::in_place, OpenedFile(fd), what, path);
}

std::optional<LineReader> LineReader::open(const std::string& path, std::string_view what) {
  std::error_code ignored;
  return open(path, what, ignored);
}

LineReader::LineReader(std::istream& in, std::string name)
    : stream_(&in), path_(std::move(name)) {}

namespace {

// The block of the last file closed, kept for the next: a campaign opens its O-files one
// after the other. A block grown for a very long line is let go.
thread_local std::unique_ptr<char[]> spare_block;

}  // namespace

LineReader::LineReader(OpenedFile file, std::string_view kind, const std::string& path)
    : fd_(file.fd), kind_(kind), path_(path) {
  takeBlock(spare_block ? std::move(spare_block) : newBlock(kReadBlockSize), kReadBlockSize);
}

void LineReader::takeBlock(std::unique_ptr<char[]> block, std::size_t capacity) {
  block_ = std::move(block);
  data_ = block_.get() + kBlockGuard;
  block_capacity_ = capacity;
  feed_masks_ = reinterpret_cast<std::uint64_t*>(data_ + capacity + kBlockSlack);
}

LineReader::LineReader(LineReader&& other) noexcept
    : stream_(other.stream_),
      fd_(other.fd_),
      kind_(other.kind_),
      path_(std::move(other.path_)),
      stream_line_(std::move(other.stream_line_)),
      block_(std::move(other.block_)),
      data_(other.data_),
      block_capacity_(other.block_capacity_),
      block_begin_(other.block_begin_),
      block_end_(other.block_end_),
      feed_masks_(other.feed_masks_),
      chunks_(other.chunks_),
      chunk_(other.chunk_),
      feeds_(other.feeds_),
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

// The slow path of next(), for streams and for files whose line feeds found so far are all
// taken. The file is read on until a line feed is found (the line then taken as next() takes it), or to its end, where
// bytes left are a last line without its end.
bool LineReader::nextFromFileOrStream(std::string_view& line) {
  if (stream_ != nullptr) {
    if (!std::getline(*stream_, stream_line_)) {
      if (stream_->bad()) failToRead("read error");
      return false;
    }
    line = stream_line_;
  } else {
    while (readMore())
      if (feedAhead()) return next(line);
    if (block_begin_ == block_end_) return false;
    line = std::string_view(data_ + block_begin_, block_end_ - block_begin_);
    block_begin_ = block_end_;
  }
  ++line_number_;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return true;
}

// Whether a line feed is left among those found, feeds_ then holding it.
bool LineReader::feedAhead() {
  while (feeds_ == 0 && chunk_ + 1 < chunks_) feeds_ = feed_masks_[++chunk_];
  return feeds_ != 0;
}

// Reads more of the file behind the unread bytes, which are first moved to the front of
// the block (the block doubles when they fill it), and finds the line feeds of what was
// read. False at the end of the file. Called when every line feed found has been taken,
// so the unread bytes hold none.
bool LineReader::readMore() {
  if (at_end_) return false;
  const std::size_t unread = block_end_ - block_begin_;
  if (block_begin_ > 0) {
    std::memmove(data_, data_ + block_begin_, unread);
    block_begin_ = 0;
    block_end_ = unread;
  }
  if (block_end_ == block_capacity_) {
    std::unique_ptr<char[]> larger = newBlock(2 * block_capacity_);
    std::memcpy(larger.get() + kBlockGuard, data_, block_end_);
    takeBlock(std::move(larger), 2 * block_capacity_);
  }
  for (;;) {
    const ssize_t got = ::read(fd_, data_ + block_end_, block_capacity_ - block_end_);
    if (got > 0) {
      const std::size_t first_chunk = block_end_ / 64;
      block_end_ += static_cast<std::size_t>(got);
      findLineFeeds(first_chunk);
      return true;
    }
    if (got == 0) {
      at_end_ = true;
      return false;
    }
    if (errno != EINTR) failToRead(std::strerror(errno));
  }
}

// The masks of the chunks from `first_chunk` to the end of the data, which become the
// ones read next.
void LineReader::findLineFeeds(std::size_t first_chunk) {
  chunks_ = chunksOf(block_end_);
  findLineFeedMasks(data_ + 64 * first_chunk, chunks_ - first_chunk,
                    feed_masks_ + first_chunk);
  if (const std::size_t last = block_end_ % 64; last != 0)
    feed_masks_[chunks_ - 1] &= (std::uint64_t{1} << last) - 1;
  chunk_ = first_chunk;
  feeds_ = feed_masks_[first_chunk];
}

void LineReader::failToRead(const std::string& reason) const {
  throw RunError("cannot read " + name() + ": " + reason);
}

}  // namespace velk

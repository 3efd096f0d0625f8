#include "format/record_sink.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

namespace {

// Reads of this size keep the system calls few on reports of any length.
constexpr std::size_t kReadBlockSize = 64 * 1024;
// A block has 64 bytes more than it holds, so that the line feeds of its last bytes are
// looked for 64 at a time too (the bytes beyond the data are left out of the mask), then
// room for the masks of its chunks.
constexpr std::size_t kBlockSlack = 64;
std::size_t chunksOf(std::size_t bytes) { return (bytes + 63) / 64; }

// The data of a block has a line feed before it, so that a line's last byte can be looked
// at (for its "\r") even when the line is empty and opens the block; 64 bytes keep the data
// and the masks aligned.
constexpr std::size_t kBlockGuard = 64;

std::unique_ptr<char[]> newBlock(std::size_t capacity) {
  // Left as it comes: the bytes past the data are read only to be masked out.
  auto block = std::make_unique_for_overwrite<char[]>(
      kBlockGuard + capacity + kBlockSlack + chunksOf(capacity) * sizeof(std::uint64_t));
  block[kBlockGuard - 1] = '\n';
  return block;
}

}  // namespace

std::uint64_t lineFeedMaskInWords(const char* bytes) {
  constexpr std::uint64_t kFeeds = 0x0a0a0a0a0a0a0a0aULL;
  constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
  std::uint64_t mask = 0;
  for (int word = 0; word < 8; ++word) {
    std::uint64_t chunk;
    std::memcpy(&chunk, bytes + 8 * word, 8);
    if constexpr (std::endian::native == std::endian::big) chunk = __builtin_bswap64(chunk);
    const std::uint64_t x = chunk ^ kFeeds;  // a zero byte where the line feeds are
    // The high bit of each byte set exactly where the byte is zero (no carries between
    // bytes), then gathered into the low 8 bits.
    const std::uint64_t zeros = ~(((x & kLow7) + kLow7) | x | kLow7);
    mask |= ((zeros >> 7) * 0x0102040810204080ULL >> 56) << (8 * word);
  }
  return mask;
}

std::uint64_t lineFeedMask(const char* bytes) {
#if defined(__SSE2__)
  const __m128i feed = _mm_set1_epi8('\n');
  std::uint64_t mask = 0;
  for (int part = 0; part < 4; ++part) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
    mask |= static_cast<std::uint64_t>(
                static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, feed))))
            << (16 * part);
  }
  return mask;
#else
  return lineFeedMaskInWords(bytes);
#endif
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] void findLineFeedMasksWithAvx2(const char* bytes, std::size_t chunks,
                                                       std::uint64_t* masks) {
  const __m256i feed = _mm256_set1_epi8('\n');
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, bytes += 64) {
    const auto low = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes)), feed)));
    const auto high = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32)), feed)));
    masks[chunk] = low | static_cast<std::uint64_t>(high) << 32;
  }
}
#endif

void findLineFeedMasks(const char* bytes, std::size_t chunks, std::uint64_t* masks) {
#if defined(__x86_64__)
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  if (has_avx2) {
    findLineFeedMasksWithAvx2(bytes, chunks, masks);
    return;
  }
#endif
  for (std::size_t chunk = 0; chunk < chunks; ++chunk) masks[chunk] = lineFeedMask(bytes + 64 * chunk);
}

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

// Streams, and files whose line feeds found so far are all taken: the file is read on
// until a line feed is found (the line then taken as next() takes it), or to its end, where
// bytes left are a last line without its end.
bool LineReader::nextTheLongerWay(std::string_view& line) {
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

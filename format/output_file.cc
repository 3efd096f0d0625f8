#include "format/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "format/run_error.h"

namespace velk {
namespace {

// Large enough that writing a file costs a few system calls per megabyte.
constexpr std::size_t kBufferSize = 64 * 1024;
// The hidden name keeps this much of the output's name, so that it stays within the
// 255 bytes a name may have.
constexpr std::size_t kNameKeptInTemporary = 200;
constexpr int kNameAttempts = 100;

// A file-size limit must be a failed write that the run reports (and cleans up after),
// not a signal that ends the process before it can.
void ignoreFileSizeSignal() {
  static const bool ignored = (std::signal(SIGXFSZ, SIG_IGN), true);
  (void)ignored;
}

bool namedTemporaryForced() {
  const char* value = std::getenv(OutputFile::kNamedTemporarySwitch);
  return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

std::string randomSuffix() {
  static std::mt19937_64 engine = [] {
    std::seed_seq seed{static_cast<std::uint64_t>(::getpid()),
                       static_cast<std::uint64_t>(
                           std::chrono::steady_clock::now().time_since_epoch().count()),
                       static_cast<std::uint64_t>(std::random_device{}())};
    return std::mt19937_64(seed);
  }();
  static constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix(6, ' ');
  for (char& c : suffix) c = kAlphabet[engine() % kAlphabet.size()];
  return suffix;
}

std::string inFolder(const std::string& folder, std::string_view entry) {
  return folder + "/" + std::string(entry);
}

// Hidden temporaries of `name` whose writer has gone (a killed run): every writer holds a
// lock on its temporary for as long as it lives, so one that can be locked is left over.
void removeStaleTemporaries(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::string prefix = OutputFile::temporaryPrefix(name);
  while (const dirent* entry = ::readdir(dir)) {
    if (std::string_view(entry->d_name).substr(0, prefix.size()) != prefix) continue;
    const int fd = ::openat(::dirfd(dir), entry->d_name,
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlinkat(::dirfd(dir), entry->d_name, 0);
    ::close(fd);
  }
  ::closedir(dir);
}

bool sameFile(const struct stat& status, dev_t device, ino_t inode) {
  return status.st_dev == device && status.st_ino == inode;
}

// A folder's own flush, where the file system offers none, is not a failure of the run.
bool folderFlushUnsupported(int error) {
  return error == EINVAL || error == ENOTSUP;
}

void syncFolder(const std::string& folder, const std::string& path) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int error = fd < 0 ? errno : ::fsync(fd) == 0 ? 0 : errno;
  if (fd >= 0) ::close(fd);
  if (error != 0 && !folderFlushUnsupported(error))
    throw RunError("cannot flush the folder of the output file " + path + ": " +
                   std::strerror(error));
}

}  // namespace

std::string OutputFile::temporaryPrefix(std::string_view name) {
  return "." + std::string(name.substr(0, kNameKeptInTemporary)) + ".velk-tmp-";
}

OutputFile::OutputFile(std::string path, bool replaces)
    : path_(std::move(path)), replaces_(replaces) {
  const std::size_t slash = path_.rfind('/');
  folder_ = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
  name_ = slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

std::optional<OutputFile> OutputFile::create(const std::string& path) {
  ignoreFileSizeSignal();
  OutputFile file(path, false);
  if (file.name_.empty()) return std::nullopt;
  // O_EXCL: the open itself fails when the name exists, so no other program's file is
  // ever touched, even one created between a check and the open. The reservation stays
  // open so that its inode cannot be freed and given to another file of that name, which
  // the check at commit could not tell from ours.
  file.reservation_fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (file.reservation_fd_ < 0) return std::nullopt;
  if (const int error = file.openTemporary()) {
    file.discard();  // the reservation goes
    errno = error;
    return std::nullopt;
  }
  return file;
}

OutputFile OutputFile::replace(const std::string& path) {
  ignoreFileSizeSignal();
  OutputFile file(path, true);
  // A replace killed at the moment of its rename leaves its temporary under a hidden name.
  if (!file.name_.empty()) removeStaleTemporaries(file.folder_, file.name_);
  if (const int error = file.openTemporary())
    throw RunError("cannot create a file beside " + path + ": " + std::strerror(error));
  return file;
}

OutputFile OutputFile::standardOutput() {
  ignoreFileSizeSignal();
  OutputFile file("-", true);
  file.to_standard_output_ = true;
  file.fd_ = ::memfd_create("standard output", MFD_CLOEXEC);
  if (file.fd_ < 0)
    throw RunError(std::string("cannot keep the output for standard output: ") +
                   std::strerror(errno));
  return file;
}

// 0, or why no temporary could be made.
int OutputFile::openTemporary() {
  if (name_.empty()) return EISDIR;
#ifdef O_TMPFILE
  if (!namedTemporaryForced()) {
    fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    // Locked like a named one: replace() names it for a moment before the rename.
    if (fd_ >= 0) {
      ::flock(fd_, LOCK_EX | LOCK_NB);
      return 0;
    }
  }
#endif
  if (!replaces_) removeStaleTemporaries(folder_, name_);  // replace() has done it
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string candidate = inFolder(folder_, temporaryPrefix(name_) + randomSuffix());
    fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      // Another run that removes left-over temporaries between this open and the lock
      // takes this one for left over; the rename at commit then fails, and says so.
      ::flock(fd_, LOCK_EX | LOCK_NB);
      temporary_ = std::move(candidate);
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path_(std::move(other.path_)),
      folder_(std::move(other.folder_)),
      name_(std::move(other.name_)),
      replaces_(other.replaces_),
      fd_(other.fd_),
      temporary_(std::move(other.temporary_)),
      reservation_fd_(other.reservation_fd_),
      buffer_(std::move(other.buffer_)),
      buffered_(other.buffered_),
      named_(other.named_),
      done_(other.done_),
      to_standard_output_(other.to_standard_output_) {
  other.fd_ = -1;
  other.reservation_fd_ = -1;
  other.done_ = true;
}

OutputFile::~OutputFile() {
  discard();
}

void OutputFile::put(std::string_view record) {
  if (char* room = roomFor(record.size())) {
    if (!record.empty()) std::memcpy(room, record.data(), record.size());
    putWritten(room + record.size());
    return;
  }
  append(record);  // longer than the buffer
  append("\r\n");
}

// Room at the end of the buffer, with the record's "\r\n" behind it.
char* OutputFile::roomFor(std::size_t size) {
  if (size + 2 > kBufferSize) return nullptr;
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
  if (size + 2 > kBufferSize - buffered_) flushBuffer();
  return buffer_.get() + buffered_;
}

void OutputFile::putWritten(const char* end) {
  const auto written = static_cast<std::size_t>(end - buffer_.get());
  buffer_[written] = '\r';
  buffer_[written + 1] = '\n';
  buffered_ = written + 2;
}

void OutputFile::write(std::string_view bytes) {
  append(bytes);
}

void OutputFile::append(std::string_view bytes) {
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
  if (bytes.size() > kBufferSize - buffered_) {
    flushBuffer();
    if (bytes.size() >= kBufferSize) {
      writeOut(bytes);
      return;
    }
  }
  if (!bytes.empty()) std::memcpy(buffer_.get() + buffered_, bytes.data(), bytes.size());
  buffered_ += bytes.size();
}

void OutputFile::flushBuffer() {
  const std::size_t size = buffered_;
  buffered_ = 0;
  writeOut(size > 0 ? std::string_view(buffer_.get(), size) : std::string_view());
}

void OutputFile::writeOut(std::string_view bytes) {
  if (done_) throw RunError("the output file " + path_ + " is no longer open");
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      fail("cannot write the output file", errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void OutputFile::commit() {
  const std::array<OutputFile*, 1> one{this};
  commitAll(one);
}

void OutputFile::commitAll(std::span<OutputFile* const> files) {
  try {
    for (OutputFile* file : files) file->writeToStableStorage();
    for (OutputFile* file : files) file->checkReservation();
    for (OutputFile* file : files) file->giveName();
    std::vector<const std::string*> synced;
    for (OutputFile* file : files) {
      if (file->to_standard_output_) continue;
      bool seen = false;
      for (const std::string* folder : synced) seen = seen || *folder == file->folder_;
      if (seen) continue;
      syncFolder(file->folder_, file->path_);
      synced.push_back(&file->folder_);
    }
  } catch (...) {
    for (OutputFile* file : files) file->discard();
    throw;
  }
  for (OutputFile* file : files) file->close();
}

void OutputFile::writeToStableStorage() {
  flushBuffer();
  buffer_.reset();  // the memory is not needed any more
  if (to_standard_output_) return;
  if (::fsync(fd_) != 0) fail("cannot write the output file", errno);
}

// The reservation must still be the empty file this run created: anything else under the
// name (written into, or put there by another program) is not ours to replace.
void OutputFile::checkReservation() const {
  if (reservation_fd_ >= 0 && !holdsOwnReservation())
    throw RunError("the output file " + path_ +
                   " was changed by another program while it was being written; it is left "
                   "as that program made it");
}

void OutputFile::giveName() {
  if (to_standard_output_) return copyToStandardOutput();
  static const std::string kNaming = "cannot give its name to the output file";
  if (reservation_fd_ >= 0 && temporary_.empty()) {
    // Remove, then link: a crash in between leaves nothing under the name, never a part.
    if (::unlink(path_.c_str()) != 0) fail(kNaming, errno);
    releaseReservation();
    if (const int error = linkUnnamedTemporary(path_)) fail(kNaming, error);
  } else {
    if (temporary_.empty()) nameUnnamedTemporary();
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) fail(kNaming, errno);
  }
  temporary_.clear();
  releaseReservation();
  named_ = true;
}

// The content kept in memory goes out whole; a pipe whose reader has gone fails the run.
void OutputFile::copyToStandardOutput() {
  static const std::string kWriting = "cannot write to standard output";
  if (::lseek(fd_, 0, SEEK_SET) != 0) fail(kWriting, errno);
  std::array<char, 1 << 16> block;
  for (;;) {
    const ssize_t got = ::read(fd_, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail(kWriting, errno);
    if (got == 0) break;
    for (std::size_t done = 0; done < static_cast<std::size_t>(got);) {
      const ssize_t put = ::write(STDOUT_FILENO, block.data() + done, static_cast<std::size_t>(got) - done);
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) fail(kWriting, errno);
      done += static_cast<std::size_t>(put);
    }
  }
  named_ = true;
}

// An unnamed temporary cannot be linked over an existing file: for the moment of the
// rename it gets a hidden name (removed by a later replace of the same name if the
// process dies right then).
void OutputFile::nameUnnamedTemporary() {
  int error = EEXIST;
  for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
    std::string hidden = inFolder(folder_, temporaryPrefix(name_) + randomSuffix());
    error = linkUnnamedTemporary(hidden);
    if (error == 0) {
      temporary_ = std::move(hidden);
      return;
    }
  }
  fail("cannot give its name to the output file", error);
}

// 0, or why the link failed.
int OutputFile::linkUnnamedTemporary(const std::string& name) const {
  // Linking through /proc needs no privilege, unlike AT_EMPTY_PATH (tried when /proc is
  // missing).
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  const int error = errno;
  if (error == ENOENT && ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
  return error;
}

void OutputFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  releaseReservation();
  done_ = true;
}

// Gives the file up: nothing of it stays. Never throws (it runs in the destructor).
void OutputFile::discard() {
  if (done_) return;
  if (named_) {
    withdrawNewName();
  } else {
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    removeOwnReservation();
  }
  temporary_.clear();
  close();
}

// A new file already named when a later step of its commit failed is removed; a replaced
// file keeps its new content, since the old one is gone.
void OutputFile::withdrawNewName() {
  struct stat ours {}, named {};
  if (replaces_ || to_standard_output_ || ::fstat(fd_, &ours) != 0 || ::lstat(path_.c_str(), &named) != 0) return;
  if (sameFile(named, ours.st_dev, ours.st_ino)) ::unlink(path_.c_str());
}

bool OutputFile::holdsOwnReservation() const {
  struct stat ours {}, named {};
  return ::fstat(reservation_fd_, &ours) == 0 && ours.st_nlink > 0 && ours.st_size == 0 &&
         ::lstat(path_.c_str(), &named) == 0 && sameFile(named, ours.st_dev, ours.st_ino);
}

void OutputFile::removeOwnReservation() {
  if (reservation_fd_ >= 0 && holdsOwnReservation()) ::unlink(path_.c_str());
  releaseReservation();
}

void OutputFile::releaseReservation() {
  if (reservation_fd_ >= 0) ::close(reservation_fd_);
  reservation_fd_ = -1;
}

void OutputFile::fail(const std::string& what, int error) {
  discard();
  throw RunError(what + " " + path_ + ": " + std::strerror(error));
}

}  // namespace velk

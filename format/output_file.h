#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "format/record_sink.h"

namespace velk {

// An output file that is complete or absent, even when the process is killed or the disk
// fills up.
//
// The content goes to a temporary in the output's own folder: an unnamed one (O_TMPFILE)
// where the file system allows it, else a hidden ".NAME.velk-tmp-XXXXXX". commit() writes
// it to stable storage and only then gives it its name in one step, and flushes the folder.
// Until then the final name holds nothing (replace) or an empty file that reserves it
// (create), so that after a crash the name holds nothing, the empty reservation or the
// whole file, never a part of it. An unnamed temporary vanishes with the process; a named
// one left by a killed process is removed by the next run that writes the same name.
//
// A failed write, or an OutputFile that goes away uncommitted, removes the temporary and
// the reservation at once: a failed run leaves nothing behind.
class OutputFile : public RecordSink {
 public:
  // Reserves the name by creating it (exclusively: never over an existing file, not even
  // by a race). Nothing when the name exists or the file cannot be created; errno then
  // says why (EEXIST for an existing name).
  static std::optional<OutputFile> create(const std::string& path);
  // A file that replaces whatever has the name, at commit and in one step: until then an
  // existing file is untouched, and it stays so when the run fails. Throws RunError when
  // the file cannot be made.
  static OutputFile replace(const std::string& path);
  // The same promise on standard output, for the name "-": the content is kept in memory
  // and written out at commit, so a failed run writes nothing there. Its path() is "-".
  static OutputFile standardOutput();

  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&&) = delete;
  OutputFile(const OutputFile&) = delete;
  ~OutputFile() override;

  // A record and its "\r\n". Throws RunError (naming the file and the reason) when the
  // file system refuses the write; the file is then given up.
  void put(std::string_view record) override;
  char* roomFor(std::size_t size) override;
  void putWritten(const char* end) override;
  // Bytes as they stand (XML, JSON, SVG); throws RunError like put.
  void write(std::string_view bytes);
  // Writes the file to stable storage and gives it its name; throws RunError on failure,
  // after which nothing of the file is left (a replaced file is untouched).
  void commit();
  // The files of one run kept together: every one is on stable storage and every
  // reservation checked before the first is given its name; they are named in the order
  // given (an index last). A failure before the renames leaves none of them; one during
  // the renames removes the new files already named (replaced files keep their new
  // content, the old one is gone by then).
  static void commitAll(std::span<OutputFile* const> files);
  const std::string& path() const { return path_; }

  // Set in the environment (to anything but "" or "0"), every temporary is a named one,
  // as on a file system that refuses O_TMPFILE. For the tests.
  static constexpr const char* kNamedTemporarySwitch = "VELK_NAMED_TEMPORARY";
  // What the hidden temporary of `name` starts with.
  static std::string temporaryPrefix(std::string_view name);

 private:
  OutputFile(std::string path, bool replaces);

  int openTemporary();
  void append(std::string_view bytes);
  void flushBuffer();
  void writeOut(std::string_view bytes);
  void writeToStableStorage();
  void checkReservation() const;
  void giveName();
  void copyToStandardOutput();
  void nameUnnamedTemporary();
  int linkUnnamedTemporary(const std::string& name) const;
  void withdrawNewName();
  void close();
  void discard();
  bool holdsOwnReservation() const;
  void removeOwnReservation();
  void releaseReservation();
  [[noreturn]] void fail(const std::string& what, int error);

  std::string path_;
  std::string folder_;  // "." when the path names no folder
  std::string name_;    // the last component of path_
  bool replaces_ = false;
  int fd_ = -1;                   // the temporary, open for writing
  std::string temporary_;         // its path when it has a name
  int reservation_fd_ = -1;       // create: the empty file holding the name
  std::unique_ptr<char[]> buffer_;  // bytes not yet written to fd_, made at the first
  std::size_t buffered_ = 0;
  bool named_ = false;            // the temporary has been given the final name
  bool done_ = false;             // committed or given up: nothing left to clean
  bool to_standard_output_ = false;  // commit copies the content to standard output
};

}  // namespace velk

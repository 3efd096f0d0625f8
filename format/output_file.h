#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "format/record_sink.h"

namespace velk {

// The VELK output file: created new (never over an existing file, not even by a race),
// one record per line ended by "\r\n". Unless the run commits it, the file is removed
// when this object goes away, so a failed run leaves nothing behind.
class OutputFile : public RecordSink {
 public:
  // Nothing when the file exists or cannot be created.
  static std::optional<OutputFile> create(const std::string& path);
  // A file that replaces whatever has the name, at commit and in one step: until then an
  // existing file is untouched. Throws RunError when the file cannot be made.
  static OutputFile replace(const std::string& path);

  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&&) = delete;
  OutputFile(const OutputFile&) = delete;
  ~OutputFile() override;

  // A record and its "\r\n". Throws RunError when the file system refuses the write.
  void put(std::string_view record) override;
  // Bytes as they stand (XML, JSON, SVG); throws RunError like put.
  void write(std::string_view bytes);
  // Flushes and closes the file and keeps it; throws RunError on failure.
  void commit();
  // The files of one run kept together: all are flushed before the first is given its
  // name, and they are named in the order given (an index last).
  static void commitAll(std::span<OutputFile* const> files);
  const std::string& path() const { return path_; }

 private:
  OutputFile(std::FILE* file, std::string path, std::string temporary = {})
      : file_(file), path_(std::move(path)), temporary_(std::move(temporary)) {}
  void fail(const char* what);
  void close();
  void giveName();

  std::FILE* file_ = nullptr;
  std::string path_;
  std::string temporary_;  // replace: the content is written here, then renamed over path_
  bool committed_ = false;
};

}  // namespace velk

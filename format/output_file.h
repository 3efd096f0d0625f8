#pragma once

#include <cstdio>
#include <optional>
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

  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&&) = delete;
  OutputFile(const OutputFile&) = delete;
  ~OutputFile() override;

  // Throws RunError when the file system refuses the write.
  void put(std::string_view record) override;
  // Flushes and closes the file and keeps it; throws RunError on failure.
  void commit();
  const std::string& path() const { return path_; }

 private:
  OutputFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
  void fail(const char* what);

  std::FILE* file_ = nullptr;
  std::string path_;
  bool committed_ = false;
};

}  // namespace velk

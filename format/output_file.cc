#include "format/output_file.h"

#include <cerrno>
#include <cstring>

#include "format/run_error.h"

namespace velk {

std::optional<OutputFile> OutputFile::create(const std::string& path) {
  // "x": the open itself fails when the name exists, so no other program's file is ever
  // truncated, even one created between a check and the open.
  std::FILE* file = std::fopen(path.c_str(), "wbx");
  if (file == nullptr) return std::nullopt;
  return OutputFile(file, path);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : file_(other.file_), path_(std::move(other.path_)), committed_(other.committed_) {
  other.file_ = nullptr;
  other.committed_ = true;
}

OutputFile::~OutputFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!committed_) std::remove(path_.c_str());
}

void OutputFile::put(std::string_view record) {
  if (std::fwrite(record.data(), 1, record.size(), file_) != record.size() ||
      std::fwrite("\r\n", 1, 2, file_) != 2)
    fail("cannot write");
}

void OutputFile::commit() {
  if (std::fflush(file_) != 0) fail("cannot write");
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) fail("cannot close");
  committed_ = true;
}

void OutputFile::fail(const char* what) {
  throw RunError(std::string(what) + " the output file " + path_ + ": " + std::strerror(errno));
}

}  // namespace velk

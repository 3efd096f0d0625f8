#include "format/output_file.h"

#include <cerrno>
#include <cstring>
#include <array>
#include <filesystem>

#include <unistd.h>

#include "format/run_error.h"

namespace velk {

std::optional<OutputFile> OutputFile::create(const std::string& path) {
  // "x": the open itself fails when the name exists, so no other program's file is ever
  // truncated, even one created between a check and the open.
  std::FILE* file = std::fopen(path.c_str(), "wbx");
  if (file == nullptr) return std::nullopt;
  return OutputFile(file, path);
}

OutputFile OutputFile::replace(const std::string& path) {
  const std::filesystem::path target(path);
  const std::string temporary =
      (target.parent_path() / ("." + target.filename().string() + ".tmp-" +
                               std::to_string(::getpid())))
          .string();
  std::FILE* file = std::fopen(temporary.c_str(), "wbx");
  if (file == nullptr)
    throw RunError("cannot create a file beside " + path + ": " + std::strerror(errno));
  return OutputFile(file, path, temporary);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : file_(other.file_),
      path_(std::move(other.path_)),
      temporary_(std::move(other.temporary_)),
      committed_(other.committed_) {
  other.file_ = nullptr;
  other.committed_ = true;
}

OutputFile::~OutputFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!committed_) std::remove(temporary_.empty() ? path_.c_str() : temporary_.c_str());
}

void OutputFile::put(std::string_view record) {
  if (std::fwrite(record.data(), 1, record.size(), file_) != record.size() ||
      std::fwrite("\r\n", 1, 2, file_) != 2)
    fail("cannot write");
}

void OutputFile::write(std::string_view bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) fail("cannot write");
}

void OutputFile::commit() {
  const std::array<OutputFile*, 1> one{this};
  commitAll(one);
}

void OutputFile::close() {
  if (std::fflush(file_) != 0) fail("cannot write");
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) fail("cannot close");
}

void OutputFile::giveName() {
  if (!temporary_.empty() && std::rename(temporary_.c_str(), path_.c_str()) != 0)
    fail("cannot rename the temporary of");
  committed_ = true;
}

void OutputFile::commitAll(std::span<OutputFile* const> files) {
  for (OutputFile* file : files) file->close();
  for (OutputFile* file : files) file->giveName();
}

void OutputFile::fail(const char* what) {
  throw RunError(std::string(what) + " the output file " + path_ + ": " + std::strerror(errno));
}

}  // namespace velk

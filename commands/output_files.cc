#include "commands/output_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "format/run_error.h"

namespace velk {

OutputFile openOutputFile(const std::string& path, bool force) {
  if (path == kStandardOutputName) return OutputFile::standardOutput();
  std::error_code why;
  if (std::filesystem::is_directory(path, why))
    throw RunError("output file " + path + " is a folder; name a file in it");
  if (force) return OutputFile::replace(path);
  errno = 0;
  if (std::optional<OutputFile> created = OutputFile::create(path)) return std::move(*created);
  if (errno == EEXIST)
    throw RunError("output file " + path + " exists; --force replaces it");
  throw RunError("cannot create output file " + path + ": " + std::strerror(errno));
}

}  // namespace velk

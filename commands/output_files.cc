#include "commands/output_files.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include "format/run_error.h"

namespace velk {

OutputFile openOutputFile(const std::string& path, bool force) {
  if (force) return OutputFile::replace(path);
  errno = 0;
  if (std::optional<OutputFile> created = OutputFile::create(path)) return std::move(*created);
  if (errno == EEXIST)
    throw RunError("output file " + path + " exists; --force replaces it");
  throw RunError("cannot create output file " + path + ": " + std::strerror(errno));
}

}  // namespace velk

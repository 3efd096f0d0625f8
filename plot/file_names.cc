#include "plot/file_names.h"

#include <cctype>

namespace velk::plot {
namespace {

// Leaves room for the suffix and the extension within the usual limit of 255 bytes.
constexpr std::size_t kLongestStem = 200;

bool keeps(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x80 && (std::isalnum(byte) || c == '-' || c == '_' || c == '+' || c == '.');
}

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string safeFileStem(std::string_view text) {
  std::string stem;
  for (const char c : text.substr(0, kLongestStem)) stem += keeps(c) ? c : '_';
  if (stem.empty() || stem.front() == '.') stem.insert(stem.begin(), '_');
  return stem;
}

std::string FileNamer::name(std::string_view stem, std::string_view extension) {
  const std::string safe = safeFileStem(stem);
  std::string candidate = safe + std::string(extension);
  for (int suffix = 2; !taken_.insert(lowerCase(candidate)).second; ++suffix)
    candidate = safe + "-" + std::to_string(suffix) + std::string(extension);
  return candidate;
}

}  // namespace velk::plot

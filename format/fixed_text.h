#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace velk {

// Only the space counts as a blank in the O-files, the list file and the answers.
inline bool isBlankText(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

// A name as the file system gets it: without its trailing blanks.
inline std::string withoutTrailingBlanks(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1));
}

// A text field of a declared length, as the O-file records and the VELK layouts hold
// them: blank-padded on the right when assigned, cut after N characters, and all zero
// bytes while it was never assigned (those zero bytes are written out as they are).
template <std::size_t N>
class FixedText {
 public:
  FixedText() { bytes_.fill('\0'); }
  FixedText(std::string_view text) { assign(text); }  // NOLINT: implicit on purpose

  FixedText& operator=(std::string_view text) {
    assign(text);
    return *this;
  }

  void assign(std::string_view text) {
    const std::size_t kept = std::min(N, text.size());
    std::copy_n(text.begin(), kept, bytes_.begin());
    std::fill(bytes_.begin() + static_cast<std::ptrdiff_t>(kept), bytes_.end(), ' ');
  }

  std::string_view view() const { return {bytes_.data(), N}; }
  operator std::string_view() const { return view(); }  // NOLINT: layouts take texts

  std::string withoutTrailingBlanks() const { return velk::withoutTrailingBlanks(view()); }
  bool isBlank() const { return isBlankText(view()); }
  char operator[](std::size_t i) const { return bytes_[i]; }
  static constexpr std::size_t size() { return N; }

  friend bool operator==(const FixedText&, const FixedText&) = default;

 private:
  std::array<char, N> bytes_;
};

}  // namespace velk

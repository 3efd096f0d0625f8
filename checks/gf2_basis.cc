#include "checks/gf2_basis.h"

#include <algorithm>
#include <bit>

namespace velk {

Gf2Basis::Gf2Basis(std::size_t dimension)
    : row_of_pivot_(dimension, -1), work_((dimension + 63) / 64, 0) {}

bool Gf2Basis::takeIfIndependent(std::span<const int> positions) {
  if (positions.empty()) return false;
  std::size_t first_word = work_.size();
  std::size_t last_word = 0;
  for (const int position : positions) {
    const auto p = static_cast<std::size_t>(position);
    work_[p / 64] ^= std::uint64_t{1} << (p % 64);
    first_word = std::min(first_word, p / 64);
    last_word = std::max(last_word, p / 64);
  }
  // Eliminate from the lowest one upwards: a row's pivot is its lowest one, so adding it
  // changes nothing below the position being cleared.
  for (std::size_t word = first_word; word <= last_word;) {
    if (work_[word] == 0) {
      ++word;
      continue;
    }
    const std::size_t pivot = word * 64 + static_cast<std::size_t>(std::countr_zero(work_[word]));
    const int row_index = row_of_pivot_[pivot];
    if (row_index < 0) {
      while (work_[last_word] == 0) --last_word;
      Row row;
      row.first_word = word;
      row.words.assign(work_.begin() + static_cast<std::ptrdiff_t>(word),
                       work_.begin() + static_cast<std::ptrdiff_t>(last_word) + 1);
      row_of_pivot_[pivot] = static_cast<int>(rows_.size());
      rows_.push_back(std::move(row));
      clearWork(word, last_word);
      return true;
    }
    const Row& row = rows_[static_cast<std::size_t>(row_index)];
    for (std::size_t k = 0; k < row.words.size(); ++k) work_[row.first_word + k] ^= row.words[k];
    last_word = std::max(last_word, row.first_word + row.words.size() - 1);
  }
  return false;  // eliminated to zero; the work area is clear again
}

void Gf2Basis::clearWork(std::size_t first_word, std::size_t last_word) {
  std::fill(work_.begin() + static_cast<std::ptrdiff_t>(first_word),
            work_.begin() + static_cast<std::ptrdiff_t>(last_word) + 1, 0);
}

}  // namespace velk

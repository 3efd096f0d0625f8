#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velk {

// Vectors over GF(2) taken one by one while each is independent of those taken before
// (Gaussian elimination kept in echelon form). A row is stored from the word of its pivot
// (its lowest one) to its last non-zero word, so when the positions are numbered such that
// the vectors stay local (as the loops of a network do when its pairs are numbered along a
// spanning tree), rows stay short and an elimination touches few words.
class Gf2Basis {
 public:
  explicit Gf2Basis(std::size_t dimension);

  // Takes the vector with ones at `positions` (each at most once, each below the
  // dimension) and returns true if it is independent of the vectors taken so far;
  // otherwise leaves the basis as it is and returns false.
  bool takeIfIndependent(std::span<const int> positions);
  std::size_t rank() const { return rows_.size(); }

 private:
  struct Row {
    std::size_t first_word = 0;
    std::vector<std::uint64_t> words;
  };
  void clearWork(std::size_t first_word, std::size_t last_word);

  std::vector<int> row_of_pivot_;     // per position: the row whose pivot it is, or -1
  std::vector<Row> rows_;
  std::vector<std::uint64_t> work_;   // all zero between calls
};

}  // namespace velk

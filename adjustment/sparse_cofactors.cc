#include "adjustment/sparse_cofactors.h"

#include <algorithm>
#include <stdexcept>

namespace velk {

SparseCofactors::SparseCofactors(const SparseNormals& normals) : size_(normals.rows()) {
  factor_.compute(normals);
  if (factor_.info() != Eigen::Success || (factor_.vectorD().array() <= 0).any())
    throw std::runtime_error("the normal equations are singular");
}

Eigen::MatrixXd SparseCofactors::solve(const Eigen::MatrixXd& rhs) const {
  return factor_.solve(rhs);
}

Eigen::Matrix<double, Eigen::Dynamic, 3> SparseCofactors::solveThree(
    const Eigen::Matrix<double, Eigen::Dynamic, 3>& rhs) const {
  const SparseNormals& l = lower();
  const int* starts = l.outerIndexPtr();
  const int* rows = l.innerIndexPtr();
  const double* values = l.valuePtr();
  const auto& order = factor_.permutationP().indices();
  // Row-major, so that the three values of one unknown lie together.
  Eigen::Matrix<double, Eigen::Dynamic, 3, Eigen::RowMajor> y(size_, 3);
  for (Eigen::Index i = 0; i < size_; ++i) y.row(order(i)) = rhs.row(i);
  for (Eigen::Index j = 0; j < size_; ++j) {  // L y = P b, column by column
    const double y0 = y(j, 0), y1 = y(j, 1), y2 = y(j, 2);
    if (y0 == 0 && y1 == 0 && y2 == 0) continue;
    for (int p = starts[j]; p < starts[j + 1]; ++p) {
      double* target = &y(rows[p], 0);
      target[0] -= values[p] * y0;
      target[1] -= values[p] * y1;
      target[2] -= values[p] * y2;
    }
  }
  const Eigen::VectorXd d = factor_.vectorD();
  for (Eigen::Index j = 0; j < size_; ++j) y.row(j) /= d(j);
  for (Eigen::Index j = size_ - 1; j >= 0; --j) {  // Lᵀ x = y, a dot product per column
    double s0 = y(j, 0), s1 = y(j, 1), s2 = y(j, 2);
    for (int p = starts[j]; p < starts[j + 1]; ++p) {
      const double* source = &y(rows[p], 0);
      s0 -= values[p] * source[0];
      s1 -= values[p] * source[1];
      s2 -= values[p] * source[2];
    }
    y(j, 0) = s0;
    y(j, 1) = s1;
    y(j, 2) = s2;
  }
  Eigen::Matrix<double, Eigen::Dynamic, 3> x(size_, 3);
  for (Eigen::Index i = 0; i < size_; ++i) x.row(i) = y.row(order(i));
  return x;
}

const SparseNormals& SparseCofactors::lower() const {
  return factor_.matrixL().nestedExpression();
}

std::size_t SparseCofactors::factorNonZeros() const {
  return static_cast<std::size_t>(lower().nonZeros()) + static_cast<std::size_t>(size_);
}

// Column j of Z below the diagonal is -Σₖ Z(i,k) L(k,j) over the rows k of column j of L,
// and Z(j,j) = 1/D(j) - Σₖ L(k,j) Z(k,j). The rows of column j of L form a clique of the
// filled graph, so every Z(i,k) needed lies in column min(i,k) of the pattern, already
// computed; one walk down each such column finds them all (a marker array tells which
// rows belong to column j).
void SparseCofactors::invertSelected() {
  const SparseNormals& l = lower();
  const int* starts = l.outerIndexPtr();
  const int* rows = l.innerIndexPtr();
  const double* values = l.valuePtr();
  const Eigen::VectorXd d = factor_.vectorD();
  const auto n = static_cast<std::size_t>(size_);
  inverse_values_.assign(static_cast<std::size_t>(l.nonZeros()), 0.0);
  inverse_diagonal_.assign(n, 0.0);
  std::vector<int> place(n, -1);  // row -> its position in the current column, or -1
  std::vector<double> sums;
  for (Eigen::Index j = size_ - 1; j >= 0; --j) {
    const int begin = starts[j], end = starts[j + 1];
    const int count = end - begin;
    sums.assign(static_cast<std::size_t>(count), 0.0);
    for (int a = 0; a < count; ++a) place[static_cast<std::size_t>(rows[begin + a])] = a;
    for (int a = 0; a < count; ++a) {
      const int k = rows[begin + a];
      const double l_kj = values[begin + a];
      sums[static_cast<std::size_t>(a)] += inverse_diagonal_[static_cast<std::size_t>(k)] * l_kj;
      for (int p = starts[k]; p < starts[k + 1]; ++p) {
        const int b = place[static_cast<std::size_t>(rows[p])];
        if (b < 0) continue;
        const double z = inverse_values_[static_cast<std::size_t>(p)];
        sums[static_cast<std::size_t>(b)] += z * l_kj;
        sums[static_cast<std::size_t>(a)] += z * values[begin + b];
      }
    }
    double diagonal = 1.0 / d(j);
    for (int a = 0; a < count; ++a) {
      const double z = -sums[static_cast<std::size_t>(a)];
      inverse_values_[static_cast<std::size_t>(begin + a)] = z;
      diagonal -= values[begin + a] * z;
      place[static_cast<std::size_t>(rows[begin + a])] = -1;
    }
    inverse_diagonal_[static_cast<std::size_t>(j)] = diagonal;
  }
  inverted_ = true;
}

double SparseCofactors::element(Eigen::Index i, Eigen::Index j) const {
  if (!inverted_) throw std::logic_error("cofactor element asked before the inversion");
  const auto& order = factor_.permutationP().indices();
  Eigen::Index pi = order(i), pj = order(j);
  if (pi == pj) return inverse_diagonal_[static_cast<std::size_t>(pi)];
  if (pi < pj) std::swap(pi, pj);
  const SparseNormals& l = lower();
  const int* rows = l.innerIndexPtr();
  const int* first = rows + l.outerIndexPtr()[pj];
  const int* last = rows + l.outerIndexPtr()[pj + 1];
  const int* found = std::lower_bound(first, last, static_cast<int>(pi));
  if (found == last || *found != pi)
    throw std::logic_error("cofactor element off the factor's pattern");
  return inverse_values_[static_cast<std::size_t>(found - rows)];
}

Eigen::Matrix3d SparseCofactors::block(Eigen::Index a, Eigen::Index b) const {
  Eigen::Matrix3d q;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) q(r, c) = element(3 * a + r, 3 * b + c);
  return q;
}

}  // namespace velk

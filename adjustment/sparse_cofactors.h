#pragma once

// The normal equations of an adjustment, factorised once by a sparse Cholesky
// decomposition, and the elements of their inverse (the cofactor matrix of the unknowns)
// that the statistics need, without ever forming that inverse.

#include <Eigen/Dense>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#include <cstddef>
#include <vector>

namespace velk {

using SparseNormals = Eigen::SparseMatrix<double, Eigen::ColMajor, int>;

class SparseCofactors {
 public:
  // Factorises N = P ᵀ L D Lᵀ P (LDLᵀ with an approximate-minimum-degree ordering, Amestoy,
  // Davis and Duff 1996) from the lower triangle of `normals`, which must be symmetric.
  // Throws std::runtime_error when N is not positive definite (a datum defect).
  explicit SparseCofactors(const SparseNormals& normals);

  Eigen::Index size() const { return size_; }
  // N⁻¹ B for one or more right-hand sides, by the factor (two triangular solves).
  Eigen::MatrixXd solve(const Eigen::MatrixXd& rhs) const;
  // N⁻¹ B for three right-hand sides at once, L read once for all three; the forward solve
  // passes over the columns where all three are still zero, so a B with few non-zero rows
  // (unit columns of a few unknowns) costs about half a full solve.
  Eigen::Matrix<double, Eigen::Dynamic, 3> solveThree(
      const Eigen::Matrix<double, Eigen::Dynamic, 3>& rhs) const;

  // The selected inverse: every element (N⁻¹)ᵢⱼ where Lᵢⱼ or Lⱼᵢ of the permuted factor is
  // structurally non-zero, which includes every non-zero of N, by the equations of
  // Takahashi, Fagan and Chin (1973): Z = D⁻¹L⁻¹ + (I − Lᵀ)Z taken column by column from
  // the last, each column needing only elements already computed on the factor's pattern.
  // Memory is that of the factor. Called once; element() needs it.
  void invertSelected();
  // (N⁻¹)ᵢⱼ, for i and j on the pattern (unknowns counted from 0 in N's own order). Throws
  // std::logic_error off the pattern or before invertSelected().
  double element(Eigen::Index i, Eigen::Index j) const;
  // The 3×3 block of unknowns 3a..3a+2 by 3b..3b+2.
  Eigen::Matrix3d block(Eigen::Index a, Eigen::Index b) const;

  std::size_t factorNonZeros() const;

 private:
  using Factor = Eigen::SimplicialLDLT<SparseNormals, Eigen::Lower, Eigen::AMDOrdering<int>>;
  const SparseNormals& lower() const;  // the strictly lower part of L, column by column

  Eigen::Index size_ = 0;
  Factor factor_;
  std::vector<double> inverse_values_;    // Z on L's pattern, laid out as L's values
  std::vector<double> inverse_diagonal_;  // Z's diagonal
  bool inverted_ = false;
};

}  // namespace velk

#pragma once
// Diversity descriptors: Rao quadratic entropy of communities from the
// dissimilarities between their OTUs (functional or phylogenetic diversity, the
// Gini-Simpson index with the identity similarity), its alpha/beta/gamma
// partition, and the nearest-neighbour cross-referenced resemblance (NNCRD).
// Abundances and resemblances equal to -999.0 are missing and skipped.

#include <cstddef>
#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar {

/// Each community's OTUs present with a non-zero abundance (ascending) and
/// their abundances, relative to the community's total when asked: what every
/// Rao entropy of the same rows reads, built once for many.
struct RaoRows {
    const Matrix<double>* of = nullptr;
    int m = 0, n = 0;
    bool relative = false;
    std::vector<int> start;         ///< community c: entries start[c] .. start[c + 1] - 1
    std::vector<int> present;
    std::vector<double> abundance;
    std::vector<double> scratch;  ///< one community's abundances while building
    void Build(int rows, int cols, const Matrix<double>& W, bool asRelative);
};

/// Work space of the Rao entropy of communities, reused across calls.
struct RaoWork {
    std::vector<double> pairs;  ///< pair values packed by RaoPairRowStart, or -999.0
    RaoRows rows;               ///< the communities, when not prepared by the caller
};

/// Pair values of n OTUs packed by rows of the upper triangle: pair (i, j),
/// i < j, is RaoPairRow(pairs, n, i)[j - i - 1]; n (n - 1) / 2 values.
inline std::size_t RaoPairRowStart(int n, int i) {
    return static_cast<std::size_t>(i) * (2 * static_cast<std::size_t>(n) - static_cast<std::size_t>(i) - 1) / 2;
}

/// Rao entropy of each of the m communities (rows of W, m x n) into out[m]
/// from the packed pair values (factor times dissimilarity; -999.0 missing):
/// twice the sum over pairs i < j of value p_i p_j, compensated for missing
/// pairs by the ratio of the abundance products. relative: each row is first
/// divided by its total (rows with a zero total stay as they are).
void RaoOfCommunities(int m, int n, const Matrix<double>& W, const double* pairs, bool relative, double* out,
                      RaoWork& work, const RaoRows* prepared = nullptr);

/// Rao entropy of each of the m communities (rows of W, m x n) into out[m]:
/// twice the sum over OTU pairs i < j of factor(i, j) delta(i, j) p_i p_j, with
/// delta = 1 - s, sqrt(1 - s), d or sqrt(d) (isDissim, sqrtOpt; the upper
/// triangle of rese is read), factor = w_i w_j with restrictWithin, else 1 when
/// either weight is 1 (weights null: 1). Pairs with a missing resemblance are
/// compensated by the ratio of the abundance products. relative: each row is
/// first divided by its total (rows with a zero total stay as they are).
void RaoIndex_Weight_Matrix(int m, int n, const Matrix<double>& W, const Matrix<double>& rese, double* out,
                            bool isDissim, bool sqrtOpt, const int* weights, bool restrictWithin, bool relative,
                            RaoWork& work);
void RaoIndex_Weight_Matrix(int m, int n, const Matrix<double>& W, const Matrix<double>& rese, double* out,
                            bool isDissim, bool sqrtOpt, const int* weights, bool restrictWithin, bool relative);

/// Rao entropy of one community (abundances p[n]) over all ordered pairs; the
/// Gini-Simpson index when rese is null. rese is made symmetric in place (its
/// upper triangle copied over the lower one). 0 when the total is not positive.
double RaoIndex_Simpson(int n, const double* p, Matrix<double>* rese, bool isDissim, bool sqrtOpt);
/// The same with every term multiplied by the pair factor of the weights.
double RaoIndex_Weight(int n, const double* p, Matrix<double>& rese, bool isDissim, bool sqrtOpt,
                       const int* weights, bool restrictWithin);

/// Alpha (mean within-community Rao entropy), gamma (entropy of the pooled
/// composition) and beta = gamma - alpha of the m x n abundances with the OTU
/// similarity S (made symmetric in place), their equivalent numbers and the
/// relative turnover. W is not changed. Returns 1.
int DiversityPartition(int m, int n, const Matrix<double>& W, Matrix<double>& S, double& alpha, double& beta,
                       double& gamma, double& alphaEq, double& betaEq, double& gammaEq, double& relTurnover);

/// out[i] = mean of R2[i][j] over the objects j != i nearest to i by D (ties
/// averaged). Missing distances and values are skipped; an object without any
/// usable neighbour gets 0. Returns true.
bool NNCRD(int n, const Matrix<double>& D, const Matrix<double>& R2, double* out);

}  // namespace kolvar

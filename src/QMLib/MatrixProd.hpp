#pragma once
// Matrix products and small whole-matrix operations. Routines whose names end
// in MV skip -999.0 term by term. Those that check sizes return 1 and leave the
// result untouched when the inner sizes (m, m2) disagree; otherwise 0.

#include <vector>

#include "QMLib/Kernels.hpp"
#include "QMLib/Matrix.hpp"

namespace kolvar {

/// Res (n x p) = A (n x m) B (m2 x p).
int MatrixProd(int n, int m, int m2, int p, const Matrix<double>& A, const Matrix<double>& B,
               Matrix<double>& Res);
/// The same skipping every term with a missing factor; a cell without any
/// present term is -999.0.
int MatrixProdMV(int n, int m, int m2, int p, const Matrix<double>& A, const Matrix<double>& B,
                 Matrix<double>& Res);
/// Updates Res = A B in place after column/row `target` of B changed from Bold to
/// Bnew (terms with j = target, k = target or j = k); requires p > target.
int MatrixProdTargetMV(int n, int m, int m2, int p, int target, const Matrix<double>& Bold,
                       const Matrix<double>& A, const Matrix<double>& Bnew, Matrix<double>& Res);

/// Community-weighted means: for each column j with select[j] = 1 (all when
/// select is null), Res[i][j] = sum of w[k] A[i][k] B[k][j] over the terms where
/// neither factor is missing, divided by (sum of those A[i][k] / sum of the
/// present A[i][k]); unselected columns 0, cells without a present term -999.0.
/// w null counts as 1 everywhere. The rescaling is skipped when either sum is
/// not positive. Rows run in parallel; results do not depend on the thread count.
int MatrixProdSelectMV_Adjust_Weight(int n, int m, int m2, int p, const Matrix<double>& A,
                                     const Matrix<double>& B, Matrix<double>& Res, const int* select,
                                     const int* w);
/// Fuzzy-weighted composition (columns of B indexed like the OTUs of A): the
/// weight of term (k, j) is w[k] w[j] with restrictWithin, otherwise 1 when
/// w[k] = 1 or w[j] = 1 and 0 else; missing A entries count in neither sum and
/// the rescaling applies only when the sum over the present terms is positive.
int MatrixProdSelectMV_Adjust_Weight(int n, int m, int m2, int p, const Matrix<double>& A,
                                     const Matrix<double>& B, Matrix<double>& Res, const int* select,
                                     const int* w, bool restrictWithin);

/// The two products above with the rows of B taken in the order `rows`
/// (1-based, m entries; repeats allowed): term k uses row rows[k] - 1, as if B
/// had been copied row by row into that order first, with the same bits and
/// without the copy. bHasMissing: whether B holds a missing value anywhere
/// (HasMissingValue), which the caller computes once for many products.
void MatrixProdSelectMV_Adjust_WeightRows(int n, int m, int p, const Matrix<double>& A, const Matrix<double>& B,
                                          const int* rows, bool bHasMissing, Matrix<double>& Res,
                                          const int* select, const int* w);
void MatrixProdSelectMV_Adjust_WeightRows(int n, int m, int p, const Matrix<double>& A, const Matrix<double>& B,
                                          const int* rows, bool bHasMissing, Matrix<double>& Res,
                                          const int* select, const int* w, bool restrictWithin);
/// What every unweighted product of the same composition rows A (n x m)
/// reads of them, built once for many products (the rows of B reordered
/// between them): their terms, totals and whether anything is present.
struct CompositionRows {
    const Matrix<double>* of = nullptr;
    int n = 0, m = 0;
    SparseRows terms;
    std::vector<double> total;
    std::vector<char> anyPresent;
    void Build(int rows, int cols, const Matrix<double>& A);
};
/// The two products read through `rows`, with the rows of A prepared (used
/// when it was built from A with these sizes).
void MatrixProdSelectMV_Adjust_WeightRows(int n, int m, int p, const Matrix<double>& A, const Matrix<double>& B,
                                          const int* rows, bool bHasMissing, Matrix<double>& Res,
                                          const int* select, const int* w, const CompositionRows* prepared);
void MatrixProdSelectMV_Adjust_WeightRows(int n, int m, int p, const Matrix<double>& A, const Matrix<double>& B,
                                          const int* rows, bool bHasMissing, Matrix<double>& Res,
                                          const int* select, const int* w, bool restrictWithin,
                                          const CompositionRows* prepared);
/// True when some element of the first rows x cols block of m is -999.0.
bool HasMissingValue(int rows, int cols, const Matrix<double>& m);

/// Res = A + sign B (equal sizes required).
int MatrixSum(int n, int p, int nB, int pB, const Matrix<double>& A, const Matrix<double>& B,
              Matrix<double>& Res, double sign);
/// out (p x n) = in' (n x p).
void TransposeMatrix(int n, int p, const Matrix<double>& in, Matrix<double>& out);
/// In-place transpose of a square matrix.
void TransposeSqMatrix(int n, Matrix<double>& m);
void CopyMatrix(int n, int p, const Matrix<double>& in, Matrix<double>& out);
void ScalarMatrixProd(int n, int p, double scalar, const Matrix<double>& in, Matrix<double>& out);
/// Copies the strict upper half of the square m onto its lower half.
void UpperToLowerMatrix(int n, Matrix<double>& m);
/// Totals skipping -999.0.
void RowTotalsMV(int n, int p, const Matrix<double>& m, double* totals);
void ColTotalsMV(int n, int p, const Matrix<double>& m, double* totals);
double MatrixTotalMV(int n, int p, const Matrix<double>& m);
/// Scalar product over the positions where both are present.
double VectorProdMV(int n, const double* a, const double* b);
int maxVector(int n, const int* v);
double maxVector(int n, const double* v);
int minVector(int n, const int* v);
double minVector(int n, const double* v);

}  // namespace kolvar

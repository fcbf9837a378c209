#pragma once
// Linear algebra of the library: symmetric eigen decomposition and singular
// value decomposition through GSL, the ordination entry point (principal
// coordinates, principal components, correspondence analysis), correlated
// random data, and the classic Cholesky, Gauss-Jordan and sort-with-ranks
// routines. Eigenvectors and scores are stored as rows: vectors[k][i] is
// component i of axis k, scores[k][j] the score of object j on axis k.

#include <gsl/gsl_eigen.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_vector.h>

#include <memory>
#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar {

struct Random;

struct GslMatrixDeleter {
    void operator()(gsl_matrix* m) const { gsl_matrix_free(m); }
};
struct GslVectorDeleter {
    void operator()(gsl_vector* v) const { gsl_vector_free(v); }
};
struct GslEigenDeleter {
    void operator()(gsl_eigen_symmv_workspace* w) const { gsl_eigen_symmv_free(w); }
};
using GslMatrixPtr = std::unique_ptr<gsl_matrix, GslMatrixDeleter>;
using GslVectorPtr = std::unique_ptr<gsl_vector, GslVectorDeleter>;

/// GSL buffers of the eigen decomposition, kept between calls of the same size.
struct EigenWork {
    int n = 0;
    GslMatrixPtr a, evec;
    GslVectorPtr eval;
    std::unique_ptr<gsl_eigen_symmv_workspace, GslEigenDeleter> w;
    void Ensure(int size);
};

/// GSL buffers of the singular value decomposition.
struct SvdWork {
    int n = 0, p = 0;
    GslMatrixPtr a, v;
    GslVectorPtr s, work;
    void Ensure(int rows, int cols);
};

/// Eigen decomposition of the symmetric n x n matrix A (its upper triangle with
/// the diagonal is read; the lower half is ignored): values in
/// descending order, vectors as rows (vectors at least n x n). False when some
/// eigenvalue / sum of eigenvalues is below -0.001; true also for n < 1.
bool EigenHouseholderQL_GSL_D(int n, const Matrix<double>& A, Matrix<double>& vectors, double* values,
                              EigenWork& work);
bool EigenHouseholderQL_GSL_D(int n, const Matrix<double>& A, Matrix<double>& vectors, double* values);

/// A (n x p, n >= p) = U diag(s) V'; U n x p, s p values, V p x p. False when GSL
/// reports an error or some s / sum of s is below -0.001.
bool SingValueDecomp(int n, int p, const Matrix<double>& A, Matrix<double>& U, double* s, Matrix<double>& V,
                     SvdWork& work);
bool SingValueDecomp(int n, int p, const Matrix<double>& A, Matrix<double>& U, double* s, Matrix<double>& V);

/// Work space of the ordinations, grown on demand and reused across calls.
struct OrdinationWork {
    EigenWork eigen;
    Matrix<double> sq, centred, data, vectors;
    std::vector<double> values, rowTotals, colTotals, centring;
};

/// Ordination of the n x n resemblance `rese` (never modified):
///  method 1 principal coordinates (kind: the resemblance option of the
///  dispatcher; similarities and cross products are turned into squared
///  distances, anything else is squared); scores n axes x n objects;
///  method 2 principal components of the cross-product matrix rese, scores of
///  the p objects of data (kind 22 centres the rows of data, 17 centres and
///  normalises them); method 3 correspondence analysis of the n x p table data,
///  rese being the cross products of its chi-square deviations.
/// Orientation 1: data is n x p; otherwise p x n, read transposed. Missing
/// values (-999) in data are skipped. vectors n x n, values n, scores at least
/// nAxes x (n or p). ok receives the eigen decomposition's result. Returns 1.
int OrdinationLib_D(int n, int p, const Matrix<double>& data, const Matrix<double>& rese,
                    Matrix<double>& vectors, Matrix<double>& scores, int& nAxes, double* values, bool& ok,
                    int method, int kind, int orientation, OrdinationWork& work);
int OrdinationLib_D(int n, int p, const Matrix<double>& data, const Matrix<double>& rese,
                    Matrix<double>& vectors, Matrix<double>& scores, int& nAxes, double* values, bool& ok,
                    int method, int kind, int orientation);
/// OrdinationLib_D with the vectors and values kept in work; returns the number
/// of retained axes.
int OrdinationLib_Scores(int n, int p, const Matrix<double>& data, const Matrix<double>& rese,
                         Matrix<double>& scores, int method, int kind, int orientation, OrdinationWork& work);
int OrdinationLib_Scores(int n, int p, const Matrix<double>& data, const Matrix<double>& rese,
                         Matrix<double>& scores, int method, int kind, int orientation);

/// n rows of p values whose columns have correlation R in expectation: Z (n x p
/// draws in row order; distribution 1: uniform - 0.5, 2: standard normal) times
/// the transposed Cholesky factor of R. A matrix that is not positive definite
/// ends the program (status 1) after "\ncholdc failed". Returns 1.
int CorrToData_New(Random& rnd, int n, int p, const Matrix<double>& R, Matrix<double>& out, int distribution);

/// Writes msg and the quit notice to standard error and ends the program with
/// status 1 (thrown as FatalError, caught at the top of the program).
[[noreturn]] void nrerror(const char* msg);

/// Sorts a[0..n-1] ascending and permutes b alongside (quicksort, insertion
/// below 7 elements; the element order among ties is that of this algorithm).
void sort2(int n, double* a, double* b);
/// Replaces the sorted values w[0..n-1] by their ranks (ties: mean rank); s =
/// sum of t^3 - t over the groups of t ties.
void crank(int n, double* w, double& s);
/// Cholesky factor of the positive definite a (n x n): lower part below the
/// diagonal of a, diagonal in p[0..n-1]. False after printing "\ncholdc failed"
/// to standard error when a pivot is not positive.
bool choldc(Matrix<double>& a, int n, double* p);
/// Gauss-Jordan elimination with full pivoting: a (n x n) becomes its inverse,
/// b (n x m) the solutions. A singular matrix ends the program (nrerror).
void gaussj(Matrix<double>& a, int n, Matrix<double>& b, int m);
/// The same; false for a singular matrix (a and b then hold partial results).
bool gaussj_QM(Matrix<double>& a, int n, Matrix<double>& b, int m);

}  // namespace kolvar

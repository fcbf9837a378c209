#pragma once
// Matrix correlations between two descriptions of the same n objects: Mantel
// (m) and Rd (r) on dissimilarities, Procrustes (p) and RV (v) on raw data, the
// partial forms that remove covariate matrices through principal-component
// regression, and the scalar first-order partial correlation.
// Dissimilarity entries equal to -999.0 are skipped pair by pair.

#include <span>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "QMLib/Ordination.hpp"
#include "stattests/Regression.hpp"

namespace kolvar {

/// Work space shared by the matrix correlations, grown on demand and reused:
/// the permutation test calls these routines many times per iteration.
struct MatrixCorrWork {
    Matrix<double> G1, G2, Ac, Bc, X, Y, Gp, U, V, D1, D2;
    std::vector<double> s, centring;
    SvdWork svd;
    // Partial forms.
    Matrix<double> K, RA, RB, Z, ZZ, scores, comps;
    OrdinationWork ordination;
    RegressionWork regression;
};

/// Dissimilarity form: m Mantel of DA, DB; r Rd of DA, DB (squared first when
/// squareDist); p Procrustes of A (n x p1), B (n x p2); v RV of A, B; any other
/// method 0.0.
double MatrixCorrelationLib(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B,
                            const Matrix<double>& DA, const Matrix<double>& DB, bool squareDist, char method,
                            MatrixCorrWork& work);
double MatrixCorrelationLib(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B,
                            const Matrix<double>& DA, const Matrix<double>& DB, bool squareDist, char method);
/// Similarity form: an input flagged as a similarity enters as 1 - s (-999.0
/// stays missing); one flagged as a dissimilarity enters unchanged.
double MatrixCorrelationLib(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B,
                            const Matrix<double>& SA, const Matrix<double>& SB, bool SAisDissim, bool SBisDissim,
                            bool squareDist, char method, MatrixCorrWork& work);
double MatrixCorrelationLib(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B,
                            const Matrix<double>& SA, const Matrix<double>& SB, bool SAisDissim, bool SBisDissim,
                            bool squareDist, char method);

/// Pearson correlation of the strict upper triangles (pairs with a missing
/// entry left out); 0.0 when n < 2 or either side does not vary.
double MatrixCorr(int n, const Matrix<double>& D1, const Matrix<double>& D2);
/// MatrixCorr of D1 with each matrix of D2 (out[k] for D2[k]), the same bits
/// as one call each. Without missing values one pass over the cells serves
/// every pair, so the sums of several correlations advance together.
/// complete[0] (D1) and complete[1 + k] (D2[k]), where given and true, say the
/// caller knows the upper triangle holds no missing value (it is not checked).
void MatrixCorrBatch(int n, const Matrix<double>& D1, std::span<const Matrix<double>* const> D2, double* out,
                     std::span<const bool> complete = {});
/// Pearson correlation of all cells of the Gower-centred matrices (upper
/// triangle with diagonal, mirrored; squared first when squareDist).
double RdMatrixCorr(int n, const Matrix<double>& D1, const Matrix<double>& D2, bool squareDist,
                    MatrixCorrWork& work);
double RdMatrixCorr(int n, const Matrix<double>& D1, const Matrix<double>& D2, bool squareDist);
/// RV coefficient of the column-centred A (n x p1) and B (n x p2); 0.0 when
/// either has no variance.
double RVcoeff(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B, MatrixCorrWork& work);
double RVcoeff(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B);
/// Procrustes statistic: sum of the singular values of X'Y / (n - 1) after
/// centring and scaling both to total variance 1; 0.0 when the decomposition fails.
double ProcrustesCoeff(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B,
                       MatrixCorrWork& work);
double ProcrustesCoeff(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B);
/// Sum over all i, j < n of M1[i][j] M2[i][j].
double vecProd(int n, const Matrix<double>& M1, const Matrix<double>& M2);

/// First-order partial correlation rXY.Z; 0.0 when rXZ or rYZ is within 1e-9 of
/// 1 or of -1 (the controlled variable explains one side entirely).
double PartialCorrelation(double rXY, double rXZ, double rYZ);

/// One covariate matrix of a partial matrix correlation: its column count, the
/// columns taken (select[j] = 1; all when null) and the n x ncols matrix.
struct CovariateSet {
    int ncols = 0;
    const int* select = nullptr;
    const Matrix<double>* m = nullptr;
};
/// Partial RV (method 3) or Procrustes (method 2) statistic of A and B after
/// removing the covariates of every set (principal-component regression with at
/// most (n - 2) / overfitFactor components); any other method 0.0.
double PartialMatrixCorrelation(double overfitFactor, int n, int p1, int p2, const Matrix<double>& A,
                                const Matrix<double>& B, int method, std::span<const CovariateSet> sets,
                                MatrixCorrWork& work);
double PartialMatrixCorrelation(double overfitFactor, int n, int p1, int p2, const Matrix<double>& A,
                                const Matrix<double>& B, int method, std::span<const CovariateSet> sets);

/// residuals (n x p) = Y minus its fit on the principal components of the
/// selected columns of K (n x q; all when select is null); mode 1 covariance,
/// mode 2 correlation components, other modes none. Returns 1.
int PCA_Regression_ResidualsSelect(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& K,
                                   Matrix<double>& residuals, const int* select, int mode,
                                   double overfitFactor, MatrixCorrWork& work);
int PCA_Regression_ResidualsSelect(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& K,
                                   Matrix<double>& residuals, const int* select, int mode,
                                   double overfitFactor);

/// Ainv = inverse of the n x n matrix A by Gauss-Jordan elimination; 1 on
/// success, 0 for a singular A (Ainv then untouched). m is the column count (= n).
int MatrixInverse(int n, int m, const Matrix<double>& A, Matrix<double>& Ainv);

}  // namespace kolvar

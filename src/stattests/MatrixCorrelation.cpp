#include "stattests/MatrixCorrelation.hpp"

#include <algorithm>
#include <cmath>

#include "QMLib/Kernels.hpp"
#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"

namespace kolvar {

namespace {

void EnsureSize(Matrix<double>& m, int rows, int cols) {
    rows = rows > 0 ? rows : 0;
    cols = cols > 0 ? cols : 0;
    if (m.rows() != static_cast<std::size_t>(rows) || m.cols() != static_cast<std::size_t>(cols))
        m.assign(static_cast<std::size_t>(rows), static_cast<std::size_t>(cols));
}

// Pearson correlation over the cells (i, j) of the square matrices with j from
// first(i) to n - 1, leaving out cells where either value is missing.
template <class FirstColumn>
double PearsonCells(int n, const Matrix<double>& X, const Matrix<double>& Y, FirstColumn first) {
    double sx = 0.0, sy = 0.0;
    long long m = 0;
    for (int i = 0; i < n; ++i)
        for (int j = first(i); j < n; ++j) {
            const double x = X[i][j], y = Y[i][j];
            if (x == kMissing || y == kMissing) continue;
            sx += x;
            sy += y;
            ++m;
        }
    if (m == 0) return 0.0;
    const double mx = sx / m, my = sy / m;
    double sxx = 0.0, syy = 0.0, sxy = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = first(i); j < n; ++j) {
            const double x = X[i][j], y = Y[i][j];
            if (x == kMissing || y == kMissing) continue;
            sxx += (x - mx) * (x - mx);
            syy += (y - my) * (y - my);
            sxy += (x - mx) * (y - my);
        }
    if (sxx == 0.0 || syy == 0.0) return 0.0;
    return sxy / std::sqrt(sxx * syy);
}

// Scalar product of rows i and j over the columns where both are present.
inline double RowDot(int p, const double* a, const double* b) {
    double sum = 0.0;
    for (int k = 0; k < p; ++k)
        if (a[k] != kMissing && b[k] != kMissing) sum += a[k] * b[k];
    return sum;
}

void ToDissimilarity(int n, const Matrix<double>& S, bool isDissim, Matrix<double>& out) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double s = S[i][j];
            out[i][j] = (isDissim || s == kMissing) ? s : 1.0 - s;
        }
}

}  // namespace

double MatrixCorrelationLib(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B,
                            const Matrix<double>& DA, const Matrix<double>& DB, bool squareDist, char method,
                            MatrixCorrWork& work) {
    switch (method) {
        case 'm': return MatrixCorr(n, DA, DB);
        case 'r': return RdMatrixCorr(n, DA, DB, squareDist, work);
        case 'p': return ProcrustesCoeff(n, p1, p2, A, B, work);
        case 'v': return RVcoeff(n, p1, p2, A, B, work);
        default: return 0.0;
    }
}

double MatrixCorrelationLib(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B,
                            const Matrix<double>& DA, const Matrix<double>& DB, bool squareDist, char method) {
    MatrixCorrWork work;
    return MatrixCorrelationLib(n, p1, p2, A, B, DA, DB, squareDist, method, work);
}

double MatrixCorrelationLib(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B,
                            const Matrix<double>& SA, const Matrix<double>& SB, bool SAisDissim, bool SBisDissim,
                            bool squareDist, char method, MatrixCorrWork& work) {
    if (SAisDissim && SBisDissim) return MatrixCorrelationLib(n, p1, p2, A, B, SA, SB, squareDist, method, work);
    EnsureSize(work.D1, n, n);
    EnsureSize(work.D2, n, n);
    ToDissimilarity(n, SA, SAisDissim, work.D1);
    ToDissimilarity(n, SB, SBisDissim, work.D2);
    return MatrixCorrelationLib(n, p1, p2, A, B, work.D1, work.D2, squareDist, method, work);
}

double MatrixCorrelationLib(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B,
                            const Matrix<double>& SA, const Matrix<double>& SB, bool SAisDissim, bool SBisDissim,
                            bool squareDist, char method) {
    MatrixCorrWork work;
    return MatrixCorrelationLib(n, p1, p2, A, B, SA, SB, SAisDissim, SBisDissim, squareDist, method, work);
}

double MatrixCorr(int n, const Matrix<double>& D1, const Matrix<double>& D2) {
    if (n < 2) return 0.0;
    return PearsonCells(n, D1, D2, [](int i) { return i + 1; });
}

namespace {

// K correlations of D1 over the upper triangle: each sum is that of
// PearsonCells, added in the same cell order; the K + 1 running sums are
// independent, so they advance side by side. Returns false, with nothing
// written, when a cell of any matrix is missing (the cells left out would
// then differ from pair to pair).
template <int K>
bool PearsonCellsBatch(int n, const Matrix<double>& D1, const Matrix<double>* const* D2, double* out,
                       const bool* complete) {
    if (!complete[0] && AnyInUpper(n, D1.rowTable(), kMissing)) return false;
    for (int k = 0; k < K; ++k)
        if (!complete[k + 1] && AnyInUpper(n, D2[k]->rowTable(), kMissing)) return false;
    double sx = 0.0, sy[K] = {};
    long long m = 0;
    for (int i = 0; i < n; ++i) {
        const double* x = D1.row(static_cast<std::size_t>(i));
        const double* y[K];
        for (int k = 0; k < K; ++k) y[k] = D2[k]->row(static_cast<std::size_t>(i));
        for (int j = i + 1; j < n; ++j) {
            sx += x[j];
            for (int k = 0; k < K; ++k) sy[k] += y[k][j];
        }
        m += n - i - 1;
    }
    if (m == 0) {
        for (int k = 0; k < K; ++k) out[k] = 0.0;
        return true;
    }
    const double mx = sx / m;
    double my[K], sxx = 0.0, syy[K] = {}, sxy[K] = {};
    for (int k = 0; k < K; ++k) my[k] = sy[k] / m;
    for (int i = 0; i < n; ++i) {
        const double* x = D1.row(static_cast<std::size_t>(i));
        const double* y[K];
        for (int k = 0; k < K; ++k) y[k] = D2[k]->row(static_cast<std::size_t>(i));
        for (int j = i + 1; j < n; ++j) {
            const double dx = x[j] - mx;
            sxx += dx * dx;
            for (int k = 0; k < K; ++k) {
                const double dy = y[k][j] - my[k];
                syy[k] += dy * dy;
                sxy[k] += dx * dy;
            }
        }
    }
    for (int k = 0; k < K; ++k) out[k] = (sxx == 0.0 || syy[k] == 0.0) ? 0.0 : sxy[k] / std::sqrt(sxx * syy[k]);
    return true;
}

}  // namespace

void MatrixCorrBatch(int n, const Matrix<double>& D1, std::span<const Matrix<double>* const> D2, double* out,
                     std::span<const bool> complete) {
    // Groups of up to four; a group holding a missing value goes one by one.
    for (std::size_t first = 0; first < D2.size(); first += 4) {
        const std::size_t size = std::min<std::size_t>(4, D2.size() - first);
        const Matrix<double>* const* group = D2.data() + first;
        double* values = out + first;
        bool known[5] = {!complete.empty() && complete[0]};
        for (std::size_t k = 0; k < size; ++k) known[k + 1] = complete.size() > first + k + 1 && complete[first + k + 1];
        bool done = n >= 2;
        if (done) {
            switch (size) {
            case 1: done = PearsonCellsBatch<1>(n, D1, group, values, known); break;
            case 2: done = PearsonCellsBatch<2>(n, D1, group, values, known); break;
            case 3: done = PearsonCellsBatch<3>(n, D1, group, values, known); break;
            default: done = PearsonCellsBatch<4>(n, D1, group, values, known); break;
            }
        }
        if (!done)
            for (std::size_t k = 0; k < size; ++k) values[k] = MatrixCorr(n, D1, *group[k]);
    }
}

double RdMatrixCorr(int n, const Matrix<double>& D1, const Matrix<double>& D2, bool squareDist,
                    MatrixCorrWork& work) {
    if (n < 1) return 0.0;
    EnsureSize(work.G1, n, n);
    EnsureSize(work.G2, n, n);
    GowerMatrixCentering(n, D1, work.G1, squareDist, work.centring);
    GowerMatrixCentering(n, D2, work.G2, squareDist, work.centring);
    return PearsonCells(n, work.G1, work.G2, [](int) { return 0; });
}

double RdMatrixCorr(int n, const Matrix<double>& D1, const Matrix<double>& D2, bool squareDist) {
    MatrixCorrWork work;
    return RdMatrixCorr(n, D1, D2, squareDist, work);
}

double vecProd(int n, const Matrix<double>& M1, const Matrix<double>& M2) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const double* a = M1.row(i);
        const double* b = M2.row(i);
        for (int j = 0; j < n; ++j) sum += a[j] * b[j];
    }
    return sum;
}

double RVcoeff(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B, MatrixCorrWork& work) {
    if (n < 1) return 0.0;
    EnsureSize(work.Ac, n, p1);
    EnsureSize(work.Bc, n, p2);
    CenterColsMV(n, p1, A, work.Ac);
    CenterColsMV(n, p2, B, work.Bc);
    // The cross products S = Ac Ac' and T = Bc Bc' are formed cell by cell and
    // consumed at once: the three sums run over the cells in the row-major order
    // of vecProd(S, T), vecProd(S, S) and vecProd(T, T), so the result is the
    // same to the bit without keeping two n x n matrices.
    double st = 0.0, ss = 0.0, tt = 0.0;
    for (int i = 0; i < n; ++i) {
        const double* ai = work.Ac.row(i);
        const double* bi = work.Bc.row(i);
        for (int j = 0; j < n; ++j) {
            const double s = RowDot(p1, ai, work.Ac.row(j));
            const double t = RowDot(p2, bi, work.Bc.row(j));
            st += s * t;
            ss += s * s;
            tt += t * t;
        }
    }
    const double den = std::sqrt(ss * tt);
    // A side without variance leaves the coefficient undefined; report no agreement.
    if (!(den > 0)) return 0.0;
    return st / den;
}

double RVcoeff(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B) {
    MatrixCorrWork work;
    return RVcoeff(n, p1, p2, A, B, work);
}

double ProcrustesCoeff(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B,
                       MatrixCorrWork& work) {
    if (n < 2 || p1 < 1 || p2 < 1) return 0.0;
    const int q = p1 <= p2 ? p1 : p2;
    const int p = p1 <= p2 ? p2 : p1;
    const Matrix<double>& X0 = p1 <= p2 ? A : B;
    const Matrix<double>& Y0 = p1 <= p2 ? B : A;
    EnsureSize(work.X, n, q);
    EnsureSize(work.Y, n, p);
    CenterColsMV(n, q, X0, work.X);
    CenterColsMV(n, p, Y0, work.Y);
    GowerStandardizationCols(n, q, work.X, work.X);
    GowerStandardizationCols(n, p, work.Y, work.Y);

    EnsureSize(work.Gp, p, p);
    work.Gp.clear();
    for (int a = 0; a < q; ++a)
        for (int b = 0; b < p; ++b) {
            double sum = 0.0;
            for (int i = 0; i < n; ++i) {
                const double x = work.X[i][a], y = work.Y[i][b];
                if (x != kMissing && y != kMissing) sum += x * y;
            }
            work.Gp[a][b] = sum / (n - 1);
        }
    EnsureSize(work.U, p, p);
    EnsureSize(work.V, p, p);
    work.s.resize(static_cast<std::size_t>(p));
    if (!SingValueDecomp(p, p, work.Gp, work.U, work.s.data(), work.V, work.svd)) return 0.0;
    double trace = 0.0;
    for (int k = 0; k < p; ++k) trace += work.s[k];
    return trace;
}

double ProcrustesCoeff(int n, int p1, int p2, const Matrix<double>& A, const Matrix<double>& B) {
    MatrixCorrWork work;
    return ProcrustesCoeff(n, p1, p2, A, B, work);
}

double PartialCorrelation(double rXY, double rXZ, double rYZ) {
    // A unit correlation (of either sign) with the controlled variable leaves
    // nothing to correlate: the formula would divide by zero.
    if (AlmostEqual_Tolerance(std::fabs(rXZ), 1.0, 1e-9) || AlmostEqual_Tolerance(std::fabs(rYZ), 1.0, 1e-9))
        return 0.0;
    return (rXY - rXZ * rYZ) / (std::sqrt(1.0 - rXZ * rXZ) * std::sqrt(1.0 - rYZ * rYZ));
}

int PCA_Regression_ResidualsSelect(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& K,
                                   Matrix<double>& residuals, const int* select, int mode,
                                   double overfitFactor, MatrixCorrWork& work) {
    int k = 0;
    for (int j = 0; j < q; ++j)
        if (!select || select[j] == 1) ++k;
    EnsureSize(work.Z, k, n);
    for (int j = 0, a = 0; j < q; ++j) {
        if (select && select[j] != 1) continue;
        for (int i = 0; i < n; ++i) work.Z[a][i] = K[i][j];
        ++a;
    }

    int c = 0;
    if (k > 0 && (mode == 1 || mode == 2)) {
        if (mode == 1) {
            CenterRowsCovMV(k, n, work.Z, work.Z);
        } else {
            CenterRowsMV(k, n, work.Z, work.Z);
            NormalizeRowsMV(k, n, work.Z, work.Z);
        }
        EnsureSize(work.ZZ, k, k);
        for (int a = 0; a < k; ++a)
            for (int b = a; b < k; ++b) {
                double sum = 0.0;
                for (int i = 0; i < n; ++i) {
                    const double x = work.Z[a][i], y = work.Z[b][i];
                    if (x != kMissing && y != kMissing) sum += x * y;
                }
                work.ZZ[a][b] = sum;
                work.ZZ[b][a] = sum;
            }
        EnsureSize(work.scores, k, n);
        // Component scores of the n objects from the k x k cross products; the
        // covariates are stored k x n, the orientation of the ordination's data.
        c = OrdinationLib_Scores(k, n, work.Z, work.ZZ, work.scores, 2, mode == 1 ? 1 : 17, 1,
                                 work.ordination);
    }
    const double f = (n - 2) / overfitFactor;
    if (f < c) c = static_cast<int>(f);
    if (c < 0) c = 0;

    EnsureSize(work.comps, n, c);
    for (int i = 0; i < n; ++i)
        for (int a = 0; a < c; ++a) work.comps[i][a] = work.scores[a][i];
    Regression_ResidualsSelect(n, p, c, Y, work.comps, residuals, nullptr, work.regression);
    return 1;
}

int PCA_Regression_ResidualsSelect(int n, int p, int q, const Matrix<double>& Y, const Matrix<double>& K,
                                   Matrix<double>& residuals, const int* select, int mode,
                                   double overfitFactor) {
    MatrixCorrWork work;
    return PCA_Regression_ResidualsSelect(n, p, q, Y, K, residuals, select, mode, overfitFactor, work);
}

double PartialMatrixCorrelation(double overfitFactor, int n, int p1, int p2, const Matrix<double>& A,
                                const Matrix<double>& B, int method, std::span<const CovariateSet> sets,
                                MatrixCorrWork& work) {
    if (method != 2 && method != 3) return 0.0;
    int k = 0;
    for (const CovariateSet& set : sets)
        for (int j = 0; j < set.ncols; ++j)
            if (!set.select || set.select[j] == 1) ++k;
    EnsureSize(work.K, n, k);
    int col = 0;
    for (const CovariateSet& set : sets)
        for (int j = 0; j < set.ncols; ++j) {
            if (set.select && set.select[j] != 1) continue;
            for (int i = 0; i < n; ++i) work.K[i][col] = (*set.m)[i][j];
            ++col;
        }
    EnsureSize(work.RA, n, p1);
    EnsureSize(work.RB, n, p2);
    PCA_Regression_ResidualsSelect(n, p1, k, A, work.K, work.RA, nullptr, 2, overfitFactor, work);
    PCA_Regression_ResidualsSelect(n, p2, k, B, work.K, work.RB, nullptr, 2, overfitFactor, work);
    return method == 3 ? RVcoeff(n, p1, p2, work.RA, work.RB, work)
                       : ProcrustesCoeff(n, p1, p2, work.RA, work.RB, work);
}

double PartialMatrixCorrelation(double overfitFactor, int n, int p1, int p2, const Matrix<double>& A,
                                const Matrix<double>& B, int method, std::span<const CovariateSet> sets) {
    MatrixCorrWork work;
    return PartialMatrixCorrelation(overfitFactor, n, p1, p2, A, B, method, sets, work);
}

int MatrixInverse(int n, int m, const Matrix<double>& A, Matrix<double>& Ainv) {
    Matrix<double> a(static_cast<std::size_t>(n), static_cast<std::size_t>(m));
    Matrix<double> b(static_cast<std::size_t>(n), 1);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j) a[i][j] = A[i][j];
    if (!gaussj_QM(a, n, b, 0)) return 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j) Ainv[i][j] = a[i][j];
    return 1;
}

}  // namespace kolvar

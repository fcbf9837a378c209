#include "QMLib/Ordination.hpp"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_randist.h>

#include <array>
#include <cmath>
#include <iostream>

#include "base/Fatal.hpp"
#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"
#include "QMLib/Random.hpp"

namespace kolvar {

namespace {

template <class T>
void EnsureSize(Matrix<T>& m, int rows, int cols) {
    if (m.rows() != static_cast<std::size_t>(rows) || m.cols() != static_cast<std::size_t>(cols))
        m.assign(static_cast<std::size_t>(rows), static_cast<std::size_t>(cols));
}

void EnsureSize(std::vector<double>& v, int n) {
    if (v.size() != static_cast<std::size_t>(n)) v.assign(static_cast<std::size_t>(n), 0.0);
}

gsl_matrix* CheckedMatrix(gsl_matrix* m) {
    if (!m) OutOfMemory();
    return m;
}
gsl_vector* CheckedVector(gsl_vector* v) {
    if (!v) OutOfMemory();
    return v;
}

// Resemblance options whose values grow with likeness (similarities and cross
// products); every other option is a distance.
bool IsSimilarityKind(int kind) {
    switch (kind) {
        case 1: case 5: case 6: case 7: case 9: case 10: case 11: case 12: case 13:
        case 14: case 15: case 16: case 17: case 19: case 22:
            return true;
        default:
            return false;
    }
}

bool GaussJordan(Matrix<double>& a, int n, Matrix<double>& b, int m, const char** failure, int* indxc,
                 int* indxr, int* ipiv) {
    for (int j = 0; j < n; ++j) ipiv[j] = 0;
    for (int i = 0; i < n; ++i) {
        double big = 0.0;
        int irow = -1, icol = -1;
        for (int j = 0; j < n; ++j) {
            if (ipiv[j] == 1) continue;
            for (int k = 0; k < n; ++k) {
                if (ipiv[k] == 0) {
                    if (std::fabs(a[j][k]) >= big) {
                        big = std::fabs(a[j][k]);
                        irow = j;
                        icol = k;
                    }
                } else if (ipiv[k] > 1) {
                    *failure = "gaussj: Singular Matrix-1";
                    return false;
                }
            }
        }
        // Only not-a-number entries leave no pivot candidate at all.
        if (icol < 0) {
            *failure = "gaussj: Singular Matrix-2";
            return false;
        }
        ++ipiv[icol];
        if (irow != icol) {
            for (int l = 0; l < n; ++l) std::swap(a[irow][l], a[icol][l]);
            for (int l = 0; l < m; ++l) std::swap(b[irow][l], b[icol][l]);
        }
        indxr[i] = irow;
        indxc[i] = icol;
        if (a[icol][icol] == 0.0) {
            *failure = "gaussj: Singular Matrix-2";
            return false;
        }
        const double pivinv = 1.0 / a[icol][icol];
        a[icol][icol] = 1.0;
        for (int l = 0; l < n; ++l) a[icol][l] *= pivinv;
        for (int l = 0; l < m; ++l) b[icol][l] *= pivinv;
        for (int ll = 0; ll < n; ++ll) {
            if (ll == icol) continue;
            const double dum = a[ll][icol];
            a[ll][icol] = 0.0;
            for (int l = 0; l < n; ++l) a[ll][l] -= a[icol][l] * dum;
            for (int l = 0; l < m; ++l) b[ll][l] -= b[icol][l] * dum;
        }
    }
    for (int l = n - 1; l >= 0; --l)
        if (indxr[l] != indxc[l])
            for (int k = 0; k < n; ++k) std::swap(a[k][indxr[l]], a[k][indxc[l]]);
    return true;
}

// Small systems (the usual case) keep their index arrays on the stack.
bool GaussJordan(Matrix<double>& a, int n, Matrix<double>& b, int m, const char** failure) {
    constexpr int kSmall = 64;
    if (n <= kSmall) {
        std::array<int, kSmall> c{}, r{}, piv{};
        return GaussJordan(a, n, b, m, failure, c.data(), r.data(), piv.data());
    }
    std::vector<int> c(static_cast<std::size_t>(n)), r(c.size()), piv(c.size());
    return GaussJordan(a, n, b, m, failure, c.data(), r.data(), piv.data());
}

}  // namespace

void EigenWork::Ensure(int size) {
    if (size == n && a) return;
    a.reset(CheckedMatrix(gsl_matrix_alloc(size, size)));
    evec.reset(CheckedMatrix(gsl_matrix_alloc(size, size)));
    eval.reset(CheckedVector(gsl_vector_alloc(size)));
    w.reset(gsl_eigen_symmv_alloc(size));
    if (!w) OutOfMemory();
    n = size;
}

void SvdWork::Ensure(int rows, int cols) {
    if (rows == n && cols == p && a) return;
    a.reset(CheckedMatrix(gsl_matrix_alloc(rows, cols)));
    v.reset(CheckedMatrix(gsl_matrix_alloc(cols, cols)));
    s.reset(CheckedVector(gsl_vector_alloc(cols)));
    work.reset(CheckedVector(gsl_vector_alloc(cols)));
    n = rows;
    p = cols;
}

bool EigenHouseholderQL_GSL_D(int n, const Matrix<double>& A, Matrix<double>& vectors, double* values,
                              EigenWork& work) {
    if (n < 1) return true;
    work.Ensure(n);
    // Read from the upper triangle, the half every resemblance routine fills.
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
            gsl_matrix_set(work.a.get(), i, j, A[i][j]);
            gsl_matrix_set(work.a.get(), j, i, A[i][j]);
        }
    gsl_eigen_symmv(work.a.get(), work.eval.get(), work.evec.get(), work.w.get());
    gsl_eigen_symmv_sort(work.eval.get(), work.evec.get(), GSL_EIGEN_SORT_VAL_DESC);
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        values[k] = gsl_vector_get(work.eval.get(), k);
        sum += values[k];
        for (int i = 0; i < n; ++i) vectors[k][i] = gsl_matrix_get(work.evec.get(), i, k);
    }
    for (int k = 0; k < n; ++k)
        if (values[k] / sum < -0.001) return false;
    return true;
}

bool EigenHouseholderQL_GSL_D(int n, const Matrix<double>& A, Matrix<double>& vectors, double* values) {
    EigenWork work;
    return EigenHouseholderQL_GSL_D(n, A, vectors, values, work);
}

bool SingValueDecomp(int n, int p, const Matrix<double>& A, Matrix<double>& U, double* s, Matrix<double>& V,
                     SvdWork& work) {
    if (n < 1 || p < 1 || n < p) return false;  // GSL needs at least as many rows as columns
    work.Ensure(n, p);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) gsl_matrix_set(work.a.get(), i, j, A[i][j]);
    if (gsl_linalg_SV_decomp(work.a.get(), work.v.get(), work.s.get(), work.work.get()) != GSL_SUCCESS)
        return false;
    double sum = 0.0;
    for (int j = 0; j < p; ++j) {
        s[j] = gsl_vector_get(work.s.get(), j);
        sum += s[j];
    }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) U[i][j] = gsl_matrix_get(work.a.get(), i, j);
    for (int i = 0; i < p; ++i)
        for (int j = 0; j < p; ++j) V[i][j] = gsl_matrix_get(work.v.get(), i, j);
    for (int j = 0; j < p; ++j)
        if (s[j] / sum < -0.001) return false;
    return true;
}

bool SingValueDecomp(int n, int p, const Matrix<double>& A, Matrix<double>& U, double* s, Matrix<double>& V) {
    SvdWork work;
    return SingValueDecomp(n, p, A, U, s, V, work);
}

int OrdinationLib_D(int n, int p, const Matrix<double>& data, const Matrix<double>& rese,
                    Matrix<double>& vectors, Matrix<double>& scores, int& nAxes, double* values, bool& ok,
                    int method, int kind, int orientation, OrdinationWork& work) {
    nAxes = 0;
    ok = true;
    if (n < 1) return 1;
    EnsureSize(work.centred, n, n);
    if (method == 1) {
        EnsureSize(work.sq, n, n);
        if (IsSimilarityKind(kind)) {
            ProdToSqDist(n, rese, work.sq);
            MirrorUpper(n, work.sq);
        } else {
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) work.sq[i][j] = rese[i][j] * rese[i][j];
        }
        DissToCenterProdMatrix(n, work.sq, work.centred, true, work.centring);
        MirrorUpper(n, work.centred);
    } else {
        // Element copy into the kept buffer: no allocation when the size repeats.
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) work.centred[i][j] = rese[i][j];
    }

    ok = EigenHouseholderQL_GSL_D(n, work.centred, vectors, values, work.eigen);

    double positive = 0.0;
    for (int k = 0; k < n; ++k)
        if (values[k] > 0) positive += values[k];
    for (int k = 0; k < n; ++k)
        if (values[k] * 100.0 / positive > 1e-6) ++nAxes;

    if (method == 1) {
        for (int k = 0; k < nAxes; ++k) {
            double ss = 0.0;
            for (int i = 0; i < n; ++i) ss += vectors[k][i] * vectors[k][i];
            const double f = std::sqrt(values[k] / ss);
            for (int i = 0; i < n; ++i) scores[k][i] = vectors[k][i] * f;
        }
        return 1;
    }
    if (method != 2 && method != 3) return 1;

    EnsureSize(work.data, n, p);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) work.data[i][j] = orientation == 1 ? data[i][j] : data[j][i];
    Matrix<double>& d = work.data;

    if (method == 2) {
        for (int k = 0; k < nAxes; ++k) {
            double ss = 0.0;
            for (int i = 0; i < n; ++i) ss += vectors[k][i] * vectors[k][i];
            const double norm = std::sqrt(ss);
            if (norm > 0)
                for (int i = 0; i < n; ++i) vectors[k][i] /= norm;
        }
        if (kind == 22 || kind == 17) CenterRowsMV(n, p, d, d);
        if (kind == 17) NormalizeRowsMV(n, p, d, d);
        for (int k = 0; k < nAxes; ++k)
            for (int j = 0; j < p; ++j) {
                double sum = 0.0;
                for (int i = 0; i < n; ++i)
                    if (d[i][j] != kMissing) sum += d[i][j] * vectors[k][i];
                scores[k][j] = sum;
            }
        return 1;
    }

    EnsureSize(work.rowTotals, n);
    EnsureSize(work.colTotals, p);
    double total = 0.0;
    std::fill(work.rowTotals.begin(), work.rowTotals.end(), 0.0);
    std::fill(work.colTotals.begin(), work.colTotals.end(), 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j)
            if (d[i][j] != kMissing) {
                work.rowTotals[i] += d[i][j];
                work.colTotals[j] += d[i][j];
                total += d[i][j];
            }
    for (int k = 0; k < nAxes; ++k) {
        for (int i = 0; i < n; ++i)
            if (work.rowTotals[i] > 0) vectors[k][i] *= std::sqrt(total / work.rowTotals[i]);
        const double root = std::sqrt(values[k]);
        for (int j = 0; j < p; ++j) {
            if (!(work.colTotals[j] > 0)) continue;
            double sum = 0.0;
            for (int i = 0; i < n; ++i)
                if (d[i][j] != kMissing) sum += d[i][j] * vectors[k][i] / (work.colTotals[j] * root);
            scores[k][j] = sum;
        }
    }
    return 1;
}

int OrdinationLib_D(int n, int p, const Matrix<double>& data, const Matrix<double>& rese,
                    Matrix<double>& vectors, Matrix<double>& scores, int& nAxes, double* values, bool& ok,
                    int method, int kind, int orientation) {
    OrdinationWork work;
    return OrdinationLib_D(n, p, data, rese, vectors, scores, nAxes, values, ok, method, kind, orientation, work);
}

int OrdinationLib_Scores(int n, int p, const Matrix<double>& data, const Matrix<double>& rese,
                         Matrix<double>& scores, int method, int kind, int orientation, OrdinationWork& work) {
    if (n < 1) return 0;
    EnsureSize(work.vectors, n, n);
    EnsureSize(work.values, n);
    int nAxes = 0;
    bool ok = true;
    OrdinationLib_D(n, p, data, rese, work.vectors, scores, nAxes, work.values.data(), ok, method, kind,
                    orientation, work);
    return nAxes;
}

int OrdinationLib_Scores(int n, int p, const Matrix<double>& data, const Matrix<double>& rese,
                         Matrix<double>& scores, int method, int kind, int orientation) {
    OrdinationWork work;
    return OrdinationLib_Scores(n, p, data, rese, scores, method, kind, orientation, work);
}

int CorrToData_New(Random& rnd, int n, int p, const Matrix<double>& R, Matrix<double>& out, int distribution) {
    Matrix<double> factor = R;
    std::vector<double> diag(static_cast<std::size_t>(p > 0 ? p : 0));
    if (!choldc(factor, p, diag.data())) throw FatalError{FatalCode::Stop};  // status 1, message printed
    // Lower factor L with its diagonal; out = Z L'.
    for (int i = 0; i < p; ++i) {
        factor[i][i] = diag[i];
        for (int j = i + 1; j < p; ++j) factor[i][j] = 0.0;
    }
    std::vector<double> z(diag.size());
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < p; ++j)
            z[j] = distribution == 2 ? gsl_ran_gaussian(rnd.get(), 1.0) : gsl_rng_uniform(rnd.get()) - 0.5;
        for (int j = 0; j < p; ++j) {
            double sum = 0.0;
            for (int k = 0; k <= j; ++k) sum += z[k] * factor[j][k];
            out[i][j] = sum;
        }
    }
    return 1;
}

void nrerror(const char* msg) {
    std::cerr << msg << "\nSorry, you have to quit and restart the program.\n";
    // The program ends with status 1 on this code; the message is already out.
    throw FatalError{FatalCode::Stop};
}

void sort2(int n, double* arr, double* brr) {
    constexpr int M = 7, NSTACK = 50;
    std::array<int, NSTACK + 1> istack{};
    int ir = n - 1, l = 0, jstack = 0;
    for (;;) {
        if (ir - l < M) {
            for (int j = l + 1; j <= ir; ++j) {
                const double a = arr[j], b = brr[j];
                int i = j - 1;
                for (; i >= l; --i) {
                    if (arr[i] <= a) break;
                    arr[i + 1] = arr[i];
                    brr[i + 1] = brr[i];
                }
                arr[i + 1] = a;
                brr[i + 1] = b;
            }
            if (jstack == 0) return;
            ir = istack[jstack];
            l = istack[jstack - 1];
            jstack -= 2;
        } else {
            const int k = (l + ir) >> 1;
            std::swap(arr[k], arr[l + 1]);
            std::swap(brr[k], brr[l + 1]);
            if (arr[l] > arr[ir]) {
                std::swap(arr[l], arr[ir]);
                std::swap(brr[l], brr[ir]);
            }
            if (arr[l + 1] > arr[ir]) {
                std::swap(arr[l + 1], arr[ir]);
                std::swap(brr[l + 1], brr[ir]);
            }
            if (arr[l] > arr[l + 1]) {
                std::swap(arr[l], arr[l + 1]);
                std::swap(brr[l], brr[l + 1]);
            }
            int i = l + 1, j = ir;
            const double a = arr[l + 1], b = brr[l + 1];
            for (;;) {
                do ++i; while (arr[i] < a);
                do --j; while (arr[j] > a);
                if (j < i) break;
                std::swap(arr[i], arr[j]);
                std::swap(brr[i], brr[j]);
            }
            arr[l + 1] = arr[j];
            arr[j] = a;
            brr[l + 1] = brr[j];
            brr[j] = b;
            jstack += 2;
            if (jstack > NSTACK) nrerror("NSTACK too small in sort2.");
            if (ir - i + 1 >= j - l) {
                istack[jstack] = ir;
                istack[jstack - 1] = i;
                ir = j - 1;
            } else {
                istack[jstack] = j - 1;
                istack[jstack - 1] = l;
                l = i;
            }
        }
    }
}

void crank(int n, double* w, double& s) {
    // Ranks are 1-based; position j (1-based) is w[j - 1].
    s = 0.0;
    int j = 1;
    while (j < n) {
        if (w[j] != w[j - 1]) {
            w[j - 1] = j;
            ++j;
        } else {
            int jt = j + 1;
            while (jt <= n && w[jt - 1] == w[j - 1]) ++jt;
            const double rank = 0.5 * (j + jt - 1);
            for (int ji = j; ji <= jt - 1; ++ji) w[ji - 1] = rank;
            const double t = jt - j;
            s += t * t * t - t;
            j = jt;
        }
    }
    if (j == n) w[n - 1] = n;
}

bool choldc(Matrix<double>& a, int n, double* p) {
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
            double sum = a[i][j];
            for (int k = i - 1; k >= 0; --k) sum -= a[i][k] * a[j][k];
            if (i == j) {
                if (sum <= 0.0) {
                    std::cerr << "\ncholdc failed";
                    return false;
                }
                p[i] = std::sqrt(sum);
            } else {
                a[j][i] = sum / p[i];
            }
        }
    return true;
}

void gaussj(Matrix<double>& a, int n, Matrix<double>& b, int m) {
    const char* failure = nullptr;
    if (!GaussJordan(a, n, b, m, &failure)) nrerror(failure);
}

bool gaussj_QM(Matrix<double>& a, int n, Matrix<double>& b, int m) {
    const char* failure = nullptr;
    return GaussJordan(a, n, b, m, &failure);
}

}  // namespace kolvar

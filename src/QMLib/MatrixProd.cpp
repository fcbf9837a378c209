#include "QMLib/MatrixProd.hpp"

#include <algorithm>
#include <vector>

#include "QMLib/Kernels.hpp"
#include "QMLib/qmlibDim.hpp"

namespace kolvar {

int MatrixProd(int n, int m, int m2, int p, const Matrix<double>& A, const Matrix<double>& B,
               Matrix<double>& Res) {
    if (m != m2) return 1;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) {
            double sum = 0.0;
            for (int k = 0; k < m; ++k) sum += A[i][k] * B[k][j];
            Res[i][j] = sum;
        }
    return 0;
}

int MatrixProdMV(int n, int m, int m2, int p, const Matrix<double>& A, const Matrix<double>& B,
                 Matrix<double>& Res) {
    if (m != m2) return 1;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) {
            double sum = 0.0;
            int used = 0;
            for (int k = 0; k < m; ++k)
                if (A[i][k] != kMissing && B[k][j] != kMissing) {
                    sum += A[i][k] * B[k][j];
                    ++used;
                }
            Res[i][j] = used > 0 ? sum : kMissing;
        }
    return 0;
}

int MatrixProdTargetMV(int n, int m, int m2, int p, int target, const Matrix<double>& Bold,
                       const Matrix<double>& A, const Matrix<double>& Bnew, Matrix<double>& Res) {
    if (m != m2 || p <= target) return 1;
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < m; ++k) {
            if (A[i][k] == kMissing) continue;
            for (int j = 0; j < p; ++j) {
                if (j != target && k != target && j != k) continue;
                if (Bnew[k][j] == kMissing) continue;
                Res[i][j] = Res[i][j] - Bold[k][j] * A[i][k] + Bnew[k][j] * A[i][k];
            }
        }
    return 0;
}

namespace {

// Columns are processed in blocks whose sums live on the stack, so the inner
// loop walks rows of B contiguously. Each cell still adds its terms in
// ascending k, the order of a plain triple loop, so the bits do not change.
constexpr int kBlock = 64;

// The weight factor of term (k, j) for the two forms of the product.
struct PlainWeight {
    const int* w;
    double operator()(int k, int) const { return w ? w[k] : 1; }
};
struct PairWeight {
    const int* w;
    bool restrictWithin;
    double operator()(int k, int j) const {
        const int wk = w ? w[k] : 1, wj = w ? w[j] : 1;
        return restrictWithin ? wk * wj : ((wk == 1 || wj == 1) ? 1 : 0);
    }
};

template <class Weight>
void WeightedRow(int m, int p, const double* a, const Matrix<double>& B, double* res, const int* select,
                 const Weight& weight, bool rescaleNeedsTotal) {
    double total = 0.0;
    for (int k = 0; k < m; ++k)
        if (a[k] != kMissing) total += a[k];
    double sum[kBlock], used[kBlock];
    int terms[kBlock];
    for (int j0 = 0; j0 < p; j0 += kBlock) {
        const int j1 = std::min(p, j0 + kBlock);
        for (int j = j0; j < j1; ++j) {
            sum[j - j0] = 0.0;
            used[j - j0] = 0.0;
            terms[j - j0] = 0;
        }
        for (int k = 0; k < m; ++k) {
            const double ak = a[k];
            if (ak == kMissing) continue;
            const double* b = B.row(k);
            for (int j = j0; j < j1; ++j) {
                if (b[j] == kMissing) continue;
                sum[j - j0] += weight(k, j) * ak * b[j];
                used[j - j0] += ak;
                ++terms[j - j0];
            }
        }
        for (int j = j0; j < j1; ++j) {
            const int c = j - j0;
            if (select && select[j] != 1)
                res[j] = 0.0;
            else if (terms[c] == 0)
                res[j] = kMissing;
            else if (used[c] > 0 && (!rescaleNeedsTotal || total > 0))
                res[j] = sum[c] / (used[c] / total);
            else
                res[j] = sum[c];
        }
    }
}

}  // namespace

namespace {

bool AnyMissing(int rows, int cols, const Matrix<double>& m) {
    for (int k = 0; k < rows; ++k) {
        const double* r = m.row(k);
        for (int j = 0; j < cols; ++j)
            if (r[j] == kMissing) return true;
    }
    return false;
}

bool AllOnes(int n, const int* w) {
    if (!w) return true;
    for (int k = 0; k < n; ++k)
        if (w[k] != 1) return false;
    return true;
}

// Per-thread accumulators of one output row, grown once and then reused.
struct RowSums {
    std::vector<double> sum, used;
    std::vector<char> term;
    void Reset(int p) {
        sum.assign(static_cast<std::size_t>(p), 0.0);
        used.assign(static_cast<std::size_t>(p), 0.0);
        term.assign(static_cast<std::size_t>(p), 0);
    }
};

// Row i of a weighted product. The terms are accumulated OTU by OTU in
// ascending order, so every output cell adds exactly the terms of the plain
// column-by-column loop in the same order and gets the same bits; the loop
// over a row of B is contiguous and zero abundances (which add exact zeros)
// are skipped. factor(k, j) is the integer weight of term (k, j).
// Row k of the second factor is B.row(order ? order[k] - 1 : k).
template <class Factor>
void WeightedRow(int m, int p, const double* a, const Matrix<double>& B, const int* order, bool bHasMissing,
                 bool unitFactors, Factor factor, RowSums& acc) {
    acc.Reset(p);
    bool anyPresent = false;
    double usedAll = 0.0;
    for (int k = 0; k < m; ++k) {
        const double ak = a[k];
        if (ak == kMissing) continue;
        anyPresent = true;
        const double* bk = B.row(static_cast<std::size_t>(order ? order[k] - 1 : k));
        if (ak == 0.0) {
            if (bHasMissing)
                for (int j = 0; j < p; ++j)
                    if (bk[j] != kMissing) acc.term[j] = 1;
            continue;
        }
        double* sum = acc.sum.data();
        double* used = acc.used.data();
        if (!bHasMissing && unitFactors) {
            // Every column adds the same abundances in the same order: one sum
            // serves them all (spread out below).
            for (int j = 0; j < p; ++j) sum[j] += ak * bk[j];  // (1 * ak) * b is ak * b exactly
            usedAll += ak;
            continue;
        }
        for (int j = 0; j < p; ++j) {
            const double b = bk[j];
            if (b == kMissing) continue;
            sum[j] += static_cast<double>(factor(k, j)) * ak * b;
            used[j] += ak;
            acc.term[j] = 1;
        }
    }
    if (!bHasMissing && unitFactors) std::fill(acc.used.begin(), acc.used.end(), usedAll);
    if (!bHasMissing && anyPresent) std::fill(acc.term.begin(), acc.term.end(), 1);
}

// Parallel regions cost more than they save on small products (and idle
// workers spin against the working thread on a busy machine).
constexpr long long kParallelWork = 1LL << 19;
bool WorthThreads(int n, int m, int p) { return static_cast<long long>(n) * m * p >= kParallelWork; }

double RowTotal(int m, const double* a) {
    double total = 0.0;
    for (int k = 0; k < m; ++k)
        if (a[k] != kMissing) total += a[k];
    return total;
}

void RowTotals(int n, int m, const Matrix<double>& A, std::vector<double>& total, std::vector<char>& anyPresent) {
    total.resize(static_cast<std::size_t>(n));
    anyPresent.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double* a = A.row(static_cast<std::size_t>(i));
        total[static_cast<std::size_t>(i)] = RowTotal(m, a);
        anyPresent[static_cast<std::size_t>(i)] = std::any_of(a, a + m, [](double v) { return v != kMissing; });
    }
}

// The unweighted product when B holds no missing value: every column then adds
// the same abundances, so one sum of the non-zero abundances serves as the
// used total of every column; it equals the row total (adding a zero leaves a
// sum as it is), so both rescaling rules agree. The cells add their terms in
// ascending k as the row-by-row form does, the zero terms skipped alike.
void UnitProduct(int n, int m, int p, const Matrix<double>& A, const Matrix<double>& B, const int* order,
                 Matrix<double>& Res, const int* select, const CompositionRows* prepared) {
    thread_local std::vector<const double*> bRows;
    thread_local CompositionRows own;
    bRows.resize(static_cast<std::size_t>(m));
    for (int k = 0; k < m; ++k)
        bRows[static_cast<std::size_t>(k)] = B.row(static_cast<std::size_t>(order ? order[k] - 1 : k));
    if (!prepared || prepared->of != &A || prepared->n != n || prepared->m != m) {
        own.Build(n, m, A);
        prepared = &own;
    }
    SparseRowsProduct(prepared->terms, n, p, bRows.data(), Res.rowTable());
    for (int i = 0; i < n; ++i) {
        const double total = prepared->total[static_cast<std::size_t>(i)];
        const bool anyPresent = prepared->anyPresent[static_cast<std::size_t>(i)];
        // The rescaling divides by used / total, 1 unless the total overflowed;
        // a division by 1 returns its operand.
        const double scale = total > 0 ? total / total : 1.0;
        double* res = Res.row(static_cast<std::size_t>(i));
        for (int j = 0; j < p; ++j) {
            if (select && select[j] != 1)
                res[j] = 0.0;
            else if (!anyPresent)
                res[j] = kMissing;
            else if (scale != 1.0)
                res[j] /= scale;
        }
    }
}

}  // namespace

namespace {

void PlainProduct(int n, int m, int p, const Matrix<double>& A, const Matrix<double>& B, const int* order,
                  bool bHasMissing, Matrix<double>& Res, const int* select, const int* w,
                  const CompositionRows* prepared = nullptr) {
    const bool unit = AllOnes(m, w);
    if (unit && !bHasMissing) {
        UnitProduct(n, m, p, A, B, order, Res, select, prepared);
        return;
    }
    // Each iteration writes only its own row, so every thread count gives the same bits.
#pragma omp parallel for schedule(static) if (WorthThreads(n, m, p))
    for (int i = 0; i < n; ++i) {
        thread_local RowSums acc;
        const double* a = A.row(i);
        const double total = RowTotal(m, a);
        WeightedRow(m, p, a, B, order, bHasMissing, unit, [w](int k, int) { return w ? w[k] : 1; }, acc);
        double* res = Res.row(i);
        for (int j = 0; j < p; ++j) {
            if (select && select[j] != 1)
                res[j] = 0.0;
            else if (!acc.term[j])
                res[j] = kMissing;
            else if (acc.used[j] > 0 && total > 0)
                res[j] = acc.sum[j] / (acc.used[j] / total);
            else
                res[j] = acc.sum[j];
        }
    }
}

void PairProduct(int n, int m, int p, const Matrix<double>& A, const Matrix<double>& B, const int* order,
                 bool bHasMissing, Matrix<double>& Res, const int* select, const int* w, bool restrictWithin,
                 const CompositionRows* prepared = nullptr) {
    // With every weight 1 each factor is 1 under either rule.
    const bool unit = AllOnes(m, w);
    auto factor = [w, restrictWithin](int k, int j) {
        const int wk = w ? w[k] : 1;
        const int wj = w ? w[j] : 1;
        return restrictWithin ? wk * wj : ((wk == 1 || wj == 1) ? 1 : 0);
    };
    if (unit && !bHasMissing) {
        UnitProduct(n, m, p, A, B, order, Res, select, prepared);
        return;
    }
#pragma omp parallel for schedule(static) if (WorthThreads(n, m, p))
    for (int i = 0; i < n; ++i) {
        thread_local RowSums acc;
        const double* a = A.row(i);
        const double total = RowTotal(m, a);
        WeightedRow(m, p, a, B, order, bHasMissing, unit, factor, acc);
        double* res = Res.row(i);
        for (int j = 0; j < p; ++j) {
            if (select && select[j] != 1)
                res[j] = 0.0;
            else if (!acc.term[j])
                res[j] = kMissing;
            else if (acc.used[j] > 0)
                res[j] = acc.sum[j] / (acc.used[j] / total);
            else
                res[j] = acc.sum[j];
        }
    }
}

}  // namespace

int MatrixProdSelectMV_Adjust_Weight(int n, int m, int m2, int p, const Matrix<double>& A,
                                     const Matrix<double>& B, Matrix<double>& Res, const int* select,
                                     const int* w) {
    if (m != m2) return 1;
    PlainProduct(n, m, p, A, B, nullptr, AnyMissing(m, p, B), Res, select, w);
    return 0;
}

int MatrixProdSelectMV_Adjust_Weight(int n, int m, int m2, int p, const Matrix<double>& A,
                                     const Matrix<double>& B, Matrix<double>& Res, const int* select,
                                     const int* w, bool restrictWithin) {
    if (m != m2) return 1;
    PairProduct(n, m, p, A, B, nullptr, AnyMissing(m, p, B), Res, select, w, restrictWithin);
    return 0;
}

void MatrixProdSelectMV_Adjust_WeightRows(int n, int m, int p, const Matrix<double>& A, const Matrix<double>& B,
                                          const int* rows, bool bHasMissing, Matrix<double>& Res,
                                          const int* select, const int* w) {
    PlainProduct(n, m, p, A, B, rows, bHasMissing, Res, select, w);
}

void MatrixProdSelectMV_Adjust_WeightRows(int n, int m, int p, const Matrix<double>& A, const Matrix<double>& B,
                                          const int* rows, bool bHasMissing, Matrix<double>& Res,
                                          const int* select, const int* w, bool restrictWithin) {
    PairProduct(n, m, p, A, B, rows, bHasMissing, Res, select, w, restrictWithin);
}

void MatrixProdSelectMV_Adjust_WeightRows(int n, int m, int p, const Matrix<double>& A, const Matrix<double>& B,
                                          const int* rows, bool bHasMissing, Matrix<double>& Res,
                                          const int* select, const int* w, const CompositionRows* prepared) {
    PlainProduct(n, m, p, A, B, rows, bHasMissing, Res, select, w, prepared);
}

void MatrixProdSelectMV_Adjust_WeightRows(int n, int m, int p, const Matrix<double>& A, const Matrix<double>& B,
                                          const int* rows, bool bHasMissing, Matrix<double>& Res,
                                          const int* select, const int* w, bool restrictWithin,
                                          const CompositionRows* prepared) {
    PairProduct(n, m, p, A, B, rows, bHasMissing, Res, select, w, restrictWithin, prepared);
}

void CompositionRows::Build(int rows, int cols, const Matrix<double>& A) {
    of = &A;
    n = rows;
    m = cols;
    terms.Build(rows, cols, A.rowTable(), kMissing);
    RowTotals(rows, cols, A, total, anyPresent);
}

bool HasMissingValue(int rows, int cols, const Matrix<double>& m) { return AnyMissing(rows, cols, m); }

int MatrixSum(int n, int p, int nB, int pB, const Matrix<double>& A, const Matrix<double>& B,
              Matrix<double>& Res, double sign) {
    if (n != nB || p != pB) return 1;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) Res[i][j] = A[i][j] + sign * B[i][j];
    return 0;
}

void TransposeMatrix(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) out[j][i] = in[i][j];
}

void TransposeSqMatrix(int n, Matrix<double>& m) {
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) std::swap(m[i][j], m[j][i]);
}

void CopyMatrix(int n, int p, const Matrix<double>& in, Matrix<double>& out) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) out[i][j] = in[i][j];
}

void ScalarMatrixProd(int n, int p, double scalar, const Matrix<double>& in, Matrix<double>& out) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) out[i][j] = scalar * in[i][j];
}

void UpperToLowerMatrix(int n, Matrix<double>& m) {
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) m[j][i] = m[i][j];
}

void RowTotalsMV(int n, int p, const Matrix<double>& m, double* totals) {
    for (int i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int j = 0; j < p; ++j)
            if (m[i][j] != kMissing) sum += m[i][j];
        totals[i] = sum;
    }
}

void ColTotalsMV(int n, int p, const Matrix<double>& m, double* totals) {
    for (int j = 0; j < p; ++j) totals[j] = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j)
            if (m[i][j] != kMissing) totals[j] += m[i][j];
}

double MatrixTotalMV(int n, int p, const Matrix<double>& m) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j)
            if (m[i][j] != kMissing) sum += m[i][j];
    return sum;
}

double VectorProdMV(int n, const double* a, const double* b) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
        if (a[i] != kMissing && b[i] != kMissing) sum += a[i] * b[i];
    return sum;
}

int maxVector(int n, const int* v) { return n < 1 ? 0 : *std::max_element(v, v + n); }
double maxVector(int n, const double* v) { return n < 1 ? 0.0 : *std::max_element(v, v + n); }
int minVector(int n, const int* v) { return n < 1 ? 0 : *std::min_element(v, v + n); }
double minVector(int n, const double* v) { return n < 1 ? 0.0 : *std::min_element(v, v + n); }

}  // namespace kolvar

#include "QMLib/Beals.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "QMLib/Kernels.hpp"
#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"

namespace kolvar {

namespace {
inline bool Present(double v) { return v != kMissing; }

Matrix<double> Square(int p) { return dim2D<double>(p, p); }

// Contribution of community row w to the co-occurrence sum of OTUs j and k.
inline double CoOccurrence(const double* w, int j, int k, int option) {
    const double a = w[j], b = w[k];
    if (!Present(a) || !Present(b)) return 0.0;
    switch (option) {
    case 0: return a > 0.0 && b > 0.0 ? 1.0 : 0.0;
    case 1: return b > 0.0 ? a : 0.0;
    case 2: return a * b;
    default: return 0.0;
    }
}

void RowsToUnitSum(int p, Matrix<double>& K) {
    for (int j = 0; j < p; ++j) {
        double* r = K.row(j);
        double sum = 0.0;
        for (int k = 0; k < p; ++k)
            if (Present(r[k])) sum += r[k];
        const double div = sum == 0.0 ? 1.0 : sum;
        for (int k = 0; k < p; ++k)
            if (Present(r[k])) r[k] /= div;
    }
}

// Y = Aw K over the terms where both are present; a cell with no such term is -999.
void Product(int n, int p, const Matrix<double>& Aw, const Matrix<double>& K, Matrix<double>& Y) {
    if (!AnyInRows(p, p, K.rowTable(), kMissing)) {
        // Every term of a row then has K present: the terms of the present
        // abundances are added in ascending j, the zero abundances (which add
        // exact zeros) skipped.
        SkipZeroProduct(n, p, p, Aw.rowTable(), K.rowTable(), kMissing, Y.rowTable());
        for (int i = 0; i < n; ++i)
            if (std::none_of(Aw.row(i), Aw.row(i) + p, Present)) std::fill(Y.row(i), Y.row(i) + p, kMissing);
        return;
    }
    for (int i = 0; i < n; ++i) {
        const double* a = Aw.row(i);
        for (int k = 0; k < p; ++k) {
            double s = 0.0;
            bool any = false;
            for (int j = 0; j < p; ++j) {
                if (!Present(a[j]) || !Present(K[j][k])) continue;
                s += a[j] * K[j][k];
                any = true;
            }
            Y[i][k] = any ? s : kMissing;
        }
    }
}

// Joint presences (option 0) of every pair of OTUs: the communities holding
// each OTU as a bit set, and the count of a pair the bits the two sets share.
// Counts are whole numbers, exact in any order.
void JointPresences(int n, int p, const Matrix<double>& W, Matrix<double>& K) {
    const std::size_t words = (static_cast<std::size_t>(n) + 63) / 64;
    std::vector<std::uint64_t> bits(static_cast<std::size_t>(p) * words, 0);
    for (int i = 0; i < n; ++i) {
        const double* w = W.row(i);
        const std::uint64_t bit = std::uint64_t{1} << (i % 64);
        const std::size_t word = static_cast<std::size_t>(i) / 64;
        for (int j = 0; j < p; ++j)
            if (w[j] > 0.0) bits[static_cast<std::size_t>(j) * words + word] |= bit;
    }
    const std::uint64_t* b = bits.data();
#pragma omp parallel for schedule(dynamic, 16)
    for (int j = 0; j < p; ++j) {
        const std::uint64_t* bj = b + static_cast<std::size_t>(j) * words;
        double* r = K.row(j);
        for (int k = 0; k < p; ++k) {
            const std::uint64_t* bk = b + static_cast<std::size_t>(k) * words;
            long long count = 0;
            for (std::size_t q = 0; q < words; ++q) count += std::popcount(bj[q] & bk[q]);
            r[k] = static_cast<double>(count);
        }
    }
}

// Share of OTU k in community i, the part an estimate without k leaves out.
inline double OwnShare(const Matrix<double>& Aw, int i, int k) {
    return Present(Aw[i][k]) ? Aw[i][k] : 0.0;
}

// Leaves each OTU's own share out of its estimate: Y / (1 - Aw); 0 where the
// community holds that OTU only.
void ExcludeOwnShare(int n, int p, const Matrix<double>& Aw, Matrix<double>& Y) {
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < p; ++k) {
            if (!Present(Y[i][k])) continue;
            const double rest = 1.0 - OwnShare(Aw, i, k);
            Y[i][k] = rest == 0.0 ? 0.0 : Y[i][k] / rest;
        }
}
}  // namespace

void ConditionalProb(int n, int p, const Matrix<double>& W, Matrix<double>& K, int option, bool rowsUnit) {
    for (int j = 0; j < p; ++j) std::fill(K.row(j), K.row(j) + p, 0.0);
    if (option == 0) {
        JointPresences(n, p, W, K);
    } else {
        // Communities in the outer loop: each K[j][k] still sums over them in order.
        for (int i = 0; i < n; ++i) {
            const double* w = W.row(i);
            for (int j = 0; j < p; ++j) {
                double* r = K.row(j);
                for (int k = 0; k < p; ++k) r[k] += CoOccurrence(w, j, k, option);
            }
        }
    }
    if (option != 2)
        for (int j = 0; j < p; ++j) {
            double* r = K.row(j);
            const double d = r[j];
            if (d > 0.0)
                for (int k = 0; k < p; ++k)
                    if (k != j) r[k] /= d;
            r[j] = 1.0;
        }
    if (rowsUnit) RowsToUnitSum(p, K);
}

void ConditionalProb(int n, int p, const Matrix<double>& W, Matrix<double>& K, int option) {
    ConditionalProb(n, p, W, K, option, false);
}

void ConditionalProb(int target, int n, int p, const Matrix<double>& W, Matrix<double>& K, int option,
                     bool rowsUnit) {
    const int t = target;
    for (int j = 0; j < p; ++j) {
        K[t][j] = 0.0;
        K[j][t] = 0.0;
        K[j][j] = 0.0;
    }
    for (int i = 0; i < n; ++i) {
        const double* w = W.row(i);
        for (int j = 0; j < p; ++j) {
            K[t][j] += CoOccurrence(w, t, j, option);
            if (j != t) K[j][t] += CoOccurrence(w, j, t, option);
            if (j != t) K[j][j] += CoOccurrence(w, j, j, option);
        }
    }
    if (option != 2) {
        for (int j = 0; j < p; ++j) {
            if (j == t) continue;
            if (K[t][t] > 0.0) K[t][j] /= K[t][t];
            if (K[j][j] > 0.0) K[j][t] /= K[j][j];
        }
        for (int j = 0; j < p; ++j) K[j][j] = 1.0;
    }
    if (rowsUnit) RowsToUnitSum(p, K);
}

void ConditionalProb(int target, int n, int p, const Matrix<double>& W, Matrix<double>& K, int option) {
    ConditionalProb(target, n, p, W, K, option, false);
}

namespace {
void Direct(int n, int p, const Matrix<double>& A, const Matrix<double>& Wb, Matrix<double>& Y, bool include,
            int option, bool rowsUnit, bool odds) {
    Matrix<double> K = Square(p);
    ConditionalProb(n, p, Wb, K, option, rowsUnit);
    Matrix<double> Aw = dim2D<double>(n, p);
    UnitSumRowsAdjMV(n, p, A, Aw);
    if (include) {
        Product(n, p, Aw, K, Y);
        return;
    }
    for (int j = 0; j < p; ++j) K[j][j] = 0.0;
    for (int i = 0; i < n; ++i) {
        const double* a = Aw.row(i);
        for (int k = 0; k < p; ++k) {
            const double rest = 1.0 - OwnShare(Aw, i, k);
            if (rest == 0.0) {
                Y[i][k] = 0.0;
                continue;
            }
            double s = 0.0;
            for (int j = 0; j < p; ++j) {
                if (!Present(a[j])) continue;
                const double c = odds ? K[j][k] / (1.0 - K[j][k]) : K[j][k];
                s += (a[j] / rest) * c;
            }
            Y[i][k] = s;
        }
    }
}
}  // namespace

void BealsSmoothing(int n, int p, const Matrix<double>& A, const Matrix<double>& Wb, Matrix<double>& Y,
                    bool include, int option) {
    Direct(n, p, A, Wb, Y, include, option, false, option == 2);
}

void BealsSmoothing(int n, int p, const Matrix<double>& A, const Matrix<double>& Wb, Matrix<double>& Y,
                    bool include, int option, bool oddsAndUnitRows) {
    Direct(n, p, A, Wb, Y, include, option, oddsAndUnitRows, oddsAndUnitRows);
}

void BealsSmoothing(int n, int p, const Matrix<double>& A, const Matrix<double>& Wb, Matrix<double>& Y,
                    bool useTarget, int target, Matrix<double>* M, bool include, int option, bool rowsUnit) {
    Matrix<double> Aw = dim2D<double>(n, p);
    UnitSumRowsAdjMV(n, p, A, Aw);
    Matrix<double> K = Square(p);
    if (!useTarget || !M) {
        ConditionalProb(n, p, Wb, K, option, rowsUnit);
        if (!include) {
            for (int j = 0; j < p; ++j) K[j][j] = 0.0;
            if (rowsUnit) RowsToUnitSum(p, K);
        }
        Product(n, p, Aw, K, Y);
    } else {
        // Incremental update after OTU target changed: only its row and column
        // of K are recomputed and only their terms of Y are updated.
        const Matrix<double> Kold = *M;
        K = Kold;
        ConditionalProb(target, n, p, Wb, K, option, rowsUnit);
        if (!include) {
            for (int j = 0; j < p; ++j) K[j][j] = 0.0;
            if (rowsUnit) RowsToUnitSum(p, K);
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < p; ++k)
                    if (Present(Y[i][k])) Y[i][k] *= 1.0 - OwnShare(Aw, i, k);
        }
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < p; ++j)
                for (int k = 0; k < p; ++k) {
                    if (!(j == target || k == target || j == k)) continue;
                    if (!Present(Aw[i][k]) || !Present(K[k][j])) continue;
                    Y[i][j] = Y[i][j] - Kold[k][j] * Aw[i][k] + K[k][j] * Aw[i][k];
                }
    }
    if (M) *M = std::move(K);
    if (!include) ExcludeOwnShare(n, p, Aw, Y);
}

void BealsSmoothing(int n, int p, const Matrix<double>& A, const Matrix<double>& Wb, Matrix<double>& Y,
                    bool useTarget, int target, Matrix<double>* M, bool include, int option) {
    BealsSmoothing(n, p, A, Wb, Y, useTarget, target, M, include, option, false);
}

}  // namespace kolvar

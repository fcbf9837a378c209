#include "stattests/Diversity.hpp"

#include <cfloat>
#include <cmath>

#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"

namespace kolvar {

namespace {

inline double Delta(double r, bool isDissim, bool sqrtOpt) {
    const double d = isDissim ? r : 1.0 - r;
    return sqrtOpt ? std::sqrt(d) : d;
}

inline int PairFactor(const int* w, int i, int j, bool restrictWithin) {
    if (!w) return 1;
    if (restrictWithin) return w[i] * w[j];
    return (w[i] == 1 || w[j] == 1) ? 1 : 0;
}

double RaoOrderedPairs(int n, const double* p, Matrix<double>* rese, bool isDissim, bool sqrtOpt,
                       const int* weights, bool restrictWithin, bool weighted) {
    double t = 0.0;
    for (int i = 0; i < n; ++i)
        if (p[i] != kMissing) t += p[i];
    if (!(t > 0)) return 0.0;
    double sum = 0.0;
    if (!rese) {
        for (int i = 0; i < n; ++i) {
            if (p[i] == kMissing) continue;
            for (int j = 0; j < n; ++j)
                if (j != i && p[j] != kMissing) sum += (p[i] / t) * (p[j] / t);
        }
        return sum;
    }
    Matrix<double>& r = *rese;
    MirrorUpper(n, r);
    for (int i = 0; i < n; ++i) {
        if (p[i] == kMissing) continue;
        for (int j = 0; j < n; ++j) {
            if (p[j] == kMissing || r[i][j] == kMissing) continue;
            const double d = Delta(r[i][j], isDissim, sqrtOpt);
            if (weighted)
                sum += PairFactor(weights, i, j, restrictWithin) * d * (p[i] / t) * (p[j] / t);
            else
                sum += d * (p[i] / t) * (p[j] / t);
        }
    }
    return sum;
}

}  // namespace

void RaoOfCommunities(int m, int n, const Matrix<double>& W, const double* pairs, bool relative, double* out,
                      RaoWork& work) {
    // Absent OTUs add exact zeros to every sum: only the pairs of OTUs present
    // with a non-zero abundance are visited, in ascending order. Two
    // communities go side by side: each one's sums take its pairs in that
    // order, but the two sets of sums advance together, so neither waits for
    // its own last addition.
    work.abundance.resize(2 * static_cast<std::size_t>(n));
    work.present.resize(2 * static_cast<std::size_t>(n));
    struct Cursor {
        const double* p = nullptr;
        const int* idx = nullptr;
        int nz = 0, a = 0, b = 0, i = 0;
        double pi = 0.0;
        const double* d = nullptr;  // pair values of OTU i, indexed by j - i - 1
        double sum = 0.0, A = 0.0, B = 0.0;
        bool active = false;
    };
    auto start = [&](Cursor& k, int c, int slot) {
        double* p = work.abundance.data() + static_cast<std::size_t>(slot) * n;
        int* present = work.present.data() + static_cast<std::size_t>(slot) * n;
        double total = 0.0;
        for (int i = 0; i < n; ++i) {
            p[i] = W[c][i];
            if (p[i] != kMissing) total += p[i];
        }
        if (relative && total > 0)
            for (int i = 0; i < n; ++i)
                if (p[i] != kMissing) p[i] /= total;
        int nz = 0;
        for (int i = 0; i < n; ++i)
            if (p[i] != kMissing && p[i] != 0.0) present[nz++] = i;
        k = Cursor{};
        k.p = p;
        k.idx = present;
        k.nz = nz;
        k.b = 1;
        k.active = nz >= 2;
        if (k.active) {
            k.i = present[0];
            k.pi = p[k.i];
            k.d = pairs + RaoPairRowStart(n, k.i);
        }
    };
    auto step = [pairs, n](Cursor& k) {
        const int j = k.idx[k.b];
        const double pj = k.p[j];
        const double pp = k.pi * pj;
        k.B += pp;
        const double dij = k.d[j - k.i - 1];
        if (dij != kMissing) {
            k.sum += dij * k.pi * pj;
            k.A += pp;
        }
        if (++k.b == k.nz) {
            ++k.a;
            k.b = k.a + 1;
            if (k.b >= k.nz) {
                k.active = false;
            } else {
                k.i = k.idx[k.a];
                k.pi = k.p[k.i];
                k.d = pairs + RaoPairRowStart(n, k.i);
            }
        }
    };
    auto finish = [](const Cursor& k) {
        double sum = k.sum;
        if (k.A > 0 && k.B > 0) sum /= k.A / k.B;
        return 2.0 * sum;
    };
    for (int c = 0; c < m; c += 2) {
        Cursor one, two;
        start(one, c, 0);
        if (c + 1 < m) start(two, c + 1, 1);
        while (one.active && two.active) {
            step(one);
            step(two);
        }
        while (one.active) step(one);
        while (two.active) step(two);
        out[c] = finish(one);
        if (c + 1 < m) out[c + 1] = finish(two);
    }
}

void RaoIndex_Weight_Matrix(int m, int n, const Matrix<double>& W, const Matrix<double>& rese, double* out,
                            bool isDissim, bool sqrtOpt, const int* weights, bool restrictWithin, bool relative,
                            RaoWork& work) {
    // The dissimilarity of every pair, with its factor, once per call rather
    // than once per community.
    work.pairs.resize(n > 1 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2 : 0);
    for (int i = 0; i < n; ++i) {
        double* to = work.pairs.data() + RaoPairRowStart(n, i);
        for (int j = i + 1; j < n; ++j) {
            const double r = rese[i][j];
            to[j - i - 1] = r == kMissing ? kMissing : PairFactor(weights, i, j, restrictWithin) * Delta(r, isDissim, sqrtOpt);
        }
    }
    RaoOfCommunities(m, n, W, work.pairs.data(), relative, out, work);
}

void RaoIndex_Weight_Matrix(int m, int n, const Matrix<double>& W, const Matrix<double>& rese, double* out,
                            bool isDissim, bool sqrtOpt, const int* weights, bool restrictWithin, bool relative) {
    RaoWork work;
    RaoIndex_Weight_Matrix(m, n, W, rese, out, isDissim, sqrtOpt, weights, restrictWithin, relative, work);
}

double RaoIndex_Simpson(int n, const double* p, Matrix<double>* rese, bool isDissim, bool sqrtOpt) {
    return RaoOrderedPairs(n, p, rese, isDissim, sqrtOpt, nullptr, false, false);
}

double RaoIndex_Weight(int n, const double* p, Matrix<double>& rese, bool isDissim, bool sqrtOpt,
                       const int* weights, bool restrictWithin) {
    return RaoOrderedPairs(n, p, &rese, isDissim, sqrtOpt, weights, restrictWithin, true);
}

int DiversityPartition(int m, int n, const Matrix<double>& W, Matrix<double>& S, double& alpha, double& beta,
                       double& gamma, double& alphaEq, double& betaEq, double& gammaEq, double& relTurnover) {
    Matrix<double> rel(static_cast<std::size_t>(m > 0 ? m : 0), static_cast<std::size_t>(n > 0 ? n : 0));
    UnitSumRowsAdjMV(m, n, W, rel);
    std::vector<double> pooled(static_cast<std::size_t>(n > 0 ? n : 0), 0.0);
    double sumAlpha = 0.0;
    for (int c = 0; c < m; ++c) {
        sumAlpha += RaoIndex_Simpson(n, rel.row(c), &S, false, false);
        for (int i = 0; i < n; ++i)
            if (rel[c][i] != kMissing) pooled[i] += rel[c][i];
    }
    for (int i = 0; i < n; ++i) pooled[i] /= m;
    alpha = m > 0 ? sumAlpha / m : 0.0;
    gamma = RaoIndex_Simpson(n, pooled.data(), &S, false, false);
    beta = gamma - alpha;
    alphaEq = 1.0 / (1.0 - alpha);
    gammaEq = 1.0 / (1.0 - gamma);
    betaEq = gammaEq / alphaEq;
    relTurnover = (gammaEq - alphaEq) / gammaEq;
    return 1;
}

bool NNCRD(int n, const Matrix<double>& D, const Matrix<double>& R2, double* out) {
    for (int i = 0; i < n; ++i) {
        double nearest = DBL_MAX;
        for (int j = 0; j < n; ++j)
            if (j != i && D[i][j] != kMissing && D[i][j] < nearest) nearest = D[i][j];
        double sum = 0.0;
        int ties = 0;
        for (int j = 0; j < n; ++j)
            if (j != i && D[i][j] == nearest && R2[i][j] != kMissing) {
                sum += R2[i][j];
                ++ties;
            }
        out[i] = ties > 0 ? sum / ties : 0.0;
    }
    return true;
}

}  // namespace kolvar

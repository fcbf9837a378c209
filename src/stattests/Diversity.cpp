#include "stattests/Diversity.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "QMLib/Kernels.hpp"
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

namespace {

// One community's OTUs present with a non-zero abundance (ascending), their
// abundances in that order, and its running sums.
struct RaoCommunity {
    const int* idx = nullptr;
    const double* pv = nullptr;
    int nz = 0;
    double sum = 0.0, A = 0.0, B = 0.0;
};

// The terms of pair (a, b) of one community: the pair value d[j - i - 1]
// (i, j its OTUs). Without missing pair values A stays
// equal to B and is set at the end.
template <bool kMissingPairs>
[[gnu::always_inline]] inline void RaoTerm(RaoCommunity& k, const double* d, int i, double pa, int b) {
    const int j = k.idx[b];
    const double pj = k.pv[b];
    const double pp = pa * pj;
    k.B += pp;
    const double dij = d[j - i - 1];
    if (kMissingPairs) {
        if (dij == kMissing) return;
        k.A += pp;
    }
    k.sum += dij * pa * pj;
}

// Two communities at a time, row a of one beside row a of the other: each
// one's sums take its pairs in the order of the one-community loop, but the
// two sets of sums advance side by side, so neither waits for its own last
// addition.
template <bool kMissingPairs>
[[gnu::always_inline]] inline void RaoTwo(int n, const double* pairs, RaoCommunity& c1, RaoCommunity& c2) {
    for (int a = 0;; ++a) {
        const bool r1 = a + 1 < c1.nz, r2 = a + 1 < c2.nz;
        if (!r1 && !r2) break;
        const int i1 = r1 ? c1.idx[a] : 0, i2 = r2 ? c2.idx[a] : 0;
        const double pa1 = r1 ? c1.pv[a] : 0.0, pa2 = r2 ? c2.pv[a] : 0.0;
        const double* d1 = pairs + RaoPairRowStart(n, i1);
        const double* d2 = pairs + RaoPairRowStart(n, i2);
        int b = a + 1;
        if (r1 && r2)
            for (const int common = std::min(c1.nz, c2.nz); b < common; ++b) {
                RaoTerm<kMissingPairs>(c1, d1, i1, pa1, b);
                RaoTerm<kMissingPairs>(c2, d2, i2, pa2, b);
            }
        if (r1)
            for (int t = b; t < c1.nz; ++t) RaoTerm<kMissingPairs>(c1, d1, i1, pa1, t);
        if (r2)
            for (int t = b; t < c2.nz; ++t) RaoTerm<kMissingPairs>(c2, d2, i2, pa2, t);
    }
    if (!kMissingPairs) {
        c1.A = c1.B;
        c2.A = c2.B;
    }
}

double RaoFinish(const RaoCommunity& k) {
    double sum = k.sum;
    if (k.A > 0 && k.B > 0) sum /= k.A / k.B;
    return 2.0 * sum;
}

}  // namespace

void RaoRows::Build(int rows, int cols, const Matrix<double>& W, bool asRelative) {
    of = &W;
    m = rows;
    n = cols;
    relative = asRelative;
    start.assign(static_cast<std::size_t>(std::max(rows, 0)) + 1, 0);
    present.clear();
    abundance.clear();
    scratch.resize(static_cast<std::size_t>(std::max(cols, 0)));
    double* p = scratch.data();
    for (int c = 0; c < rows; ++c) {
        start[static_cast<std::size_t>(c)] = static_cast<int>(present.size());
        const double* w = W.row(c);
        double total = 0.0;
        for (int i = 0; i < cols; ++i) {
            p[i] = w[i];
            if (p[i] != kMissing) total += p[i];
        }
        if (relative && total > 0)
            for (int i = 0; i < cols; ++i)
                if (p[i] != kMissing) p[i] /= total;
        for (int i = 0; i < cols; ++i)
            if (p[i] != kMissing && p[i] != 0.0) {
                present.push_back(i);
                abundance.push_back(p[i]);
            }
    }
    start[static_cast<std::size_t>(std::max(rows, 0))] = static_cast<int>(present.size());
}

// Built for AVX2 as well: the three-operand instructions save a copy per term.
KOLVAR_VECTOR_CLONES
void RaoOfCommunities(int m, int n, const Matrix<double>& W, const double* pairs, bool relative, double* out,
                      RaoWork& work, const RaoRows* prepared) {
    // Absent OTUs add exact zeros to every sum: only the pairs of OTUs present
    // with a non-zero abundance are visited, in ascending order.
    bool missingPairs = false;
    for (int i = 0; i + 1 < n && !missingPairs; ++i)
        missingPairs = AnyEqual(pairs + RaoPairRowStart(n, i), n - i - 1, kMissing);
    const bool ready = prepared && prepared->of == &W && prepared->m == m && prepared->n == n &&
                       prepared->relative == relative;
    if (!ready) work.rows.Build(m, n, W, relative);
    const RaoRows& rows = ready ? *prepared : work.rows;
    auto community = [&rows](int c) {
        const int first = rows.start[static_cast<std::size_t>(c)];
        return RaoCommunity{rows.present.data() + first, rows.abundance.data() + first,
                            rows.start[static_cast<std::size_t>(c) + 1] - first};
    };
    for (int c = 0; c < m; c += 2) {
        RaoCommunity one = community(c), two;
        if (c + 1 < m) two = community(c + 1);
        if (missingPairs)
            RaoTwo<true>(n, pairs, one, two);
        else
            RaoTwo<false>(n, pairs, one, two);
        out[c] = RaoFinish(one);
        if (c + 1 < m) out[c + 1] = RaoFinish(two);
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

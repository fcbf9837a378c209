#include "QMLib/Resemblance.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "QMLib/Kernels.hpp"
#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"

namespace kolvar {

namespace {
inline bool Present(double v) { return v != kMissing; }
inline double Single(double v) { return static_cast<double>(static_cast<float>(v)); }

// Range (max - min) of the present values of a strided column; 0 when none.
double ColumnRange(int n, const double* x, std::size_t stride) {
    bool any = false;
    double mx = 0.0, mn = 0.0;
    for (int i = 0; i < n; ++i) {
        const double v = x[i * stride];
        if (!Present(v)) continue;
        if (!any || v > mx) mx = v;
        if (!any || v < mn) mn = v;
        any = true;
    }
    return any ? mx - mn : 0.0;
}

void Ensure(Matrix<double>& m, int rows, int cols) {
    const auto r = static_cast<std::size_t>(std::max(rows, 0));
    const auto c = static_cast<std::size_t>(std::max(cols, 0));
    if (m.rows() != r || m.cols() != c) m.assign(r, c);
}

// Partial Gower similarity of two values of one variable (before rounding).
double PartialValue(int type, double a, double b, double range, double w, bool countDoubleAbsence) {
    if (!Present(a) || !Present(b)) return kMissing;
    switch (type) {
    case 1:
        if (countDoubleAbsence) return a == b ? w : 0.0;
        if (a == b) return a != 0.0 ? w : kMissing;
        return 0.0;
    case 2:
        return a == b ? w : 0.0;
    case 3:
    case 4:
        return range > 0.0 ? w * (1.0 - std::fabs(a - b) / range) : w;
    default:
        return kMissing;
    }
}

// Ordinal columns are ranked and the range recomputed (rounded to single
// precision) for type 4, and for type 3 when none was given. Returns the
// weight to use: a negative weight counts as 1.
double PreparePartial(int n, int type, double* column, double& range, double weight, std::vector<int>& work) {
    if (type == 4) RankVectorAdjMV(n, column, work);
    if (type == 4 || (type == 3 && range == 0.0)) range = Single(ColumnRange(n, column, 1));
    return weight < 0.0 ? 1.0 : weight;
}

template <class F>
void PairwiseUpper(int n, int p, const Matrix<double>& data, Matrix<double>& out, F f) {
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) out[i][j] = f(p, data.row(i), data.row(j));
}

// Below this many objects a parallel region costs more than it saves.
// Parallel regions cost more than they save on small matrices (and idle
// workers spin against the working thread on a busy machine): rows run in
// parallel only when a call has at least this many terms.
constexpr long long kParallelWork = 1LL << 19;
bool WorthThreads(int n, int p) { return static_cast<long long>(n) * n * p / 2 >= kParallelWork; }

// Euclidean distances of rows over the columns accepted by use(k); rows run in
// parallel, each writing its own part of the upper triangle, then mirrored.
// Rows shrink towards the end, so they are dealt out one by one.
bool HasMissing(int n, int p, const Matrix<double>& data);

// Complete data: the objects are laid out in panels of a few objects, variable
// by variable, once. The sums of squares are accumulated in the output, a
// block of variables at a time (each pair continues its own sum, so it still
// adds its squared differences in ascending column order and gets the bits of
// the pair-by-pair loop): a block of rows and a block of variables stay in the
// second-level cache while every later panel passes by them once, and the
// distances of four rows to a panel of eight are accumulated in registers.
constexpr int kTileRows = 4;
constexpr int kBlockRows = 64;
constexpr int kBlockVars = 128;

template <class Use>
void EucliRowsComplete(int n, int p, const Matrix<double>& data, Matrix<double>& out, Use use) {
    thread_local std::vector<double> panels;
    thread_local std::vector<int> used;
    used.clear();
    for (int k = 0; k < p; ++k)
        if (use(k)) used.push_back(k);
    const int nUsed = static_cast<int>(used.size());
    const int nPanels = (n + kPanel - 1) / kPanel;
    panels.assign(static_cast<std::size_t>(nPanels) * static_cast<std::size_t>(nUsed) * kPanel, 0.0);
    for (int i = 0; i < n; ++i) {
        const double* a = data.row(i);
        double* to = panels.data() + static_cast<std::size_t>(i / kPanel) * nUsed * kPanel + i % kPanel;
        for (int u = 0; u < nUsed; ++u) to[static_cast<std::size_t>(u) * kPanel] = a[used[static_cast<std::size_t>(u)]];
    }
    const double* pan = panels.data();
    double* const* rows = out.rowTable();
    const int nBlocks = (n + kBlockRows - 1) / kBlockRows;
#pragma omp parallel for schedule(dynamic, 1) if (WorthThreads(n, p))
    for (int b = 0; b < nBlocks; ++b) {
        const int i0 = b * kBlockRows, i1 = std::min(n, i0 + kBlockRows);
        for (int i = i0; i < i1; ++i) std::fill(rows[i] + i + 1, rows[i] + n, 0.0);
        for (int k0 = 0; k0 < nUsed; k0 += kBlockVars) {
            const int k1 = std::min(nUsed, k0 + kBlockVars);
            for (int q = (i0 + 1) / kPanel; q < nPanels; ++q)
                for (int t = i0; t < i1 && t < (q + 1) * kPanel - 1; t += kTileRows)
                    SquaredDistancePanels(pan, nUsed, n, t, std::max(q, (t + 1) / kPanel), q + 1, k0, k1, rows + t);
        }
        for (int i = i0; i < i1; ++i) {
            double* o = rows[i];
            o[i] = 0.0;
            for (int j = i + 1; j < n; ++j) o[j] = o[j] == 0.0 ? 0.0 : std::sqrt(o[j]);
        }
    }
    MirrorUpper(n, out);
}

// Euclidean distances of rows over the columns accepted by use(k); rows run in
// parallel, each writing its own part of the upper triangle, then mirrored.
// Rows shrink towards the end, so they are dealt out one by one.
template <class Use>
void EucliRows(int n, int p, const Matrix<double>& data, Matrix<double>& out, Use use, bool skipMissing) {
    if (!skipMissing || !HasMissing(n, p, data)) {
        EucliRowsComplete(n, p, data, out, use);
        return;
    }
#pragma omp parallel for schedule(static, 1) if (WorthThreads(n, p))
    for (int i = 0; i < n; ++i) {
        const double* a = data.row(i);
        double* o = out.row(i);
        o[i] = 0.0;
        for (int j = i + 1; j < n; ++j) {
            const double* b = data.row(j);
            double s = 0.0;
            for (int k = 0; k < p; ++k) {
                if (!use(k)) continue;
                if (!Present(a[k]) || !Present(b[k])) continue;
                const double d = a[k] - b[k];
                s += d * d;
            }
            o[j] = s == 0.0 ? 0.0 : std::sqrt(s);
        }
    }
    MirrorUpper(n, out);
}

bool HasMissing(int n, int p, const Matrix<double>& data) { return AnyInRows(n, p, data.rowTable(), kMissing); }
}  // namespace

void GowerMVOpt(int n, int p, const int* types, Matrix<double>& data, Matrix<double>& out,
                const double* /*ranges*/, const double* weights, bool countDoubleAbsence) {
    std::vector<double> column(static_cast<std::size_t>(std::max(n, 0)));
    std::vector<double> range(static_cast<std::size_t>(std::max(p, 0)), 0.0);
    std::vector<int> rankWork;
    for (int t = 0; t < p; ++t) {
        if (types[t] == 4) {
            for (int i = 0; i < n; ++i) column[i] = data[i][t];
            RankVectorAdjMV(n, column.data(), rankWork);
            for (int i = 0; i < n; ++i) data[i][t] = column[i];
        }
        if (types[t] == 3 || types[t] == 4) {
            for (int i = 0; i < n; ++i) column[i] = data[i][t];
            range[t] = ColumnRange(n, column.data(), 1);
        }
    }
    for (int i = 0; i < n; ++i) {
        out[i][i] = 1.0;
        const double* a = data.row(i);
        for (int j = i + 1; j < n; ++j) {
            const double* b = data.row(j);
            double num = 0.0, den = 0.0;
            for (int t = 0; t < p; ++t) {
                const double w = weights ? weights[t] : 1.0;
                const double x = a[t], y = b[t];
                if (!Present(x) || !Present(y)) continue;
                switch (types[t]) {
                case 3:
                case 4:
                    num += range[t] > 0.0 ? w * (1.0 - std::fabs(x - y) / range[t]) : w;
                    den += w;
                    break;
                case 2:
                    if (x == y) num += w;
                    den += w;
                    break;
                case 1:
                    if (x == y) {
                        if (x == 0.0 && !countDoubleAbsence) break;
                        num += w;
                    }
                    den += w;
                    break;
                default:
                    break;
                }
            }
            if (den > 0.0) out[i][j] = num / den;
            out[j][i] = out[i][j];
        }
    }
}

void GowerMV(int n, int p, const int* types, Matrix<double>& data, Matrix<double>& out, const double* ranges,
             const double* weights) {
    GowerMVOpt(n, p, types, data, out, ranges, weights, false);
}

void GowerMVPartial_dAbsences(int n, int type, double* column, Matrix<double>& out, double range, double weight,
                              bool countDoubleAbsence) {
    std::vector<int> work;
    const double w = PreparePartial(n, type, column, range, weight, work);
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
            const double v = w > 0.0 ? Single(PartialValue(type, column[i], column[j], range, w, countDoubleAbsence))
                                     : kMissing;
            out[i][j] = v;
            out[j][i] = v;
        }
}

void gower_similarityPartial(int p, const Matrix<double>& data, int n, Array3D<double>& out, const int* types,
                             const double* ranges, const double* weights, bool countDoubleAbsence) {
    // The variables are prepared on a transposed copy, so that ranking ordinal
    // values leaves the caller's data as it was; the pairs are then filled with
    // all variables at once, walking the output in memory order.
    Matrix<double> cols = dim2D<double>(p, n);
    std::vector<double> range(static_cast<std::size_t>(std::max(p, 0))), w(range.size());
    std::vector<int> work;
    for (int t = 0; t < p; ++t) {
        double* c = cols.row(t);
        for (int i = 0; i < n; ++i) c[i] = data[i][t];
        range[t] = ranges ? ranges[t] : 0.0;
        w[t] = PreparePartial(n, types[t], c, range[t], weights ? weights[t] : 1.0, work);
    }
    for (int i = 0; i < n; ++i) {
        Matrix<double>& oi = out[i];
        for (int j = i; j < n; ++j) {
            double* o = oi.row(j);
            for (int t = 0; t < p; ++t) {
                const double* c = cols.row(t);
                o[t] = w[t] > 0.0 ? Single(PartialValue(types[t], c[i], c[j], range[t], w[t], countDoubleAbsence))
                                  : kMissing;
            }
        }
    }
}

void gower_similarityAverage(int p, int n, const Array3D<double>& partial, Matrix<double>& out, const int* select) {
    for (int i = 0; i < n; ++i) {
        const Matrix<double>& pi = partial[i];
        for (int j = i; j < n; ++j) {
            const double* v = pi.row(j);
            double sum = 0.0;
            int count = 0;
            for (int t = 0; t < p; ++t)
                if (select[t] == 1 && Present(v[t])) {
                    sum += v[t];
                    ++count;
                }
            out[i][j] = count > 0 ? sum / count : kMissing;
        }
    }
}

void EucliDistMV(int n, int p, const Matrix<double>& data, Matrix<double>& out) {
    EucliRows(n, p, data, out, [](int) { return true; }, true);
}

void EucliDistMVSelect(int n, int p, const Matrix<double>& data, Matrix<double>& out, const int* select) {
    EucliRows(n, p, data, out, [select](int k) { return select[k] == 1; }, true);
}

void EucliDistMVSelectOne(int n, int /*p*/, const Matrix<double>& data, Matrix<double>& out, int column) {
    const int c = column - 1;
    for (int i = 0; i < n; ++i) {
        out[i][i] = 0.0;
        const double a = data[i][c];
        for (int j = i + 1; j < n; ++j) {
            const double b = data[j][c];
            const double d = Present(a) && Present(b) ? std::fabs(a - b) : 0.0;
            out[i][j] = d;
            out[j][i] = d;
        }
    }
}

void EucliDist(int n, int p, const Matrix<double>& data, Matrix<double>& out) {
    EucliRows(n, p, data, out, [](int) { return true; }, false);
}

void AbsValFunctionMV(int n, int p, const Matrix<double>& data, Matrix<double>& out) {
    for (int i = 0; i < n; ++i) {
        const double* a = data.row(i);
        out[i][i] = 0.0;
        for (int j = i + 1; j < n; ++j) {
            const double* b = data.row(j);
            double s = 0.0;
            for (int k = 0; k < p; ++k)
                if (Present(a[k]) && Present(b[k])) s += std::fabs(a[k] - b[k]);
            out[i][j] = s;
        }
    }
}

double ChordDistSq2VecMV(int p, const double* a, const double* b, double& normA, double& normB) {
    // Norms as NormalizeRowsMV takes them, so that complete rows give the same
    // value on this route and on the normalise-then-Euclidean one.
    double ssA = 0.0, ssB = 0.0;
    for (int k = 0; k < p; ++k)
        if (Present(a[k]) && Present(b[k])) {
            ssA += a[k] * a[k];
            ssB += b[k] * b[k];
        }
    normA = ssA == 0.0 ? 1.0 : std::sqrt(ssA);
    normB = ssB == 0.0 ? 1.0 : std::sqrt(ssB);
    double s = 0.0;
    for (int k = 0; k < p; ++k)
        if (Present(a[k]) && Present(b[k])) {
            const double d = a[k] / normA - b[k] / normB;
            s += d * d;
        }
    return s;
}

void ChordDistMV(int n, int p, const Matrix<double>& data, Matrix<double>& out, Matrix<double>& work) {
    if (!HasMissing(n, p, data)) {
        Ensure(work, n, p);
        NormalizeRowsMV(n, p, data, work);
        EucliDistMV(n, p, work, out);
        return;
    }
    for (int i = 0; i < n; ++i) {
        out[i][i] = 0.0;
        for (int j = i + 1; j < n; ++j) {
            double na, nb;
            const double s = ChordDistSq2VecMV(p, data.row(i), data.row(j), na, nb);
            out[i][j] = s == 0.0 ? 0.0 : std::sqrt(s);
            out[j][i] = out[i][j];
        }
    }
}

void ChordDistMV(int n, int p, const Matrix<double>& data, Matrix<double>& out) {
    Matrix<double> work;
    ChordDistMV(n, p, data, out, work);
}

void CrossProductMV(int n, int p, const Matrix<double>& data, Matrix<double>& out) {
    PairwiseUpper(n, p, data, out, CrossProduct2VecMV);
}

void CorrelationMV(int n, int p, const Matrix<double>& data, Matrix<double>& out, Matrix<double>& work) {
    if (HasMissing(n, p, data)) {
        PairwiseUpper(n, p, data, out, Correlation2VecMV);
        return;
    }
    Ensure(work, n, p);
    CenterRowsMV(n, p, data, work);
    NormalizeRowsMV(n, p, work, work);
    PairwiseUpper(n, p, work, out, CrossProduct2VecMV);
}

void CorrelationMV(int n, int p, const Matrix<double>& data, Matrix<double>& out) {
    Matrix<double> work;
    CorrelationMV(n, p, data, out, work);
}

void JointFreq(int p, const double* x, const double* y, double& a, double& b, double& c, double& d) {
    a = b = c = d = 0.0;
    for (int k = 0; k < p; ++k) {
        const bool x1 = x[k] == 1.0, x0 = x[k] == 0.0, y1 = y[k] == 1.0, y0 = y[k] == 0.0;
        if (x1 && y1) a += 1.0;
        else if (x1 && y0) b += 1.0;
        else if (x0 && y1) c += 1.0;
        else if (x0 && y0) d += 1.0;
    }
}

namespace {
struct Freq {
    double a, b, c, d;
    Freq(int p, const double* x, const double* y) { JointFreq(p, x, y, a, b, c, d); }
    double mn() const { return std::min(b, c); }
    double mx() const { return std::max(b, c); }
};
inline double Ratio(double num, double den, double none) { return den == 0.0 ? none : num / den; }
}  // namespace

double Jaccard(int p, const double* x, const double* y) {
    const Freq f(p, x, y);
    return Ratio(f.a, f.a + f.b + f.c, 0.0);
}
double JaccardDissimilarity(int p, const double* x, const double* y) {
    const Freq f(p, x, y);
    return Ratio(f.b + f.c, f.a + f.b + f.c, 1.0);
}
double JaccardTurnover(int p, const double* x, const double* y) {
    const Freq f(p, x, y);
    return Ratio(2.0 * f.mn(), f.a + 2.0 * f.mn(), kMissing);
}
double JaccardNestedness(int p, const double* x, const double* y) {
    const Freq f(p, x, y);
    const double d1 = f.a + f.b + f.c, d2 = f.a + 2.0 * f.mn();
    if (d1 == 0.0 || d2 == 0.0) return kMissing;
    return ((f.mx() - f.mn()) / d1) * f.a / d2;
}
double Sorensen(int p, const double* x, const double* y) {
    const Freq f(p, x, y);
    return Ratio(2.0 * f.a, 2.0 * f.a + f.b + f.c, 0.0);
}
double SorensenDissimilarity(int p, const double* x, const double* y) {
    const Freq f(p, x, y);
    return Ratio(f.b + f.c, 2.0 * f.a + f.b + f.c, 1.0);
}
double SorensenTurnover(int p, const double* x, const double* y) {
    const Freq f(p, x, y);
    return Ratio(f.mn(), f.a + f.mn(), kMissing);
}
double SorensenNestedness(int p, const double* x, const double* y) {
    const Freq f(p, x, y);
    const double d1 = 2.0 * f.a + f.b + f.c, d2 = f.a + f.mn();
    if (d1 == 0.0 || d2 == 0.0) return kMissing;
    return ((f.mx() - f.mn()) / d1) * f.a / d2;
}
double SokalMichener(int p, const double* x, const double* y) {
    const Freq f(p, x, y);
    return Ratio(f.a, f.a + f.b + f.c + f.d, 0.0);
}
double SimpleMatching(int p, const double* x, const double* y) {
    const Freq f(p, x, y);
    return Ratio(f.a + f.d, f.a + f.b + f.c + f.d, 0.0);
}
double Ochiai(int p, const double* x, const double* y) {
    const Freq f(p, x, y);
    const double den = (f.a + f.b) * (f.a + f.c);
    return den == 0.0 ? 0.0 : f.a / std::sqrt(den);
}
double MeanSquareContingency(int p, const double* x, const double* y) {
    const Freq f(p, x, y);
    const double num = f.a * f.d - f.b * f.c;
    return Ratio(num * num, (f.a + f.b) * (f.a + f.c) * (f.b + f.d) * (f.c + f.d), 0.0);
}

int ResemblanceLib(int n, int p, const Matrix<double>& data, Matrix<double>& out, int orientation, int option,
                   int transformation, const int* types, double /*param1*/, double /*param2*/,
                   bool countDoubleAbsence, bool /*flag*/, ResemblanceWork& work) {
    const Matrix<double>* src = &data;
    if (orientation == 2) {
        Ensure(work.data, p, n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < p; ++j) work.data[j][i] = data[i][j];
        std::swap(n, p);
        src = &work.data;
    }
    using Binary = double (*)(int, const double*, const double*);
    Binary binary = nullptr;
    switch (option) {
    case 1: CrossProductMV(n, p, *src, out); break;
    case 2: AbsValFunctionMV(n, p, *src, out); break;
    case 3: EucliDistMV(n, p, *src, out); break;
    case 5: {
        if (!types) break;  // no variable types: nothing can be compared
        // Gower ranks ordinal columns in place: do it on a copy, not on the caller's data.
        Ensure(work.rows, n, p);
        for (int i = 0; i < n; ++i) std::copy(src->row(i), src->row(i) + p, work.rows.row(i));
        GowerMVOpt(n, p, types, work.rows, out, nullptr, nullptr, countDoubleAbsence);
        break;
    }
    case 11: binary = Jaccard; break;
    case 12: binary = SimpleMatching; break;
    case 13: binary = SokalMichener; break;
    case 14: binary = Ochiai; break;
    case 15: binary = Sorensen; break;
    case 16: binary = MeanSquareContingency; break;
    case 17: CorrelationMV(n, p, *src, out, work.rows); break;
    case 18: ChordDistMV(n, p, *src, out, work.rows); break;
    case 22: CovarianceMV(n, p, *src, out); break;
    case 23: binary = JaccardDissimilarity; break;
    case 24: binary = JaccardTurnover; break;
    case 25: binary = JaccardNestedness; break;
    case 26: binary = SorensenDissimilarity; break;
    case 27: binary = SorensenTurnover; break;
    case 28: binary = SorensenNestedness; break;
    default: break;
    }
    if (binary) PairwiseUpper(n, p, *src, out, binary);
    if (transformation == 1 || transformation == 2)
        for (int i = 0; i < n; ++i)
            for (int j = i; j < n; ++j) out[i][j] = transformation == 2 ? std::sqrt(out[i][j]) : out[i][j] * out[i][j];
    MirrorUpper(n, out);
    return 1;
}

int ResemblanceLib(int n, int p, const Matrix<double>& data, Matrix<double>& out, int orientation, int option,
                   int transformation, const int* types, double param1, double param2, bool countDoubleAbsence,
                   bool flag) {
    ResemblanceWork work;
    return ResemblanceLib(n, p, data, out, orientation, option, transformation, types, param1, param2,
                          countDoubleAbsence, flag, work);
}

int TranslateReseOpt_KOLVAR_DORMAL(int reseOpt) {
    static constexpr int table[] = {0, 0, 0, 1, 0, 17, 3, 0, 2, 0, 18};
    return reseOpt >= 1 && reseOpt <= 10 ? table[reseOpt] : 1;
}

}  // namespace kolvar

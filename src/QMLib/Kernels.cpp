#include "QMLib/Kernels.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kolvar {

namespace {
// Four doubles, loaded and stored without alignment (by copies: a function
// taking or returning one would change with the instruction set).
typedef double Quad __attribute__((vector_size(32)));
}  // namespace
#define KOLVAR_LOAD(v, p) std::memcpy(&(v), (p), sizeof(Quad))
#define KOLVAR_STORE(p, v) std::memcpy((p), &(v), sizeof(Quad))

KOLVAR_VECTOR_CLONES
void SquaredDistancePanels(const double* panels, int nVars, int nObjects, int i0, int q0, int q1, int k0, int k1,
                           double* const* sums) {
    static_assert(kPanel == 8, "two quads per panel");
    const std::size_t stride = static_cast<std::size_t>(nVars) * kPanel;
    const double* own = panels + static_cast<std::size_t>(i0 / kPanel) * stride + i0 % kPanel;
    const int rows = nObjects - i0 < 4 ? nObjects - i0 : 4;
    double spare[4][kPanel] = {};  // rows beyond the last object
    for (int q = q0; q < q1; ++q) {
        const double* other = panels + static_cast<std::size_t>(q) * stride;
        const int j0 = q * kPanel;
        const int width = nObjects - j0 < kPanel ? nObjects - j0 : kPanel;
        double* row[4];
        double partial[4][kPanel];
        for (int r = 0; r < 4; ++r) {
            if (r >= rows) {
                row[r] = spare[r];
            } else if (width < kPanel) {
                // The last panel: its objects beyond the last have no cells.
                for (int c = 0; c < kPanel; ++c) partial[r][c] = c < width ? sums[r][j0 + c] : 0.0;
                row[r] = partial[r];
            } else {
                row[r] = sums[r] + j0;
            }
        }
        // Two quads of sums per row, kept in registers over the variables.
        Quad s[4][2];
        for (int r = 0; r < 4; ++r) {
            KOLVAR_LOAD(s[r][0], row[r]);
            KOLVAR_LOAD(s[r][1], row[r] + 4);
        }
        for (int k = k0; k < k1; ++k) {
            const double* x = other + static_cast<std::size_t>(k) * kPanel;
            const double* a = own + static_cast<std::size_t>(k) * kPanel;
            Quad x0, x1;
            KOLVAR_LOAD(x0, x);
            KOLVAR_LOAD(x1, x + 4);
#pragma GCC unroll 4
            for (int r = 0; r < 4; ++r) {
                const Quad d0 = a[r] - x0, d1 = a[r] - x1;
                s[r][0] += d0 * d0;
                s[r][1] += d1 * d1;
            }
        }
        for (int r = 0; r < 4; ++r) {
            KOLVAR_STORE(row[r], s[r][0]);
            KOLVAR_STORE(row[r] + 4, s[r][1]);
        }
        if (width < kPanel)
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < width; ++c) sums[r][j0 + c] = partial[r][c];
    }
}

KOLVAR_VECTOR_CLONES
void SparseRowsTimesRows(int n, const int* start, const int* idx, const double* val, const double* const* bRows,
                         int j0, int j1, double* const* out) {
    int j = j0;
    // Tiles of 32 columns: the sums stay in registers over the terms.
    for (; j + 32 <= j1; j += 32) {
        for (int i = 0; i < n; ++i) {
            Quad s[8] = {};
            for (int t = start[i]; t < start[i + 1]; ++t) {
                const double a = val[t];
                const double* b = bRows[idx[t]] + j;
#pragma GCC unroll 8
                for (int h = 0; h < 8; ++h) {
                    Quad bh;
                    KOLVAR_LOAD(bh, b + 4 * h);
                    s[h] += a * bh;
                }
            }
            double* o = out[i] + j;
            for (int h = 0; h < 8; ++h) KOLVAR_STORE(o + 4 * h, s[h]);
        }
    }
    if (j == j1) return;
    for (int i = 0; i < n; ++i) {
        double s[32] = {};
        const int w = j1 - j;
        for (int t = start[i]; t < start[i + 1]; ++t) {
            const double a = val[t];
            const double* b = bRows[idx[t]] + j;
            for (int c = 0; c < w; ++c) s[c] += a * b[c];
        }
        for (int c = 0; c < w; ++c) out[i][j + c] = s[c];
    }
}

void SparseRows::Build(int n, int m, const double* const* aRows, double missing) {
    start.resize(static_cast<std::size_t>(n) + 1);
    idx.clear();
    val.clear();
    for (int i = 0; i < n; ++i) {
        start[static_cast<std::size_t>(i)] = static_cast<int>(idx.size());
        const double* a = aRows[i];
        for (int k = 0; k < m; ++k)
            if (a[k] != 0.0 && a[k] != missing) {
                idx.push_back(k);
                val.push_back(a[k]);
            }
    }
    start[static_cast<std::size_t>(n)] = static_cast<int>(idx.size());
}

void SparseRowsProduct(const SparseRows& a, int n, int p, const double* const* bRows, double* const* out) {
    // Column tiles of 32: a tile of B (m x 32) stays in the second-level cache
    // while every row reads it.
    constexpr int kCols = 32;
    const int nTiles = (p + kCols - 1) / kCols;
    const long long work = static_cast<long long>(a.idx.size()) * p;
    const int* st = a.start.data();
    const int* ix = a.idx.data();
    const double* v = a.val.data();
#pragma omp parallel for schedule(dynamic, 1) if (work >= (1LL << 21) && nTiles > 1)
    for (int tile = 0; tile < nTiles; ++tile)
        SparseRowsTimesRows(n, st, ix, v, bRows, tile * kCols, std::min(p, (tile + 1) * kCols), out);
}

void SkipZeroProduct(int n, int m, int p, const double* const* aRows, const double* const* bRows, double missing,
                     double* const* out) {
    thread_local SparseRows rows;
    rows.Build(n, m, aRows, missing);
    SparseRowsProduct(rows, n, p, bRows, out);
}

// The comparisons are counted rather than tested one by one, so that the loops
// vectorise.
KOLVAR_VECTOR_CLONES
bool AnyEqual(const double* x, int n, double v) {
    long long count = 0;
    for (int i = 0; i < n; ++i) count += x[i] == v ? 1 : 0;
    return count > 0;
}

KOLVAR_VECTOR_CLONES
bool AnyInRows(int n, int p, const double* const* rows, double v) {
    for (int i = 0; i < n; ++i) {
        const double* x = rows[i];
        long long count = 0;
        for (int j = 0; j < p; ++j) count += x[j] == v ? 1 : 0;
        if (count > 0) return true;
    }
    return false;
}

KOLVAR_VECTOR_CLONES
bool AnyInUpper(int n, const double* const* rows, double v) {
    for (int i = 0; i < n; ++i) {
        const double* x = rows[i];
        long long count = 0;
        for (int j = i + 1; j < n; ++j) count += x[j] == v ? 1 : 0;
        if (count > 0) return true;
    }
    return false;
}

}  // namespace kolvar

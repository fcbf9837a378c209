#pragma once
// The innermost loops of the distances and products that every permutation
// repeats. Each is built twice, for the AVX2 instruction set and for any
// x86-64 processor, and the loader picks the one the processor runs. Every
// output value adds its terms one by one in ascending order, without fused
// multiply-adds (the build turns contraction off), so both builds give the
// same bits as a plain loop: only independent values share a vector.

#include <cstddef>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(KOLVAR_NO_CLONES)
#define KOLVAR_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KOLVAR_VECTOR_CLONES
#endif

namespace kolvar {

/// Objects laid out in panels of kPanel: panel q holds objects kPanel q ..
/// kPanel q + kPanel - 1, variable by variable (`panels[(q * nVars + k) *
/// kPanel + r]`); objects beyond the last are zeros.
inline constexpr int kPanel = 8;

/// Squared Euclidean distances of the four objects i0 .. i0 + 3 (i0 a multiple
/// of 4) to the objects of panels q0 .. q1 - 1, continued over variables k0 ..
/// k1 - 1 in order: sums[r][j] (r < 4, j from q0 kPanel up to nObjects) holds
/// the sum over the earlier variables (0.0 when k0 is 0) and receives the sum
/// including these. Rows r with i0 + r >= nObjects are not touched.
void SquaredDistancePanels(const double* panels, int nVars, int nObjects, int i0, int q0, int q1, int k0, int k1,
                           double* const* sums);

/// Sums of products of the rows of a sparse matrix with rows of another:
/// out_i[j] = sum over t ascending of val[t] * bRows[idx[t]][j] for t from
/// start[i] to start[i + 1] - 1 and j from j0 to j1 - 1 (overwritten).
void SparseRowsTimesRows(int n, const int* start, const int* idx, const double* val, const double* const* bRows,
                         int j0, int j1, double* const* out);

/// The rows of a matrix as lists of their terms (column and value), in
/// ascending column order, the terms equal to 0 or to `missing` left out.
struct SparseRows {
    std::vector<int> start, idx;  ///< row i: terms start[i] .. start[i + 1] - 1
    std::vector<double> val;
    void Build(int n, int m, const double* const* aRows, double missing);
};

/// out[i][j] = sum over the terms t of row i, in order, of val[t] * bRows[idx[t]][j]
/// for j < p. Runs in parallel over column tiles when it is large enough (each
/// cell's sum is the same either way).
void SparseRowsProduct(const SparseRows& a, int n, int p, const double* const* bRows, double* const* out);

/// The product of A (n rows aRows, m columns) and B (m rows bRows, p columns)
/// with the terms whose A value is 0 or `missing` left out: out[i][j] = sum over
/// k ascending of a_ik b_kj.
void SkipZeroProduct(int n, int m, int p, const double* const* aRows, const double* const* bRows, double missing,
                     double* const* out);

/// Whether any of the n values equals v.
bool AnyEqual(const double* x, int n, double v);
/// Whether any of columns 0 .. p - 1 of the n rows holds v.
bool AnyInRows(int n, int p, const double* const* rows, double v);
/// Whether any cell (i, j), j > i, of the n x n rows holds v.
bool AnyInUpper(int n, const double* const* rows, double v);

}  // namespace kolvar

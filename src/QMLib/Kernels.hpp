#pragma once
// The innermost loops of the distances and products that every permutation
// repeats. Each is built twice, for the AVX2 instruction set and for any
// x86-64 processor, and the loader picks the one the processor runs. Every
// output value adds its terms one by one in ascending order, without fused
// multiply-adds (the build turns contraction off), so both builds give the
// same bits as a plain loop: only independent values share a vector.

#include <cstddef>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(KOLVAR_NO_CLONES)
#define KOLVAR_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KOLVAR_VECTOR_CLONES
#endif

namespace kolvar {

/// Squared Euclidean distances of a tile: rows i0 .. i0 + rows - 1 against
/// columns j0 .. j1 - 1 of the data laid out by variable (`cols[k * n + i]`),
/// over the variables listed in `used` (ascending). acc is rows x (j1 - j0),
/// row-major, and receives the sums (overwritten).
void SquaredDistanceTile(const double* cols, std::size_t n, const int* used, int nUsed, int i0, int rows, int j0,
                         int j1, double* acc);

/// Product tile: acc[r][j - j0] = sum over k ascending of a_r[k] * b_k[j] for the
/// `rows` rows a_r = aRows[r] and the m rows b_k = bRows[k], terms
/// with a_r[k] equal to 0 or to the missing value skipped. acc is rows x
/// (j1 - j0), row-major, and receives the sums (overwritten).
void ProductTile(const double* const* aRows, int rows, const double* const* bRows, int m, int j0, int j1,
                 double missing, double* acc);

/// Whether any of the n values equals v.
bool AnyEqual(const double* x, int n, double v);

}  // namespace kolvar

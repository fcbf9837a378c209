#include "QMLib/Kernels.hpp"

namespace kolvar {

KOLVAR_VECTOR_CLONES
void SquaredDistanceTile(const double* cols, std::size_t n, const int* used, int nUsed, int i0, int rows, int j0,
                         int j1, double* acc) {
    const int w = j1 - j0;
    for (int r = 0; r < rows * w; ++r) acc[r] = 0.0;
    for (int u = 0; u < nUsed; ++u) {
        const double* col = cols + static_cast<std::size_t>(used[u]) * n;
        const double* c = col + j0;
        for (int r = 0; r < rows; ++r) {
            const double a = col[i0 + r];
            double* s = acc + static_cast<std::size_t>(r) * w;
            for (int j = 0; j < w; ++j) {
                const double d = a - c[j];
                s[j] += d * d;
            }
        }
    }
}

KOLVAR_VECTOR_CLONES
void ProductTile(const double* const* aRows, int rows, const double* const* bRows, int m, int j0, int j1,
                 double missing, double* acc) {
    const int w = j1 - j0;
    for (int r = 0; r < rows * w; ++r) acc[r] = 0.0;
    for (int k = 0; k < m; ++k) {
        const double* b = bRows[k] + j0;
        for (int r = 0; r < rows; ++r) {
            const double ak = aRows[r][k];
            if (ak == 0.0 || ak == missing) continue;
            double* s = acc + static_cast<std::size_t>(r) * w;
            for (int j = 0; j < w; ++j) s[j] += ak * b[j];
        }
    }
}

KOLVAR_VECTOR_CLONES
bool AnyEqual(const double* x, int n, double v) {
    long long count = 0;
    for (int i = 0; i < n; ++i) count += x[i] == v ? 1 : 0;
    return count > 0;
}

}  // namespace kolvar

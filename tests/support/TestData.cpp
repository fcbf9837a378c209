#include "support/TestData.hpp"

#include <gsl/gsl_rng.h>

#include <cmath>

namespace kolvar::test {

Matrix<double> EuclideanDistances(const Matrix<double>& x, std::size_t cols) {
    const std::size_t n = x.rows();
    const std::size_t p = cols == 0 ? x.cols() : cols;
    Matrix<double> d(n, n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            double s = 0;
            for (std::size_t k = 0; k < p; ++k) s += (x[i][k] - x[j][k]) * (x[i][k] - x[j][k]);
            d[i][j] = std::sqrt(s);
        }
    return d;
}

Matrix<double> UniformMatrix(int n, int p, unsigned long seed, double scale, double shift) {
    gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
    gsl_rng_set(g, seed);
    Matrix<double> m(n, p);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) m[i][j] = gsl_rng_uniform(g) * scale + shift;
    gsl_rng_free(g);
    return m;
}

Random Seeded(unsigned long seed) {
    Random rnd;
    InitRndNumberGenerator(rnd, seed);
    return rnd;
}

}  // namespace kolvar::test

// Timings of the routines the permutation test repeats most: the weighted
// product behind community-weighted means and the matrix correlations. Every
// case draws its data from a fixed seed so runs are comparable.
#include <benchmark/benchmark.h>
#include <gsl/gsl_rng.h>

#include <cmath>
#include <vector>

#include "QMLib/MatrixProd.hpp"
#include "stattests/Diversity.hpp"
#include "stattests/MatrixCorrelation.hpp"

namespace {

using kolvar::Matrix;

Matrix<double> Draw(int n, int p, unsigned long seed) {
    gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
    gsl_rng_set(g, seed);
    Matrix<double> m(n, p);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) m[i][j] = gsl_rng_uniform(g);
    gsl_rng_free(g);
    return m;
}

Matrix<double> Distances(const Matrix<double>& x) {
    const std::size_t n = x.rows();
    Matrix<double> d(n, n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j) {
            double s = 0;
            for (std::size_t k = 0; k < x.cols(); ++k) s += (x[i][k] - x[j][k]) * (x[i][k] - x[j][k]);
            d[i][j] = d[j][i] = std::sqrt(s);
        }
    return d;
}

// n communities by n OTUs times n OTUs by 10 traits, all traits selected.
void BM_WeightedProduct(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0)), traits = 10;
    const Matrix<double> w = Draw(n, n, 1), b = Draw(n, traits, 2);
    const std::vector<int> weights(n, 1);
    Matrix<double> t(n, traits);
    for (auto _ : state) {
        kolvar::MatrixProdSelectMV_Adjust_Weight(n, n, n, traits, w, b, t, nullptr, weights.data());
        benchmark::DoNotOptimize(t[0][0]);
    }
}

void BM_MatrixCorr(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Matrix<double> da = Distances(Draw(n, 5, 3)), db = Distances(Draw(n, 3, 4));
    for (auto _ : state) benchmark::DoNotOptimize(kolvar::MatrixCorr(n, da, db));
}

void BM_RVcoeff(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Matrix<double> a = Draw(n, 5, 5), b = Draw(n, 3, 6);
    kolvar::MatrixCorrWork work;
    for (auto _ : state) benchmark::DoNotOptimize(kolvar::RVcoeff(n, 5, 3, a, b, work));
}

void BM_ProcrustesCoeff(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Matrix<double> a = Draw(n, 5, 7), b = Draw(n, 3, 8);
    kolvar::MatrixCorrWork work;
    for (auto _ : state) benchmark::DoNotOptimize(kolvar::ProcrustesCoeff(n, 5, 3, a, b, work));
}

// Rao entropy of n communities over n OTUs, about 30 % of them present in
// each, as in the scaling benchmark (every permutation computes it).
void BM_RaoCommunities(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Matrix<double> w = Draw(n, n, 3);
    const Matrix<double> s = Draw(n, n, 4);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) w[i][j] = w[i][j] < 0.3 ? 1.0 + std::floor(w[i][j] * 16) : 0.0;
    std::vector<double> out(static_cast<std::size_t>(n));
    kolvar::RaoWork work;
    for (auto _ : state) {
        kolvar::RaoIndex_Weight_Matrix(n, n, w, s, out.data(), false, true, nullptr, false, true, work);
        benchmark::DoNotOptimize(out[0]);
    }
}

BENCHMARK(BM_WeightedProduct)->Arg(100)->Arg(500)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RaoCommunities)->Arg(75)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatrixCorr)->Arg(100)->Arg(500)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RVcoeff)->Arg(100)->Arg(500)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcrustesCoeff)->Arg(100)->Arg(500)->Arg(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

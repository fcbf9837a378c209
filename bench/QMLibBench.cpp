// Timings of the resemblance and belonging routines that dominate an analysis:
// Euclidean distances (every permutation), the per-trait Gower route and the
// fuzzy belonging (every trait subset), at 100, 500 and 2,000 objects.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "QMLib/Belonging.hpp"
#include "QMLib/Resemblance.hpp"
#include "QMLib/qmlibDim.hpp"

namespace kolvar {
namespace {

constexpr int kTraits = 8;
// Two binary, one nominal, four quantitative and one ordinal trait.
constexpr int kTypes[kTraits] = {1, 1, 2, 3, 3, 3, 3, 4};

Matrix<double> MakeTraits(int n) {
    std::mt19937 gen(20261206);
    std::normal_distribution<double> norm(0.0, 1.0);
    Matrix<double> data(n, kTraits);
    for (int i = 0; i < n; ++i)
        for (int t = 0; t < kTraits; ++t) {
            switch (kTypes[t]) {
            case 1: data[i][t] = static_cast<double>(gen() % 2); break;
            case 2: data[i][t] = static_cast<double>(gen() % 5); break;
            case 4: data[i][t] = static_cast<double>(gen() % 7); break;
            default: data[i][t] = norm(gen); break;
            }
            if (gen() % 50 == 0) data[i][t] = kMissing;
        }
    return data;
}

void BM_EucliDistMV(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Matrix<double> data = MakeTraits(n);
    Matrix<double> out(n, n);
    for (auto _ : state) {
        EucliDistMV(n, kTraits, data, out);
        benchmark::DoNotOptimize(out[n - 1][0]);
    }
}

// The distances between the permuted community compositions of the scaling
// benchmark: n communities by n types, complete, one thread.
void BM_EucliDistSquare(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Matrix<double> data(n, n), out(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) data[i][j] = u(gen);
    for (auto _ : state) {
        EucliDistMV(n, n, data, out);
        benchmark::DoNotOptimize(out[n - 1][0]);
    }
}

void BM_GowerPartial(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Matrix<double> data = MakeTraits(n);
    std::vector<double> ranges(kTraits, 0.0), weights(kTraits, 1.0);
    Array3D<double> partial = dim3D<double>(n, n, kTraits);
    for (auto _ : state) {
        gower_similarityPartial(kTraits, data, n, partial, kTypes, ranges.data(), weights.data(), false);
        benchmark::DoNotOptimize(partial[0][n - 1][0]);
    }
}

void BM_GowerAverage(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Matrix<double> data = MakeTraits(n);
    std::vector<double> ranges(kTraits, 0.0), weights(kTraits, 1.0);
    Array3D<double> partial = dim3D<double>(n, n, kTraits);
    gower_similarityPartial(kTraits, data, n, partial, kTypes, ranges.data(), weights.data(), false);
    const int select[kTraits] = {1, 0, 1, 1, 0, 1, 1, 1};
    Matrix<double> s(n, n);
    for (auto _ : state) {
        gower_similarityAverage(kTraits, n, partial, s, select);
        benchmark::DoNotOptimize(s[0][n - 1]);
    }
}

void BM_FuzzyBelonging(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Matrix<double> data = MakeTraits(n);
    std::vector<double> ranges(kTraits, 0.0), weights(kTraits, 1.0);
    Array3D<double> partial = dim3D<double>(n, n, kTraits);
    gower_similarityPartial(kTraits, data, n, partial, kTypes, ranges.data(), weights.data(), false);
    const int select[kTraits] = {1, 1, 1, 1, 1, 1, 1, 1};
    Matrix<double> s(n, n);
    gower_similarityAverage(kTraits, n, partial, s, select);
    Matrix<double> u(n, n);
    BelongingWork work;
    // One type per OTU, the usual case of the functional analysis.
    for (auto _ : state) {
        FuzzyBelonging(n, n, s, nullptr, u, false, work);
        benchmark::DoNotOptimize(u[0][0]);
    }
}

BENCHMARK(BM_EucliDistMV)->Arg(100)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EucliDistSquare)->Arg(75)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GowerPartial)->Arg(100)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GowerAverage)->Arg(100)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FuzzyBelonging)->Arg(100)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kolvar

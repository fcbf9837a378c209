// Time per permutation of the functional permutation test on made-up data the
// size of the example data set (75 communities, 82 OTUs, 8 traits, 4
// variables) and at twice and four times its communities and OTUs.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "QMLib/Resemblance.hpp"
#include "stattests/PermTest.hpp"
#include "QMLib/Random.hpp"

namespace kolvar {
namespace {

struct MadeUpData {
    int n, nOTUs, nch = 8, nEnv = 4;
    Matrix<double> W, B, U, Sb, E, DE, DY, Y, M, Tobs, Xobs, nncrdObs;
    std::vector<double> Robs;
    PermTest_FunctionalPhyl_Correl_Input in;
    Random rnd;

    MadeUpData(int communities, int otus) : n(communities), nOTUs(otus) {
        std::mt19937 gen(7);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        W = Matrix<double>(n, nOTUs);
        for (int i = 0; i < n; ++i) {
            double tot = 0;
            for (int k = 0; k < nOTUs; ++k) tot += W[i][k] = u(gen) < 0.3 ? std::floor(u(gen) * 5) + 1 : 0;
            for (int k = 0; k < nOTUs; ++k) W[i][k] /= tot > 0 ? tot : 1;
        }
        B = Matrix<double>(nOTUs, nch);
        for (int k = 0; k < nOTUs; ++k)
            for (int j = 0; j < nch; ++j) B[k][j] = u(gen) * 100;
        U = Matrix<double>(nOTUs, nOTUs);
        for (int k = 0; k < nOTUs; ++k) U[k][k] = 1.0;
        Sb = Matrix<double>(nOTUs, nOTUs);
        std::vector<int> types(nch, 3);
        GowerMV(nOTUs, nch, types.data(), B, Sb, nullptr, nullptr);
        E = Matrix<double>(n, nEnv);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < nEnv; ++j) E[i][j] = u(gen);
        DE = Matrix<double>(n, n);
        EucliDistMV(n, nEnv, E, DE);
        Y = W;
        DY = Matrix<double>(n, n);
        EucliDistMV(n, nOTUs, Y, DY);
        M = Sb;
        Tobs = Matrix<double>(n, nch);
        Xobs = Matrix<double>(n, nOTUs);
        nncrdObs = Matrix<double>(2, n);
        Robs.assign(n, 0.0);

        in.nch = nch;
        in.chSelect.assign(nch, 1);
        in.nOTUs = in.nTypes = nOTUs;
        in.nEnv = nEnv;
        in.ncsm = n;
        in.relSelect.assign(n, 1);
        in.B = &B;
        in.Sb = &Sb;
        in.E = &E;
        in.U = &U;
        in.DE = &DE;
        in.DY = &DY;
        in.Wfw = in.W = &W;
        in.Y = &Y;
        in.M = &M;
        in.Tobs = &Tobs;
        in.Xobs = &Xobs;
        in.Robs = &Robs;
        in.nncrdObs = &nncrdObs;
        for (int i = 0; i < n; ++i) {
            int r = 0;
            for (int k = 0; k < nOTUs; ++k) r += W[i][k] > 0;
            in.richness.push_back(r);
        }
        in.weight_OTUs.assign(nOTUs, 1);
        in.rnd = &rnd;
    }
};

// Reported time is per permutation: niter - 1 iterations per test run.
void BM_PermutationMantelTaxaShuffle(benchmark::State& state) {
    MadeUpData d(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    d.in.niter = 100;
    for (auto _ : state) {
        InitRndNumberGenerator(d.rnd, 1);
        PermTest_FunctionalPhyl_Correl(d.in);
        benchmark::DoNotOptimize(d.in.prob[0]);
    }
    state.SetItemsProcessed(state.iterations() * (d.in.niter - 1));
    state.counters["seconds_per_permutation"] = benchmark::Counter(
        static_cast<double>(state.iterations() * (d.in.niter - 1)),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PermutationMantelTaxaShuffle)->Args({75, 82})->Args({150, 164})->Args({300, 328})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kolvar

// Species maps at import and after a merge, when many OTUs (populations)
// share one species name: the time grows with the size of the maps, not with
// its cube. Compare 1000, 2000 and 4000 OTUs.
#include <benchmark/benchmark.h>

#include <string>

#include "data/Import.hpp"

namespace kolvar {
namespace {

DataSet Populations(int nOTU, int communities) {
    DataSet d;
    d.tcst = nOTU;
    d.ncsm = communities;
    d.nch = 1;
    d.cadat = Matrix<double>(static_cast<std::size_t>(nOTU), static_cast<std::size_t>(communities));
    for (int i = 0; i < nOTU; ++i) d.cadat[i][i % communities] = 1.0;
    // Four species, each with a quarter of the OTUs as populations.
    for (int i = 0; i < nOTU; ++i) d.spp.push_back("Species " + std::to_string(i % 4));
    return d;
}

void BM_CheckSpecies(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        DataSet d = Populations(n, 20);
        CheckSpecies(d, 2);
        SpeciesReleveMap(d);
        benchmark::DoNotOptimize(d.nSpp);
    }
}
BENCHMARK(BM_CheckSpecies)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);

// After a merge: every OTU still its own species of a shared name.
void BM_CheckSpeciesMerge(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        DataSet d = Populations(n, 20);
        d.nSpp = n;
        d.cstSppMap = Matrix<char>(static_cast<std::size_t>(n), static_cast<std::size_t>(n));
        d.cstSppMap.fill('0');
        for (int i = 0; i < n; ++i) d.cstSppMap[i][i] = '1';
        d.sppRelMap = Matrix<char>(static_cast<std::size_t>(n), 20);
        d.sppRelMap.fill('0');
        state.ResumeTiming();
        CheckSpeciesMerge(d);
        TrimSpecies(d, d.tcst);
        benchmark::DoNotOptimize(d.nSpp);
    }
}
BENCHMARK(BM_CheckSpeciesMerge)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kolvar

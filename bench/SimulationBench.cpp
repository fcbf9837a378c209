// One simulated data set of the reference design: 30 sites x 40 OTUs x 3
// traits x 2 factors, 50 years x 10 steps per year, parameters drawn at random.
#include <benchmark/benchmark.h>

#include "QMLib/Random.hpp"
#include "simulation/Generate.hpp"
#include "simulation/Model.hpp"

namespace kolvar {
namespace {

SimulationDesign ReferenceDesign(bool feedback) {
    SimulationDesign d;
    d.nSites = 30;
    d.nOTUs = 40;
    d.nTraits = 3;
    d.nFactors = 2;
    d.nPredictors = 2;
    d.traitInput = 'c';
    d.traitCorr = Matrix<double>::FromRows({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    d.traitDistribution = 2;
    d.envInput = 'c';
    d.factorCorr = Matrix<double>::FromRows({{1, 0}, {0, 1}});
    d.envDistribution = 2;
    d.response = Matrix<double>::FromRows({{1.5, 0}, {0, 0}, {0, 0}});
    d.effect = Matrix<double>(2, 3);
    if (feedback) d.effect[0][0] = 0.5;
    for (LogisticSource* s : {&d.dispersal, &d.inertia, &d.density, &d.ageSurvival}) {
        s->centerMin = 0.2, s->centerMax = 0.8, s->slopeMin = -3, s->slopeMax = -1;
    }
    d.survival.centerMin = 0.3, d.survival.centerMax = 0.7, d.survival.slopeMin = -4, d.survival.slopeMax = -2;
    d.lifespanMin = 2;
    d.lifespanMax = 10;
    d.maxAverage = 20;
    d.years = 50;
    d.stepsPerYear = 10;
    d.threshold = 0.5;
    return d;
}

void BM_SimulateOneDataSet(benchmark::State& state) {
    const SimulationDesign d = ReferenceDesign(state.range(0) != 0);
    Random rnd;
    InitRndNumberGenerator(rnd, 7);
    Matrix<double> raw, B, coords;
    TraitSummary summary;
    MetacommunitySimulation_Input in;
    in.nSites = d.nSites, in.nOTUs = d.nOTUs, in.nTraits = d.nTraits, in.nFactors = d.nFactors;
    in.nPredictors = d.nPredictors, in.maxIndividuals = d.MaxIndividuals(), in.nSteps = d.NSteps();
    in.stepsPerYear = d.stepsPerYear, in.thresholdProportion = d.threshold;
    in.responseParams = d.response, in.effectParams = d.effect;
    for (auto _ : state) {
        GenerateTraits(rnd, d, raw, B, summary);
        DrawParameters(rnd, d, in, coords);
        in.traits = B;
        MetacommunitySimulation(in, rnd);
        benchmark::DoNotOptimize(in.totalAbundance);
    }
    state.counters["individuals"] = in.totalAbundance;
}
BENCHMARK(BM_SimulateOneDataSet)->Arg(0)->Arg(1)->ArgName("feedback")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kolvar

// The model's steps allocate nothing once every birth list has held its most
// individuals: global operator new is counted while a flag is set.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "QMLib/Random.hpp"
#include "simulation/Model.hpp"
#include "support/TestData.hpp"

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
std::atomic<long long> gBytes{0};
}  // namespace

void* operator new(std::size_t n) {
    if (gCounting.load(std::memory_order_relaxed)) {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
        gBytes.fetch_add(static_cast<long long>(n), std::memory_order_relaxed);
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace kolvar {
namespace {

TEST(MetacommunityModelMemory, StepsDoNotAllocate) {
    // Capacity 1 per site and certain death at density 1: every birth list holds
    // at most one individual, so after the first steps nothing is left to grow.
    MetacommunitySimulation_Input in;
    in.nSites = 3;
    in.nOTUs = 2;
    in.nTraits = 2;
    in.nFactors = 2;
    in.nPredictors = 3;
    in.useInteractions = true;
    in.weightByAge = true;
    in.maxIndividuals = 3;
    in.nSteps = 400;
    in.stepsPerYear = 2;
    in.thresholdProportion = 0.2;
    in.Allocate();
    for (auto& m : in.survivalParams)
        for (int j = 0; j < 2; ++j) m[j][0] = 1.0, m[j][1] = -0.5;
    for (int j = 0; j < 2; ++j) {
        in.traits[j][0] = j ? 1.0 : -1.0;
        in.traits[j][1] = j ? -0.5 : 0.5;
        in.dispersalParams[j][0] = 0.5, in.dispersalParams[j][1] = -1;
        in.densityParams[j][0] = 0.5, in.densityParams[j][1] = -1000;
        in.ageSurvivalParams[j][0] = 0.9, in.ageSurvivalParams[j][1] = -1;
        in.maxLifespan[j] = 3;
    }
    for (int i = 0; i < 3; ++i) {
        in.inertiaParams[i][0] = 0.5, in.inertiaParams[i][1] = -1;
        in.ecosystem[0][i] = i - 1.0;
        in.ecosystem[1][i] = i == 1 ? 1.0 : -0.5;
        for (int k = 0; k < 3; ++k) in.siteDistances[i][k] = i == k ? 0 : 0.5;
    }
    in.responseParams[0][0] = 0.7;
    in.responseParams[1][1] = 0.4;
    in.effectParams[0][0] = 0.5;  // feedback on: filtering recomputed every step
    Random rnd = test::Seeded(13);
    int step = 0;
    long atStep100 = 0;
    const ProgressFn progress = [&](const char*) {
        if (++step == 100) {
            atStep100 = gAllocations.load();
            gCounting = true;
        }
    };
    MetacommunitySimulation(in, rnd, progress);
    gCounting = false;
    EXPECT_EQ(gAllocations.load() - atStep100, 0);
    EXPECT_EQ(step, 400);
}

TEST(MetacommunityModelMemory, BirthListsFollowTheIndividualsAlive) {
    // 100 sites x 500 OTUs x 1000 steps: lists sized for every step would take
    // 200 MB; with capacity 2 per site at most 2 individuals of a site are alive.
    MetacommunitySimulation_Input in;
    in.nSites = 100;
    in.nOTUs = 500;
    in.nTraits = 1;
    in.nFactors = 1;
    in.nPredictors = 1;
    in.maxIndividuals = 200;
    in.nSteps = 1000;
    in.Allocate();
    for (int j = 0; j < in.nOTUs; ++j) {
        in.survivalParams[0][j][0] = 1.0, in.survivalParams[0][j][1] = -1;
        in.dispersalParams[j][0] = 1.0, in.dispersalParams[j][1] = -1000;
        in.densityParams[j][0] = 0.5, in.densityParams[j][1] = -1000;
        in.ageSurvivalParams[j][0] = 1.0, in.ageSurvivalParams[j][1] = -1;
        in.maxLifespan[j] = 10;
    }
    for (int i = 0; i < in.nSites; ++i) in.inertiaParams[i][0] = 0.5, in.inertiaParams[i][1] = -1;
    Random rnd = test::Seeded(3);
    gBytes = 0;
    gCounting = true;
    MetacommunitySimulation(in, rnd);
    gCounting = false;
    EXPECT_LT(gBytes.load(), 40LL * 1024 * 1024);
    EXPECT_GT(in.totalAbundance, 0);
    EXPECT_LE(in.totalAbundance, 2 * in.nSites);
}

}  // namespace
}  // namespace kolvar

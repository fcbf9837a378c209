// The model's steps allocate nothing once every birth list has held its most
// individuals: global operator new is counted while a flag is set.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "QMLib/Random.hpp"
#include "ModelInputs.hpp"
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
    MetacommunitySimulation_Input in = test::RandomDesign(true);  // feedback: filtering recomputed every step
    in.maxIndividuals = in.nSites;
    in.nSteps = 400;
    test::Fill(in.densityParams, 0.5, -1000);
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
    MetacommunitySimulation_Input in = test::Sized(100, 500, 1, 1, 2, 1000);
    test::Fill(in.survivalParams[0], 1.0, -1);
    test::Fill(in.dispersalParams, 1.0, -1000);
    test::Fill(in.densityParams, 0.5, -1000);
    test::Fill(in.ageSurvivalParams, 1.0, -1);
    test::Fill(in.inertiaParams, 0.5, -1);
    in.maxLifespan.assign(500, 10);
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

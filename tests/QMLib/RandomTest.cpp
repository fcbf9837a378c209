#include <gtest/gtest.h>
#include <gsl/gsl_rng.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "QMLib/Random.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

// An independent MT19937 stream: the shuffles must consume exactly these draws.
struct Reference {
    explicit Reference(unsigned long seed) : g(gsl_rng_alloc(gsl_rng_mt19937)) { gsl_rng_set(g, seed); }
    ~Reference() { gsl_rng_free(g); }
    int Uniform(int m) { return static_cast<int>(gsl_rng_uniform_int(g, static_cast<unsigned long>(m))); }
    std::vector<int> Shuffle(std::vector<int> v) {
        const int n = static_cast<int>(v.size());
        for (int i = 0; i < n - 1; ++i) std::swap(v[i], v[i + Uniform(n - i)]);
        return v;
    }
    gsl_rng* g;
};

std::vector<int> Iota(int n) {
    std::vector<int> v(static_cast<std::size_t>(n));
    std::iota(v.begin(), v.end(), 1);
    return v;
}

TEST(Random, GeneratorIsSeededMersenneTwister) {
    Random rnd = test::Seeded(4357);
    EXPECT_STREQ(gsl_rng_name(rnd.get()), "mt19937");
    Reference ref(4357);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(gsl_rng_get(rnd.get()), gsl_rng_get(ref.g));

    // Re-initialising starts the same stream again.
    InitRndNumberGenerator(rnd, 99);
    std::vector<int> a(20), b(20);
    RndList(rnd, 20, a.data());
    InitRndNumberGenerator(rnd, 99);
    RndList(rnd, 20, b.data());
    EXPECT_EQ(a, b);
    std::vector<int> sorted = a;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, Iota(20));
}

TEST(Random, ShufflesDrawTheReferenceSequence) {
    Random rnd = test::Seeded(2024);
    Reference ref(2024);

    std::vector<int> list(10);
    RndList(rnd, 10, list.data());
    EXPECT_EQ(list, ref.Shuffle(Iota(10)));

    std::vector<int> given{7, 3, 9, 1, 5};
    RndListSpecified(rnd, 5, given.data());
    EXPECT_EQ(given, ref.Shuffle({7, 3, 9, 1, 5}));

    std::vector<int> boot(8);
    RndListBootstrap(rnd, 8, boot.data());
    for (int i = 0; i < 8; ++i) EXPECT_EQ(boot[i], ref.Uniform(8) + 1);

    // Selected positions 2, 4, 5 (1-based): their new values are positions,
    // picked by a shuffle of 1..3.
    std::vector<int> sel{0, 1, 0, 1, 1, 0};
    std::vector<int> l2{10, 20, 30, 40, 50, 60};
    RndListSelect(rnd, 6, l2.data(), sel.data());
    const std::vector<int> q = ref.Shuffle(Iota(3));
    const int p[3] = {2, 4, 5};
    EXPECT_EQ(l2[0], 10);
    EXPECT_EQ(l2[2], 30);
    EXPECT_EQ(l2[5], 60);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(l2[p[i] - 1], p[q[i] - 1]);

    // The bool form consumes the same draws as the int form.
    const bool bsel[6] = {false, true, false, true, true, false};
    std::vector<int> l3(6, 0);
    RndListSelect(rnd, 6, l3.data(), bsel);
    const std::vector<int> q3 = ref.Shuffle(Iota(3));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(l3[p[i] - 1], p[q3[i] - 1]);

    // Groups visited in increasing code order, whatever their order in the list.
    const int groups[6] = {5, 2, 5, 2, 5, 2};
    std::vector<int> nested(6);
    RndListNestedNew(rnd, 6, groups, 1, nested.data());
    const std::vector<int> qa = ref.Shuffle(Iota(3));  // group 2: positions 2, 4, 6
    const std::vector<int> qb = ref.Shuffle(Iota(3));  // group 5: positions 1, 3, 5
    const int pa[3] = {2, 4, 6}, pb[3] = {1, 3, 5};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(nested[pa[i] - 1], pa[qa[i] - 1]);
        EXPECT_EQ(nested[pb[i] - 1], pb[qb[i] - 1]);
    }
    // Both streams are still in step.
    EXPECT_EQ(gsl_rng_get(rnd.get()), gsl_rng_get(ref.g));
}

TEST(Random, ListEdgeCases) {
    Random rnd = test::Seeded(1);
    Reference ref(1);
    int one = 0;
    RndList(rnd, 1, &one);
    EXPECT_EQ(one, 1);
    int untouched = 42;
    RndList(rnd, 0, &untouched);
    EXPECT_EQ(untouched, 42);

    std::vector<int> list{4, 3, 2, 1};
    const int none[4] = {0, 0, 2, 0};  // only 1 selects
    RndListSelect(rnd, 4, list.data(), none);
    EXPECT_EQ(list, (std::vector<int>{4, 3, 2, 1}));

    const int singletons[5] = {3, 1, 4, 5, 9};
    std::vector<int> nested(5);
    RndListNestedNew(rnd, 5, singletons, 1, nested.data());
    EXPECT_EQ(nested, Iota(5));
    // None of the above consumed a draw.
    EXPECT_EQ(gsl_rng_get(rnd.get()), gsl_rng_get(ref.g));
}

TEST(Random, CombinationEnumerators) {
    Random rnd;
    const std::vector<std::vector<int>> arrangements{{1, 2, 3, 4}, {1, 3, 2, 4}, {1, 4, 2, 3},
                                                     {2, 3, 1, 4}, {2, 4, 1, 3}, {3, 4, 1, 2}};
    const std::vector<std::vector<int>> binary{{1, 1, 0, 0}, {1, 0, 1, 0}, {1, 0, 0, 1},
                                               {0, 1, 1, 0}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    std::vector<int> out(4), bin(4);
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(PermuteArray(rnd, 4, 2, out.data(), c == 0), c + 1);
        EXPECT_EQ(out, arrangements[c]);
        EXPECT_EQ(PermuteArrayBinary(rnd, 4, 2, bin.data(), c == 0), c + 1);
        EXPECT_EQ(bin, binary[c]);
    }
    // The enumeration was released after the sixth combination.
    EXPECT_FALSE(rnd.permuteArrayState.active);
    EXPECT_EQ(PermuteArray(rnd, 4, 2, out.data(), false), 0);

    // Larger case: counts C(10, 3) calls, every combination distinct.
    std::vector<int> o(10);
    std::vector<std::vector<int>> seen;
    int last = 0;
    for (bool first = true;; first = false) {
        last = PermuteArray(rnd, 10, 3, o.data(), first);
        seen.emplace_back(o.begin(), o.begin() + 3);
        std::vector<int> all = o;
        std::sort(all.begin(), all.end());
        EXPECT_EQ(all, Iota(10));
        if (last == 120) break;
        ASSERT_LT(last, 120);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(seen.size(), 120u);

    // k = n has a single combination; k > n has none.
    EXPECT_EQ(PermuteArrayBinary(rnd, 3, 3, bin.data(), true), 1);
    EXPECT_EQ(PermuteArrayBinary(rnd, 3, 4, bin.data(), true), 0);
}

}  // namespace
}  // namespace kolvar

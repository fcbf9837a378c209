// Invariants of the metacommunity model on small runs, and designs whose
// outcome follows from the rules by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "ModelInputs.hpp"
#include "QMLib/Random.hpp"
#include "support/Scenario.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

using test::Fill;

// Sites at distance 0, traits at the expected value (survival 1), no death
// unless a test changes the demography: every logistic 1 below its centre and
// 0 above it.
MetacommunitySimulation_Input Certain(int nSites, int nOTUs, int capacity, int nSteps) {
    MetacommunitySimulation_Input in = test::Sized(nSites, nOTUs, 1, 1, capacity, nSteps);
    in.thresholdProportion = 1.0;
    Fill(in.survivalParams[0], 1.0, -1000);
    Fill(in.dispersalParams, 1.0, -1000);
    Fill(in.densityParams, 1000.0, -1000);
    Fill(in.ageSurvivalParams, 1000.0, -1000);
    Fill(in.inertiaParams, 0.5, -1000);
    in.maxLifespan.assign(static_cast<std::size_t>(nOTUs), 1000);
    return in;
}

void ExpectConsistent(const MetacommunitySimulation_Input& in) {
    int total = 0;
    for (int i = 0; i < in.nSites; ++i) {
        double row = 0;
        for (int j = 0; j < in.nOTUs; ++j) {
            ASSERT_GE(in.composition[i][j], 0);
            row += in.composition[i][j];
        }
        ASSERT_EQ(row, in.abundancePerSite[i]);
        total += in.abundancePerSite[i];
    }
    for (int j = 0; j < in.nOTUs; ++j) {
        double col = 0;
        for (int i = 0; i < in.nSites; ++i) col += in.composition[i][j];
        ASSERT_EQ(col, in.composition[in.nSites][j]);
    }
    ASSERT_EQ(total, in.totalAbundance);
}

void Simulate(MetacommunitySimulation_Input& in, unsigned long seed) {
    Random rnd = test::Seeded(seed);
    MetacommunitySimulation(in, rnd);
}

TEST(MetacommunityModel, BookkeepingHoldsAtEveryStep) {
    MetacommunitySimulation_Input in = test::RandomDesign(true);
    Random rnd = test::Seeded(5);
    int steps = 0, previous = 0;
    MetacommunitySimulation(in, rnd, [&](const char*) {
        ++steps;
        ExpectConsistent(in);
        // One arrival attempt per site: the total grows by at most nSites a step.
        EXPECT_LE(in.totalAbundance - previous, in.nSites);
        // Mortality: at most one death per site.
        EXPECT_GE(in.totalAbundance - previous, steps == 1 ? 0 : -in.nSites);
        previous = in.totalAbundance;
    });
    EXPECT_EQ(steps, in.nSteps);
    ExpectConsistent(in);
    EXPECT_GT(in.totalAbundance, 0);
    for (int i = 0; i < in.nSites; ++i) {
        EXPECT_GE(in.extinctions[i], 0);
        EXPECT_GE(in.colonizations[i], 0);
        // Ages are averages of ages no older than the run.
        EXPECT_GE(in.averageAge[i][in.nOTUs], 0);
        EXPECT_LE(in.averageAge[i][in.nOTUs], in.nSteps / double(in.stepsPerYear));
        double total = 0, weighted = 0;
        for (int j = 0; j < in.nOTUs; ++j) {
            total += in.weightedComposition[i][j];
            weighted += in.composition[i][j] * in.averageAge[i][j];
        }
        // The site average is the abundance-weighted mean of its OTU averages.
        if (in.abundancePerSite[i] > 0) {
            EXPECT_NEAR(weighted / in.abundancePerSite[i], in.averageAge[i][in.nOTUs], 1e-9);
        }
        if (weighted == 0) continue;
        // The weighted composition is age x abundance with rows to unit totals,
        // and the CWM its product with the traits.
        EXPECT_NEAR(total, 1.0, 1e-12);
        for (int t = 0; t < in.nTraits; ++t) {
            double cwm = 0;
            for (int j = 0; j < in.nOTUs; ++j) cwm += in.composition[i][j] * in.averageAge[i][j] * in.traits[j][t];
            EXPECT_NEAR(in.cwm[t][i], cwm / weighted, 1e-12);
        }
    }
}

TEST(MetacommunityModel, SameSeedSameRunAndFeedbackMovesTheEcosystem) {
    MetacommunitySimulation_Input a = test::RandomDesign(true), b = test::RandomDesign(true);
    MetacommunitySimulation_Input still = test::RandomDesign(false);
    const Matrix<double> start = a.ecosystem;
    for (MetacommunitySimulation_Input* in : {&a, &b, &still}) Simulate(*in, 11);
    for (int i = 0; i <= a.nSites; ++i)
        for (int j = 0; j < a.nOTUs; ++j) EXPECT_EQ(a.composition[i][j], b.composition[i][j]);
    for (int v = 0; v < 3; ++v)
        for (int i = 0; i < a.nSites; ++i) {
            EXPECT_EQ(still.ecosystem[v][i], start[v][i]);  // no effect parameters: untouched
            EXPECT_EQ(a.ecosystem[v][i], b.ecosystem[v][i]);
        }
    // Factor 2 has feedback: it moved and stays standardized; its product row follows it.
    double mean = 0, moved = 0;
    for (int i = 0; i < a.nSites; ++i) {
        mean += a.ecosystem[1][i];
        moved += std::fabs(a.ecosystem[1][i] - start[1][i]);
        EXPECT_DOUBLE_EQ(a.ecosystem[2][i], a.ecosystem[0][i] * a.ecosystem[1][i]);
        EXPECT_EQ(a.ecosystem[0][i], start[0][i]);
    }
    EXPECT_NEAR(mean, 0.0, 1e-9);
    EXPECT_GT(moved, 0.0);
}

TEST(MetacommunityModel, CertainDesignsEndAsTheRulesSay) {
    struct Case {
        int sites, otus, capacity, steps;
        double survivalCentre, densityCentre, trait0;  // trait0: OTU 1's trait, 0 the expected value
        int perSite;                                    // individuals at every site in the end
    };
    const Case cases[] = {
        // Everything survives: one arrival per site and step.
        {4, 3, 100, 10, 1.0, 1000, 0, 10},
        // Density survival 1 at density 0, 0 from density 1 on: a site grows to
        // its capacity c, loses one, and stays at c - 1.
        {3, 2, 1, 30, 1.0, 0.5, 0, 0},
        {3, 2, 3, 30, 1.0, 0.5, 0, 2},
        {3, 2, 5, 30, 1.0, 0.5, 0, 4},
        // One step: the newborns, of age 0.
        {5, 2, 100, 1, 1.0, 1000, 0, 1},
        // Distances 1 and 0, survival 0 past a centre below both: nobody establishes.
        {3, 2, 10, 20, -1.0, 1000, 1.0, 0},
    };
    for (const Case& c : cases) {
        MetacommunitySimulation_Input in = Certain(c.sites, c.otus, c.capacity, c.steps);
        Fill(in.survivalParams[0], c.survivalCentre, -1000);
        Fill(in.densityParams, c.densityCentre, -1000);
        in.traits[0][0] = c.trait0;
        Simulate(in, 3);
        EXPECT_EQ(in.totalAbundance, c.sites * c.perSite) << c.steps << " steps, capacity " << c.capacity;
        for (int i = 0; i < c.sites; ++i) {
            EXPECT_EQ(in.abundancePerSite[i], c.perSite);
            EXPECT_LE(in.averageAge[i][in.nOTUs], c.steps - 1);  // a newborn has age 0
            EXPECT_EQ(in.cwm[0][i], 0.0);  // traits 0 where anybody lives; no NaN at empty sites
        }
    }
}

TEST(MetacommunityModel, StepThresholdRecordsRichnessWhenAbundanceNeverReachesIt) {
    MetacommunitySimulation_Input in = Certain(3, 4, 1000, 9);
    in.thresholdProportion = 0.5;  // abundance threshold 1500 is never reached
    Random rnd = test::Seeded(21);
    auto richness = [&] {
        return std::count_if(in.composition[0].begin(), in.composition[0].end(), [](double a) { return a > 0; });
    };
    long richnessAt5 = 0;
    int step = 0;
    MetacommunitySimulation(in, rnd, [&](const char*) {
        if (++step == 5) richnessAt5 = richness();
    });
    EXPECT_EQ(in.thresholdStep, 5);  // first step s > 0.5 x 9
    EXPECT_EQ(in.richnessAtThreshold[0], richnessAt5);
    // Colonizations are counted from the threshold on only.
    EXPECT_EQ(in.colonizations[0], richness() - richnessAt5);
    EXPECT_EQ(in.extinctions[0], 0);
}

TEST(MetacommunityModel, StepFilesHoldEveryStep) {
    // Nobody dies: the community data hold only the states before mortality.
    test::ScratchDir dir;
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    MetacommunitySimulation_Input in = Certain(2, 2, 100, 3);
    in.saveSteps = true;
    in.weightByAge = true;
    Simulate(in, 6);
    std::filesystem::current_path(here);
    std::string record;
    for (const char* f : kStepFiles) record += std::string("== ") + f + '\n' + dir.Read(f);
    const auto path = test::SourcePath("tests/simulation/data/step_files.txt");
    EXPECT_EQ(record, test::Slurp(path));
}

}  // namespace
}  // namespace kolvar

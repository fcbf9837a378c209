// Invariants of the metacommunity model on small runs, and designs whose
// outcome follows from the rules by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "simulation/Model.hpp"
#include "QMLib/Random.hpp"
#include "support/Scenario.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

// A logistic that is 1 below its centre and 0 above it.
void Step(Matrix<double>& m, double center) {
    for (std::size_t i = 0; i < m.rows(); ++i) {
        m[i][0] = center;
        m[i][1] = -1000.0;
    }
}

// Sites at distance 0, traits at the expected value (survival 1), no death
// unless a test changes the demography.
MetacommunitySimulation_Input Certain(int nSites, int nOTUs, int nTraits, int nFactors, int capacity, int nSteps) {
    MetacommunitySimulation_Input in;
    in.nSites = nSites;
    in.nOTUs = nOTUs;
    in.nTraits = nTraits;
    in.nFactors = nFactors;
    in.nPredictors = nFactors;
    in.maxIndividuals = capacity * nSites;
    in.nSteps = nSteps;
    in.stepsPerYear = 1;
    in.thresholdProportion = 1.0;
    in.Allocate();
    for (auto& m : in.survivalParams) Step(m, 1.0);
    Step(in.dispersalParams, 1.0);
    Step(in.densityParams, 1000.0);
    Step(in.ageSurvivalParams, 1000.0);
    Step(in.inertiaParams, 0.5);
    in.maxLifespan.assign(static_cast<std::size_t>(nOTUs), 1000);
    return in;
}

// A design with real randomness in every process.
MetacommunitySimulation_Input Random3(bool feedback) {
    MetacommunitySimulation_Input in;
    in.nSites = 6;
    in.nOTUs = 7;
    in.nTraits = 2;
    in.nFactors = 2;
    in.nPredictors = 3;
    in.useInteractions = true;
    in.maxIndividuals = 8 * 6;
    in.nSteps = 300;
    in.stepsPerYear = 4;
    in.thresholdProportion = 0.5;
    in.weightByAge = true;
    in.Allocate();
    Random rnd = test::Seeded(99);
    auto u = [&] { return gsl_rng_uniform(rnd.get()); };
    for (int j = 0; j < in.nOTUs; ++j) {
        for (int t = 0; t < in.nTraits; ++t) {
            in.traits[j][t] = 2 * u() - 1;
            in.survivalParams[t][j][0] = 0.3 + 0.5 * u();
            in.survivalParams[t][j][1] = -3;
        }
        in.dispersalParams[j][0] = 0.5;
        in.dispersalParams[j][1] = -2;
        in.densityParams[j][0] = 0.7;
        in.densityParams[j][1] = -2;
        in.ageSurvivalParams[j][0] = 0.6;
        in.ageSurvivalParams[j][1] = -2;
        in.maxLifespan[j] = 2 + j % 3;
    }
    for (int i = 0; i < in.nSites; ++i) {
        for (int k = 0; k < in.nSites; ++k) in.siteDistances[i][k] = i == k ? 0 : std::fabs(i - k) / 5.0;
        for (int v = 0; v < 2; ++v) in.ecosystem[v][i] = 2 * u() - 1;
        in.ecosystem[2][i] = in.ecosystem[0][i] * in.ecosystem[1][i];
        in.inertiaParams[i][0] = 0.5;
        in.inertiaParams[i][1] = -1;
    }
    in.responseParams[0][0] = 0.8;
    in.responseParams[1][1] = -0.5;
    in.responseParams[1][2] = 0.3;
    if (feedback) in.effectParams[1][0] = 0.9;
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
    MetacommunitySimulation_Input in = Random3(true);
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
    }
    // The weighted composition is age x abundance with rows to unit totals, and
    // the CWM its product with the traits.
    for (int i = 0; i < in.nSites; ++i) {
        double total = 0, weighted = 0;
        for (int j = 0; j < in.nOTUs; ++j) {
            total += in.weightedComposition[i][j];
            weighted += in.composition[i][j] * in.averageAge[i][j];
        }
        if (weighted == 0) continue;
        EXPECT_NEAR(total, 1.0, 1e-12);
        for (int t = 0; t < in.nTraits; ++t) {
            double cwm = 0;
            for (int j = 0; j < in.nOTUs; ++j) cwm += in.composition[i][j] * in.averageAge[i][j] * in.traits[j][t];
            EXPECT_NEAR(in.cwm[t][i], cwm / weighted, 1e-12);
        }
    }
    // The site average is the abundance-weighted mean of its OTU averages.
    for (int i = 0; i < in.nSites; ++i) {
        if (in.abundancePerSite[i] == 0) continue;
        double sum = 0;
        for (int j = 0; j < in.nOTUs; ++j) sum += in.composition[i][j] * in.averageAge[i][j];
        EXPECT_NEAR(sum / in.abundancePerSite[i], in.averageAge[i][in.nOTUs], 1e-9);
    }
}

TEST(MetacommunityModel, SameSeedSameRunAndFeedbackMovesTheEcosystem) {
    MetacommunitySimulation_Input a = Random3(true), b = Random3(true), still = Random3(false);
    const Matrix<double> start = a.ecosystem;
    Random r1, r2, r3;
    InitRndNumberGenerator(r1, 11);
    InitRndNumberGenerator(r2, 11);
    InitRndNumberGenerator(r3, 11);
    MetacommunitySimulation(a, r1);
    MetacommunitySimulation(b, r2);
    MetacommunitySimulation(still, r3);
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

TEST(MetacommunityModel, OneArrivalPerSiteAndStepWhenEverythingSurvives) {
    MetacommunitySimulation_Input in = Certain(4, 3, 1, 1, 100, 10);
    Simulate(in, 3);
    EXPECT_EQ(in.totalAbundance, 40);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(in.abundancePerSite[i], 10);
}

TEST(MetacommunityModel, DensityActsByWholeMultiplesOfCapacity) {
    // Density survival 1 at density 0, 0 from density 1 on: a site grows to its
    // capacity c, loses one, and stays at c - 1.
    for (int c : {1, 3, 5}) {
        MetacommunitySimulation_Input in = Certain(3, 2, 1, 1, c, 30);
        Step(in.densityParams, 0.5);
        Simulate(in, 8);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(in.abundancePerSite[i], c - 1) << "capacity " << c;
    }
}

TEST(MetacommunityModel, NewbornsHaveAgeZero) {
    // Age survival 1 below one lifespan, 0 from it on; lifespan 1 year of 1 step.
    MetacommunitySimulation_Input in = Certain(5, 2, 1, 1, 100, 1);
    Step(in.ageSurvivalParams, 0.5);
    in.maxLifespan.assign(2, 1);
    Simulate(in, 4);
    EXPECT_EQ(in.totalAbundance, 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(in.averageAge[i][in.nOTUs], 0.0);
    // One step later every individual of the first step is one year old.
    MetacommunitySimulation_Input two = Certain(5, 2, 1, 1, 100, 2);
    Step(two.ageSurvivalParams, 0.5);
    two.maxLifespan.assign(2, 1);
    Simulate(two, 4);
    EXPECT_LE(two.totalAbundance, 10);
    EXPECT_GE(two.totalAbundance, 5);
}

TEST(MetacommunityModel, StepThresholdRecordsRichnessWhenAbundanceNeverReachesIt) {
    MetacommunitySimulation_Input in = Certain(3, 4, 1, 1, 1000, 9);
    in.thresholdProportion = 0.5;  // abundance threshold 1500 is never reached
    Random rnd = test::Seeded(21);
    int richnessAt5 = 0;
    int step = 0;
    MetacommunitySimulation(in, rnd, [&](const char*) {
        if (++step == 5)
            for (int j = 0; j < 4; ++j) richnessAt5 += in.composition[0][j] > 0;
    });
    EXPECT_EQ(in.thresholdStep, 5);  // first step s > 0.5 x 9
    EXPECT_EQ(in.richnessAtThreshold[0], richnessAt5);
    // Colonizations are counted from the threshold on only.
    int richNow = 0;
    for (int j = 0; j < 4; ++j) richNow += in.composition[0][j] > 0;
    EXPECT_EQ(in.colonizations[0], richNow - richnessAt5);
    EXPECT_EQ(in.extinctions[0], 0);
}

TEST(MetacommunityModel, NoEstablishmentLeavesEverySiteEmpty) {
    MetacommunitySimulation_Input in = Certain(3, 2, 1, 1, 10, 20);
    in.traits[0][0] = 1.0;  // distances 1 and 0: survival 0 past the centre
    for (auto& m : in.survivalParams) Step(m, -1.0);
    Simulate(in, 2);
    EXPECT_EQ(in.totalAbundance, 0);
    for (int t = 0; t < in.nTraits; ++t)
        for (int i = 0; i < in.nSites; ++i) EXPECT_EQ(in.cwm[t][i], 0.0);
}

TEST(MetacommunityModel, StepFilesHoldEveryStep) {
    test::ScratchDir dir;
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    MetacommunitySimulation_Input in = Certain(2, 2, 1, 1, 100, 3);
    in.saveSteps = true;
    in.weightByAge = true;
    Simulate(in, 6);
    std::filesystem::current_path(here);
    const std::string cwm = dir.Read("CWM.txt");
    EXPECT_EQ(std::count(cwm.begin(), cwm.end(), '\n'), 6);  // 3 steps x 2 sites
    EXPECT_EQ(cwm.substr(0, 4), "1\t1\t");
    const std::string data = dir.Read("CommunityData.txt");
    EXPECT_NE(data.find("\nCommunity data matrix at step 3, BEFORE mortality, for 2 community sites in rows and 2 OTUs "
                        "in columns:\n"),
              std::string::npos);
    EXPECT_EQ(data.find("AFTER"), std::string::npos);  // nobody died
    const std::string dd = dir.Read("DensityDependence_AgeRelatedProb.txt");
    EXPECT_NE(dd.find("Individual age (years):\t0\tAge-related survival probability:\t1\n"), std::string::npos);
    for (const char* f : {"EnvData.txt", "EnvDataOutliers.txt", "CWM_Expected.txt", "Distances.txt", "Prob.txt",
                          "DispersalProb.txt", "AverageAge.txt"})
        EXPECT_TRUE(dir.Exists(f)) << f;
}

}  // namespace
}  // namespace kolvar

// Trait generation and the random parameters of a data set, recomputed from an
// independent MT19937 stream in the documented order of draws.
#include <gtest/gtest.h>
#include <gsl/gsl_rng.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "simulation/Generate.hpp"
#include "simulation/Logistic.hpp"
#include "QMLib/Random.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

struct Stream {
    explicit Stream(unsigned long seed) : g(gsl_rng_alloc(gsl_rng_mt19937)) { gsl_rng_set(g, seed); }
    ~Stream() { gsl_rng_free(g); }
    double U() { return gsl_rng_uniform(g); }
    gsl_rng* g;
};

// A slope range clipped at the bound of the centre (LogisticTest checks the bound).
double Slope(double u, double lo, double hi, double c) {
    const double m = LogisticSlopeBound(c);
    return std::min(m, lo) + u * (std::min(m, hi) - std::min(m, lo));
}

SimulationDesign SmallDesign() {
    SimulationDesign d;
    d.nSites = 3;
    d.nOTUs = 4;
    d.nTraits = 2;
    d.nFactors = 2;
    d.nPredictors = 3;
    d.interactions = true;
    d.envInput = 'e';
    d.envGiven = Matrix<double>::FromRows({{-1, 0, 1}, {1, 1, -2}});
    for (LogisticSource* s : {&d.dispersal, &d.inertia, &d.survival, &d.density, &d.ageSurvival})
        std::tie(s->centerMin, s->centerMax, s->slopeMin, s->slopeMax) = std::tuple(0.2, 0.7, -9.0, -4.0);
    d.lifespanMin = 2;
    d.lifespanMax = 6;
    return d;
}

TEST(DrawParameters, DrawsInTheDocumentedOrder) {
    const SimulationDesign d = SmallDesign();
    Random rnd = test::Seeded(17);
    MetacommunitySimulation_Input in;
    Matrix<double> coords;
    DrawParameters(rnd, d, in, coords);

    Stream s(17);
    auto pairs = [&](int n, const Matrix<double>& got) {
        std::vector<double> c(n);
        for (int i = 0; i < n; ++i) c[i] = 0.2 + s.U() * 0.5;
        for (int i = 0; i < n; ++i) {
            EXPECT_DOUBLE_EQ(got[i][0], c[i]);
            EXPECT_DOUBLE_EQ(got[i][1], Slope(s.U(), -9, -4, c[i]));
        }
    };
    pairs(4, in.dispersalParams);
    for (int i = 0; i < 3; ++i)
        for (int a = 0; a < 2; ++a) EXPECT_DOUBLE_EQ(coords[a][i], s.U() * 100.0);
    pairs(3, in.inertiaParams);
    for (int j = 0; j < 4; ++j)
        for (int t = 0; t < 2; ++t) {
            const double c = 0.2 + s.U() * 0.5;
            EXPECT_DOUBLE_EQ(in.survivalParams[t][j][0], c);
            EXPECT_DOUBLE_EQ(in.survivalParams[t][j][1], Slope(s.U(), -9, -4, c));
        }
    pairs(4, in.densityParams);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(in.maxLifespan[j], 2 + static_cast<int>(gsl_rng_uniform_int(s.g, 4)));
    pairs(4, in.ageSurvivalParams);

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(in.ecosystem[0][i], d.envGiven[0][i]);
        EXPECT_EQ(in.ecosystem[2][i], d.envGiven[0][i] * d.envGiven[1][i]);
    }
}

TEST(DrawParameters, SiteDistancesAreEuclideanOverTheLargest) {
    SimulationDesign d = SmallDesign();
    d.coordsFromFile = true;
    d.coords = Matrix<double>::FromRows({{0, 3, -3}, {0, 4, 4}});  // the largest distance between sites 2 and 3
    Random rnd = test::Seeded(1);
    MetacommunitySimulation_Input in;
    Matrix<double> coords;
    DrawParameters(rnd, d, in, coords);
    EXPECT_DOUBLE_EQ(in.siteDistances[0][1], 5.0 / 6.0);
    EXPECT_DOUBLE_EQ(in.siteDistances[2][0], 5.0 / 6.0);
    EXPECT_DOUBLE_EQ(in.siteDistances[1][2], 1.0);
    EXPECT_DOUBLE_EQ(in.siteDistances[2][2], 0.0);
}

TEST(GenerateTraits, IdentityCorrelationRangeScalesTheDrawsAndAppendsProducts) {
    SimulationDesign d = SmallDesign();
    d.nOTUs = 5;
    d.nTraits = 3;
    d.nProducts = 1;
    d.traitCorr = Matrix<double>::FromRows({{1, 0}, {0, 1}});
    d.products = {{0, 1}};
    d.traitDistribution = 1;
    Random rnd = test::Seeded(30);
    Matrix<double> raw, B;
    TraitSummary sum;
    GenerateTraits(rnd, d, raw, B, sum);

    const Matrix<double> z = test::UniformMatrix(5, 2, 30, 1.0, -0.5);  // the uncorrelated draws, centred
    for (int t = 0; t < 2; ++t) {
        double lo = 1e9, hi = -1e9;
        for (int j = 0; j < 5; ++j) lo = std::min(lo, z[j][t]), hi = std::max(hi, z[j][t]);
        for (int j = 0; j < 5; ++j) EXPECT_NEAR(raw[j][t], (z[j][t] - lo) / (hi - lo), 1e-12);
    }
    for (int j = 0; j < 5; ++j) EXPECT_DOUBLE_EQ(raw[j][2], raw[j][0] * raw[j][1]);
    for (int t = 0; t < 3; ++t) {
        double mean = 0, ss = 0;
        for (int j = 0; j < 5; ++j) mean += B[j][t] / 5;
        for (int j = 0; j < 5; ++j) ss += B[j][t] * B[j][t];
        EXPECT_NEAR(mean, 0.0, 1e-12);
        EXPECT_NEAR(ss / 5, 1.0, 1e-12);
        EXPECT_NEAR(sum.sd[t] * B[0][t] + sum.mean[t], raw[0][t], 1e-12);
        EXPECT_DOUBLE_EQ(sum.max[t], std::max({B[0][t], B[1][t], B[2][t], B[3][t], B[4][t]}));
    }
    EXPECT_DOUBLE_EQ(sum.corr[0][0], 1.0);
    EXPECT_NEAR(sum.corr[0][1], sum.corr[1][0], 1e-15);
}

}  // namespace
}  // namespace kolvar

// The logistic curve and its parameter draws against values worked out by hand.
#include <gtest/gtest.h>
#include <gsl/gsl_rng.h>

#include <cmath>

#include "base/Fatal.hpp"
#include "simulation/Logistic.hpp"
#include "QMLib/Random.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

TEST(Logistic, PassesThroughItsMidpointAtTheCentreWithTheGivenSlope) {
    struct Case {
        double xmin, xmax, ymin, ymax, slope, center;
    };
    for (const Case c : {Case{0, 1, 0, 1, -2.0, 0.5}, Case{0, 1, 0, 1, -10.0, 0.2}, Case{-3, 5, 1, 3, -0.7, 0.75},
                         Case{0, 100, 0, 1, -0.05, 0.9}}) {
        const double x0 = c.xmin + c.center * (c.xmax - c.xmin);
        EXPECT_DOUBLE_EQ(Logistic(x0, c.xmin, c.xmax, c.ymin, c.ymax, c.slope, c.center), (c.ymin + c.ymax) / 2);
        const double h = 1e-6 * (c.xmax - c.xmin);
        const double numeric = (Logistic(x0 + h, c.xmin, c.xmax, c.ymin, c.ymax, c.slope, c.center) -
                                Logistic(x0 - h, c.xmin, c.xmax, c.ymin, c.ymax, c.slope, c.center)) /
                               (2 * h);
        EXPECT_NEAR(numeric, c.slope, 1e-6 * std::fabs(c.slope));
    }
}

TEST(Logistic, HandComputedValues) {
    // k = 8 on [0, 1]: 1 / (1 + e^(8 (0 - 0.5))) = 1 / (1 + e^-4).
    EXPECT_DOUBLE_EQ(Logistic(0.0, 0, 1, 0, 1, -2.0, 0.5), 1.0 / (1.0 + std::exp(-4.0)));
    EXPECT_DOUBLE_EQ(Logistic(1.0, 0, 1, 0, 1, -2.0, 0.5), 1.0 / (1.0 + std::exp(4.0)));
    // An empty x range sits on the midpoint.
    EXPECT_DOUBLE_EQ(Logistic(0.0, 0, 0, 0, 1, -3.0, 0.3), 0.5);
    // Very steep curves saturate to 0 and 1 without NaN.
    EXPECT_EQ(Logistic(0.0, 0, 1, 0, 1, -1000.0, 0.5), 1.0);
    EXPECT_EQ(Logistic(1.0, 0, 1, 0, 1, -1000.0, 0.5), 0.0);
}

TEST(Logistic, NotANumberEndsTheProgram) {
    try {
        Logistic(std::nan(""), 0, 1, 0, 1, -1.0, 0.5);
        FAIL() << "no fatal error";
    } catch (const FatalError& e) {
        EXPECT_EQ(e.code, FatalCode::Stop);
    }
}

TEST(LogisticSlopeBound, CentresNearTheEnds) {
    const double ln999 = std::log(999.0);
    EXPECT_NEAR(LogisticSlopeBound(0.5), -ln999 / 2, 1e-12);
    EXPECT_NEAR(LogisticSlopeBound(0.25), -ln999, 1e-12);  // the left side binds
    EXPECT_NEAR(LogisticSlopeBound(0.75), -ln999, 1e-12);  // the right side binds
    EXPECT_NEAR(LogisticSlopeBound(0.01), -ln999 / 0.04, 1e-9);
    EXPECT_NEAR(LogisticSlopeBound(0.99), -ln999 / 0.04, 1e-9);
    EXPECT_NEAR(LogisticSlopeBound(1.0), -ln999 / 4, 1e-12);
    // The bound does what it says: from >= 0.999 at 0 to <= 0.001 at 1.
    for (double c : {0.05, 0.3, 0.5, 0.8, 0.95}) {
        const double s = LogisticSlopeBound(c);
        EXPECT_GE(Logistic(0.0, 0, 1, 0, 1, s, c), 0.999 - 1e-12);
        EXPECT_LE(Logistic(1.0, 0, 1, 0, 1, s, c), 0.001 + 1e-12);
    }
}

TEST(LogisticDraws, UseOneUniformEachInOrder) {
    Random rnd = test::Seeded(42);
    gsl_rng* ref = gsl_rng_alloc(gsl_rng_mt19937);
    gsl_rng_set(ref, 42);
    EXPECT_DOUBLE_EQ(RndLogisticCentre(rnd, 0.2, 0.6), 0.2 + gsl_rng_uniform(ref) * 0.4);
    // A range less steep than the bound collapses onto the bound (its draw is still made).
    EXPECT_DOUBLE_EQ(RndLogisticSlopeAdjusted(rnd, -1.0, -0.5, 0.5), LogisticSlopeBound(0.5));
    gsl_rng_uniform(ref);
    // A range steeper than the bound is kept.
    EXPECT_DOUBLE_EQ(RndLogisticSlopeAdjusted(rnd, -20.0, -10.0, 0.5), -20.0 + gsl_rng_uniform(ref) * 10.0);
    // Centre 0 has no bound: the given range is kept.
    EXPECT_DOUBLE_EQ(RndLogisticSlopeAdjusted(rnd, -3.0, -1.0, 0.0), -3.0 + gsl_rng_uniform(ref) * 2.0);
    gsl_rng_free(ref);
}

}  // namespace
}  // namespace kolvar

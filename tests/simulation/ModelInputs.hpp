#pragma once
// Inputs of the metacommunity model for the tests: sizes in one call and each
// process given by one logistic for all its items.

#include <cmath>

#include "simulation/Model.hpp"
#include "support/TestData.hpp"

namespace kolvar::test {

/// Sets every row of a (center, slope) parameter matrix.
inline void Fill(Matrix<double>& m, double center, double slope) {
    for (std::size_t i = 0; i < m.rows(); ++i) {
        m[i][0] = center;
        m[i][1] = slope;
    }
}

/// Counts, capacity per site and steps (one a year), the factors' pairwise
/// products as predictors with interactions; allocated, every parameter 0.
inline MetacommunitySimulation_Input Sized(int nSites, int nOTUs, int nTraits, int nFactors, int capacity, int nSteps,
                                           bool interactions = false) {
    MetacommunitySimulation_Input in;
    in.nSites = nSites;
    in.nOTUs = nOTUs;
    in.nTraits = nTraits;
    in.nFactors = nFactors;
    in.nPredictors = interactions ? nFactors * (nFactors + 1) / 2 : nFactors;
    in.useInteractions = interactions;
    in.maxIndividuals = capacity * nSites;
    in.nSteps = nSteps;
    in.Allocate();
    return in;
}

/// A design with real randomness in every process: 6 sites, 7 OTUs, 2 traits,
/// 2 factors and their product, 8 individuals per site, 300 steps of 4 a year;
/// with feedback the community weighted means move factor 2.
inline MetacommunitySimulation_Input RandomDesign(bool feedback) {
    MetacommunitySimulation_Input in = test::Sized(6, 7, 2, 2, 8, 300, true);
    in.stepsPerYear = 4;
    in.thresholdProportion = 0.5;
    in.weightByAge = true;
    in.traits = UniformMatrix(7, 2, 99, 2, -1);
    const Matrix<double> centres = UniformMatrix(2, 7, 98, 0.5, 0.3);
    const Matrix<double> factors = UniformMatrix(2, 6, 97, 2, -1);
    for (int t = 0; t < in.nTraits; ++t) {
        Fill(in.survivalParams[t], 0, -3);
        for (int j = 0; j < in.nOTUs; ++j) in.survivalParams[t][j][0] = centres[t][j];
    }
    Fill(in.dispersalParams, 0.5, -2);
    Fill(in.densityParams, 0.7, -2);
    Fill(in.ageSurvivalParams, 0.6, -2);
    Fill(in.inertiaParams, 0.5, -1);
    for (int j = 0; j < in.nOTUs; ++j) in.maxLifespan[j] = 2 + j % 3;
    for (int i = 0; i < in.nSites; ++i) {
        for (int k = 0; k < in.nSites; ++k) in.siteDistances[i][k] = std::fabs(i - k) / 5.0;
        for (int v = 0; v < 2; ++v) in.ecosystem[v][i] = factors[v][i];
        in.ecosystem[2][i] = in.ecosystem[0][i] * in.ecosystem[1][i];
    }
    in.responseParams[0][0] = 0.8;
    in.responseParams[1][1] = -0.5;
    in.responseParams[1][2] = 0.3;
    if (feedback) in.effectParams[1][0] = 0.9;
    return in;
}

}  // namespace kolvar::test

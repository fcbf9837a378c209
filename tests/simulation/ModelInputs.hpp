#pragma once
// Inputs of the metacommunity model for the tests: sizes in one call and each
// process given by one logistic for all its items.

#include "simulation/Model.hpp"

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

}  // namespace kolvar::test

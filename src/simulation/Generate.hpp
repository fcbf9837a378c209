#pragma once
// What changes from one simulated data set to the next: generated traits and
// the random parameters of the model, drawn in a fixed order.

#include <vector>

#include "QMLib/Matrix.hpp"
#include "simulation/Design.hpp"
#include "simulation/Model.hpp"

namespace kolvar {

struct Random;

/// Per trait: mean and standard deviation before standardization, minimum and
/// maximum of the z-scores, and the correlation matrix of the traits.
struct TraitSummary {
    std::vector<double> mean, sd, min, max;
    Matrix<double> corr;
};

/// B = the columns of raw standardized to z-scores (divisor n); fills s.
void StandardizeTraits(int nOTUs, int nTraits, const Matrix<double>& raw, Matrix<double>& B, TraitSummary& s);

/// Traits from the correlation matrix: correlated draws, columns range-adjusted
/// to 0-1, product traits appended, then StandardizeTraits. raw receives the
/// range-adjusted traits with the products.
void GenerateTraits(Random& rnd, const SimulationDesign& d, Matrix<double>& raw, Matrix<double>& B, TraitSummary& s);

/// Fills the parameter inputs of the model record from the design: values of
/// the files, or draws in this order: dispersal centres then slopes, site
/// coordinates (x and y of each site in turn), E from the factor correlations,
/// inertia centres then slopes, survival (per OTU, per trait, centre then
/// slope), density centres then slopes, lifespans, age-survivorship centres then
/// slopes. Also the site distances and the interaction rows of the ecosystem.
void DrawParameters(Random& rnd, const SimulationDesign& d, MetacommunitySimulation_Input& in, Matrix<double>& coords);

/// Rebuilds rows nFactors.. of eco as the products of each factor pair (v < w).
void FillInteractionRows(int nFactors, int nSites, Matrix<double>& eco);

}  // namespace kolvar

#pragma once
// The working copies of a composition that the functional analysis and the
// simulation study analyse, and the community resemblance of a matrix.
// Compositions are communities x OTUs; -999.0 marks a missing value.

#include <vector>

#include "QMLib/Matrix.hpp"
#include "analysis/CommunityMatrices.hpp"  // NominalReseNonHier

namespace kolvar {

/// The three working compositions (communities x OTUs) and the richness.
struct WCopies {
    Matrix<double> Wfw;   ///< copy 1: X and P; unit totals only when asked
    Matrix<double> W;     ///< copy 2: T and diversity, always unit totals
    Matrix<double> Wraw;  ///< copy 3: raw, for Beals smoothing
    std::vector<int> richness;  ///< OTUs with a value above 0 per community
};

/// Fills the three copies from cadat (OTUs x communities) and counts richness.
void FillWCopies(int tcst, int ncsm, const Matrix<double>& cadat, WCopies& w);

/// How the OTU selection changes the compositions: exclusion when some OTU has
/// weight 0; keepScale when excluded OTUs are also taken out of the totals.
struct OTUExclusion {
    bool exclusion = false;
    bool keepScale = false;
};
OTUExclusion GetOTUExclusion(int tcst, const std::vector<int>& weight_OTUs, bool keepAdditivity);

/// Adjusts copies 1 and 2 in the analysis order: unit totals (copy 2 always when
/// unitTotal1, copy 1 when unitTotal2), the qualitative/quantitative component
/// (partOpt 1 or 2), then the OTU weights. Missing values stay missing.
void AdjustWCopies(int ncsm, int tcst, WCopies& w, const std::vector<int>& weight_OTUs, bool unitTotal1,
                   bool unitTotal2, int partOpt, OTUExclusion ex);

/// Multiplies column g (g < min(cols, weights)) by weight_OTUs[g], then scales
/// the rows to unit sum again: the way excluded OTUs leave U and Q.
void ApplyOTUWeightsToColumns(int rows, int cols, Matrix<double>& m, const std::vector<int>& weight_OTUs);

}  // namespace kolvar

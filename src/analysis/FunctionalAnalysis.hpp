#pragma once
// The functional analysis (analysis menu H): traits scaled up from OTUs to
// communities, the congruence of the community matrices tested by permutation,
// and the report written to the session's Prinda file.
//
// Compositions are communities x OTUs here (the data set stores W transposed);
// -999.0 marks a missing value throughout.

#include <functional>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "analysis/AnalysisState.hpp"
#include "analysis/CommunityMatrices.hpp"
#include "analysis/Compositions.hpp"

namespace kolvar {

struct Random;

/// Runs the whole analysis on the open data set with the settings already in
/// p.fa and p.hier, drawing from p.rnd: writes the report (volumeName + whichPrinda) and one
/// random-data file per analysed trait subset. Results file that cannot be
/// opened: FatalError{FailToOpen}; random-data file: FatalError{OutOfMemory}
/// after the open routine's message (status 1, nothing more printed).
void PFTs_ScalingUp(const AnalysisState& p);

/// Element i of each vector takes the old element at the 1-based position order[i].
void ReorderVectors(int n, const int* order, int* a, int* b, double* c, double* d);

// ---- pieces of the analysis, exposed for the tests ------------------------------


/// Calls visit(select, iteration, total, k) for every analysed trait subset in
/// order. Without combinations: one subset, the traits of positive weight. With
/// them: every k-subset (k from nMin to nMax, lexicographic), zero-weight traits
/// removed, visited only when k traits remain; iteration counts visited subsets,
/// total is the number of k-subsets over all sizes.
void ForEachTraitSubset(Random& rnd, int nch, const std::vector<double>& weight, bool doTraitCombOpt, int nMin,
                        int nMax,
                        const std::function<void(const std::vector<int>&, int, long long, int)>& visit);

/// Mean trait value of the members of each type (labels ascending, as listed in
/// typeLabels): sum over members of the non-missing values / member count.
void AverageTraitMatrix(int tcst, int nch, const Matrix<double>& B, const std::vector<int>& partition,
                        const std::vector<int>& typeLabels, Matrix<double>& out);

}  // namespace kolvar

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

namespace kolvar {

struct Random;

/// Runs the whole analysis on the open data set with the settings already in
/// p.fa and p.hier, drawing from p.rnd: writes the report (volumeName + whichPrinda) and one
/// random-data file per analysed trait subset. Results file that cannot be
/// opened: FatalError{FailToOpen}; random-data file: FatalError{OutOfMemory}
/// after the open routine's message (status 1, nothing more printed).
void PFTs_ScalingUp(const AnalysisState& p);

/// Dissimilarity between the n rows of data (n x p) for the community options:
/// 10 chord (rows normalised, then Euclidean), 8 and 9 absolute value function,
/// 6 and 7 Euclidean distance; other options leave out untouched.
void NominalReseNonHier(int n, int p, const Matrix<double>& data, Matrix<double>& out, int option);
/// True when some trait of type 2 (nominal) has selection flag 1.
bool HasQualitTraitSelect(int n, const int* chtype, const int* select);
/// True when any trait has type 2.
bool HasQualitTrait(int n, const int* chtype);
/// Element i of each vector takes the old element at the 1-based position order[i].
void ReorderVectors(int n, const int* order, int* a, int* b, double* c, double* d);

// ---- pieces of the analysis, exposed for the tests ------------------------------

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

/// E restricted to the variables with eVarSelect 1 (in their order) and their
/// types; returns the number of selected variables.
int BuildSelectedE(const DataSet& d, Matrix<double>& E, std::vector<int>& types);

/// Dissimilarity between communities from the selected E by the kind of E:
/// 1 Euclidean; 2, 4, 5 without qualitative variables standardised Euclidean;
/// otherwise 1 - Gower similarity. E is not changed.
void BuildDE(int optEnvVarType, int temEnvQual, int ncsm, int nEnv, const Matrix<double>& E,
             const std::vector<int>& types, bool countDoubleAbsence, Matrix<double>& DE);

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

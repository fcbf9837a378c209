#pragma once
// Options of one functional analysis that the settings dialogue fixes before
// any computation and the driver, the trait ranking and the simulation study
// read afterwards. Settings the session records in its track file live in
// HierarchySettings; the per-trait and per-OTU vectors in DataSet.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kolvar {

/// Literature references quoted inside the dialogue texts; the report quotes
/// the same works in the same words.
inline constexpr const char* kCitePartitioning = "Pillar et al. (2013)";
inline constexpr const char* kCiteRd = "Pillar & Orloci (1996)";
inline constexpr const char* kCiteRV = "Robert & Escoufier (1976)";
/// References of the report and the trait-ranking results.
inline constexpr const char* kCitePartialOneMatrix = "Legendre (2000)";
inline constexpr const char* kCiteNullModels = "Pillar & Duarte (2010)";
inline constexpr const char* kCiteBealsCooccurrence = "De Caceres & Legendre (2008)";
inline constexpr const char* kCiteDiversityCorrection = "Jost (2007)";

/// Names of the statistic types 1 to 3 of opt_ro (index opt_ro - 1).
inline const std::array<std::string, 3> opt_roInfo = {
    "matrix correlation (Mantel or Rd)", "Procrustes (traceW)", std::string("RV coefficient (") + kCiteRV + ")"};
/// Names of the fuzzy option values 0 to 3.
inline const std::array<std::string, 4> fuzzyInfo = {"none (crisp)", "fuzzy global", "fuzzy pairwise",
                                                     "fuzzy (fuzzy belonging of OTUs to types)"};
inline constexpr const char* poolCSToptInfo = "2 (polythetic)";
inline constexpr const char* reseCSToptInfo = "1 (Gower index)";

struct FunctionalSettings {
    bool OTUsTypesAreSpecies = false;  ///< the species of the data file define the OTU types
    bool optRndTests = true;           ///< regression and ANOVA offered (always true after the dialogue)

    // Congruence statistic.
    int opt_ro = 1;                  ///< 1 matrix correlation, 2 Procrustes, 3 RV, 4 regression, 5 ANOVA
    char opt_MatrixCorr = 'm';       ///< 'm' Mantel, 'r' Rd (opt_ro 1 only)
    bool squareDistMatrixOpt = false;///< Rd on squared distances (equivalent to RV)
    char whichObj = 'r';             ///< 'r' when a resemblance between communities is asked
    /// Ranking criterion of the trait ranking; the ranking dialogue sets it before
    /// calling the settings dialogue, the functional analysis sets it to 9.
    int opt_struct = 0;

    // Trait subsets.
    bool doTraitCombOpt = false;     ///< analyse every trait subset between two sizes
    int nMinTraitsChRank = 0;        ///< smallest analysed subset size
    int nMaxTraitsChRank = 0;        ///< largest analysed subset size

    // OTU selection and scaling.
    bool restrictRaoWithinOpt = false;  ///< fuzzy weighting and diversity within the selected OTUs only
    bool keepAdditivity = true;         ///< false: re-scale W after excluding OTUs
    bool optUnitTotalAdjust2 = false;   ///< W adjusted to unit total before fuzzy weighting

    // Phylogeny.
    bool includePhylogeny = false;
    int fuzzyPhyl = 0;                      ///< 1: fuzzy belonging of OTUs to taxa
    std::vector<int> partition_OTUs_Phyl;   ///< tcst taxon labels; empty when no phylogeny is used
    int nTaxa = 0;                          ///< distinct labels of partition_OTUs_Phyl

    // Permutation test.
    int niter = 1000;                    ///< permutations, the observed data counted as one
    int optWeightedNullModel = 0;        ///< always 0
    char optTaxaSiteShuffle = 't';       ///< 't' taxa shuffle, 's' site shuffle
    int optRestrictPermutNullModel = 0;  ///< 1: permutations within nesting groups of OTUs
    std::vector<int> nestingMembershipOTUs;  ///< tcst nesting groups; empty unless restricted
    bool doBootstrapOpt = false;         ///< bootstrap resampling of communities
    int seedOpt = 1;                     ///< 1 clock, 2 user
    std::uint32_t rseed = 0;             ///< seed of the random generator
    int optCoVariable = 0;               ///< always 0

    // Output.
    bool printDetail = false;            ///< detailed results in the report
    bool printIntermPermResults = false; ///< intermediate permutation results written
    std::string prindaMode = "w";        ///< "w" new results file, "a" append
};

}  // namespace kolvar

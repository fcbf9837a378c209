#pragma once
// The trait-ranking dialogue: the criterion menu, the search limits and the
// name of the results file. The functional-analysis settings dialogue is run
// in between through a callback, since it needs the whole program state.

#include <functional>
#include <initializer_list>
#include <string>

#include "analysis/FunctionalSettings.hpp"
#include "analysis/HierarchySettings.hpp"
#include "data/DataSet.hpp"
#include "base/Console.hpp"

namespace kolvar {

/// Settings of one trait ranking; the criterion itself is fa.opt_struct.
struct RankingSettings {
    int rankingAlgorithm = 2;          ///< always 2 (all trait combinations)
    bool optUnitTotalAdjust1 = true;   ///< W to unit totals before trait averages
    int nMinCSTGroupsChRank = 0;       ///< types examined: the groups of partition_OTUs
    int nMaxCSTGroupsChRank = 0;
    int nMinTraitsChRank = 0;          ///< subset sizes examined
    int nMaxTraitsChRank = 0;
    char printRankIntermedResults = 'n';
    std::string whichChorder;          ///< results file name (session name + suffix)
};

/// True when v is one of the listed numbers.
inline bool IsOneOf(int v, std::initializer_list<int> list) {
    for (int x : list)
        if (v == x) return true;
    return false;
}

inline constexpr const char* rankingAlgorithmInfo[2] = {"1 (stepwise)", "2 (all trait combinations)"};
inline constexpr const char* reseCSToptInfoRank[2] = {"1 (Gower index)", "2 (Euclidean distance)"};

/// Header text of a criterion (1, 9-17, 21-24); empty for any other number.
const std::string& OptStructInfo(int opt_struct);

/// Why a criterion cannot be computed on the data set; nullptr when it can.
/// E-based criteria need variables, phylogeny-based ones a phylogeny, and those
/// that need community-weighted means no nominal trait.
const char* CriterionRefusal(int opt_struct, int nenv, bool hasPhylogeny, bool hasNominalTrait);

/// Search code (1..12) of a criterion and its results-file suffix; 0 and
/// nullptr for criteria 14 and 15 (the niche-conservation search) and unknown numbers.
int ChRankCode(int opt_struct);
const char* ChRankSuffix(int opt_struct);

/// The whole dialogue: criterion menu (re-shown while the choice cannot be
/// computed), settingsHierarchy(), then the forced options, the number of
/// types, the subset sizes and the intermediate-results question. showMenu
/// draws the menu heading. Writes fa.opt_struct, fa.includePhylogeny,
/// hier.rese_opt, fa.whichObj and rs; needs d.weight and d.partition_OTUs sized.
void SettingsChRank(Console& con, const DataSet& d, FunctionalSettings& fa, HierarchySettings& hier,
                    RankingSettings& rs, const std::function<void()>& showMenu,
                    const std::function<void()>& settingsHierarchy);

}  // namespace kolvar

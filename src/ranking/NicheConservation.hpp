#pragma once
// The trait-subset search for niche conservation: criterion 14 (beta, ro(PT) x
// ro(TE)) and 15 (alpha and beta, ro(PX) x ro(XE)), which combine the
// phylogeny-weighted composition P with the trait-based T and X and with E.

#include "ranking/RankingData.hpp"

namespace kolvar {

/// Positions in the statistics of one evaluation.
enum NicheStat {
    nsValue, nsPT, nsPX, nsXT, nsPX_T, nsXE, nsTE, nsXE_T, nsPE, nsTE_P, nsPE_T, nsXE_P, nsXE_PT,
    nsBetaNiche, nsAlphaBetaNiche, nsAlphaNiche
};

/// Every correlation of one subset; stats[nsValue] is roBetaNiche for
/// criterion 14 and roAlphaBetaNiche otherwise. rPE is computed once per search.
void EvaluateNicheConservation(const RankingData& rd, int opt_struct, double rPE, SubsetWork& w, SubsetStats& stats);

/// Runs the search for criterion fa.opt_struct (14 or 15) and writes the
/// results file whole, and the structures file with saveStruct 'y'.
void ChRank_Phylogeny_x_Trait_Assembly(const RankingInputs& in);

}  // namespace kolvar

#include "ranking/RankingSettings.hpp"

#include <array>

#include "QMLib/Belonging.hpp"
#include "base/Fmt.hpp"
#include "analysis/CommunityMatrices.hpp"
#include "base/Prompts.hpp"

namespace kolvar {

namespace {

const std::array<std::string, 17> kOptStructInfo = {
    "1 (both trait-divergence and trait-convergence assembly patterns)",
    "2 (convergence community groups)",
    "3 (divergence community groups)",
    "4 (trait redundancy in population data structure)",
    "5 (trait redundancy in community data structure)",
    "6 (criteria 1 and 5 combined)",
    "7 (criteria 2 and 5 combined)",
    "8 (sharpness in information structure)",
    "9 (Trait-divergence assembly patterns, TDAP)",
    "10 (Trait-convergence assembly patterns, TCAP)",
    "11 (correlation of phylogenetically structured assembly patterns, PSAP to both trait-divergence and "
    "trait-convergence assembly patterns, TDAP and TCAP)",
    "12 (correlation of phylogenetically structured assembly patterns, PSAP to trait-divergence, TDAP)",
    "13 (correlation of phylogenetically structured assembly patterns, PSAP to trait-convergence assembly "
    "patterns, TCAP)",
    "14 (beta niche conservation: ro(PT) * ro(TE))",
    "15 (alpha and beta niche conservation: ro(PX) * ro(XE))",
    "16 (alpha divergence: ro(RE))",
    "17 (beta divergence: ro(XE.TR))"};

// The criteria of the Beals-smoothing family and dark diversity, numbered as the menu offers them.
const std::array<std::string, 4> kOptStructInfoBeals = {
    std::string("21 (congruence of fuzzy-weighted composition and composition predicted by ") +
        kCiteBealsCooccurrence + " smoothing: r(XY))",
    std::string("22 (trait convergence: congruence of community-weighted means and composition predicted by ") +
        kCiteBealsCooccurrence + " smoothing: r(TY))",
    std::string("23 (trait divergence: partial congruence of fuzzy-weighted composition and composition "
                "predicted by ") +
        kCiteBealsCooccurrence + " smoothing, removing community-weighted means: r(XY.T))",
    "24 (correlation between 'dark diversity' (for each community, sum of absolute differences between matrices "
    "X and W) and E: r(SE))"};

struct CriterionRow {
    int opt_struct, code;
    const char* suffix;
};
constexpr std::array<CriterionRow, 14> kCriteria = {{{1, 10, "ChRank_TDAP_TCAP.txt"},
                                                     {9, 12, "ChRank_TDAP.txt"},
                                                     {10, 11, "ChRank_TCAP.txt"},
                                                     {11, 4, "ChRank_PSAP_X.txt"},
                                                     {12, 6, "ChRank_PSAP_X_T.txt"},
                                                     {13, 5, "ChRank_PSAP_T.txt"},
                                                     {14, 0, "ChRank_BetaNicheConserv.txt"},
                                                     {15, 0, "ChRank_AlphaBetaNicheConserv.txt"},
                                                     {16, 1, "ChRank_AlphaDivergence.txt"},
                                                     {17, 2, "ChRank_BetaDivergence.txt"},
                                                     {21, 7, "ChRank_roXY.txt"},
                                                     {22, 8, "ChRank_roTY.txt"},
                                                     {23, 9, "ChRank_roXY_T.txt"},
                                                     {24, 3, "ChRank_DarkDiversity.txt"}}};

const CriterionRow* FindCriterion(int opt_struct) {
    for (const auto& row : kCriteria)
        if (row.opt_struct == opt_struct) return &row;
    return nullptr;
}

void PrintCriterionMenu(Console& con, int nenv, bool hasPhylogeny, bool nominal) {
    con.out << "Trait ranking criterion maximized: \n";
    if (nenv > 0) {
        con.out << "   1 r(XE): TCAP and TDAP\n";
        if (!nominal) con.out << "   9 r(XE.T): TDAP only\n" << "   10 r(TE): TCAP only\n";
    }
    if (hasPhylogeny) {
        con.out << "   11  correlation of phylogenetically structured assembly patterns (PSAP) to both TCAP and "
                   "TDAP = r(PX)\n";
        if (!nominal) con.out << "   12  correlation of PSAP to TDAP = r(PX.T)\n" << "   13  correlation of PSAP to TCAP = r(PT)\n";
    }
    if (nenv > 0) con.out << "   16  alpha divergence: r(RE) \n";
    con.out << "   21  r(XY)\n";
    if (!nominal) con.out << "   22  r(TY)\n" << "   23  r(XY.T)\n";
    con.out << '\n';

    if (nenv > 0) {
        con.out << "1. Correlation r(XE) between fuzzy weighted community composition based on OTU's trait "
                   "similarities (X) and ecological variables (E) may reflect both trait convergence assembly "
                   "patterns (TCAP) and trait divergence assembly patterns (TDAP).\n";
        if (!nominal)
            con.out << "9. Partial correlation r(XE.T) between X and E, removing T, reflects TDAP only.\n"
                    << "10. Correlation r(TE) between community weighted mean traits (T) and E reflects TCAP only.\n";
    }
    if (hasPhylogeny) {
        con.out << "11. Correlation r(PX) between P (fuzzy weighted community composition based on OTU's "
                   "phylogenetic similarities) and X reflects phylogenetic signal at the metacommunity level.\n";
        if (!nominal)
            con.out << "12. Partial correlation r(PX.T) between P and X, removing T reflects phylogenetic signal at "
                       "the metacommunity level.\n"
                    << "13. Correlation r(PT) reflects phylogenetic signal at the metacommunity level.\n";
    }
    if (nenv > 0) con.out << "16. ro(RE) is a congruence between Rao entropy and E.\n";
    con.out << "21. r(XY): correlation of fuzzy-weighted composition (X) and community composition predicted by "
               "Beals smoothing according to "
            << kCiteBealsCooccurrence << " (Y)\n";
    if (!nominal)
        con.out << "22. r(TY): correlation of community-weighted means (T) and community composition predicted by "
                   "Beals smoothing according to "
                << kCiteBealsCooccurrence << " (Y)\n"
                << "23. r(XY.T): Partial correlation between X and Y, removing T, reflects TDAP only.\n";
}

}  // namespace

const std::string& OptStructInfo(int opt_struct) {
    static const std::string none;
    if (opt_struct >= 1 && opt_struct <= 17) return kOptStructInfo[static_cast<std::size_t>(opt_struct - 1)];
    if (opt_struct >= 21 && opt_struct <= 24) return kOptStructInfoBeals[static_cast<std::size_t>(opt_struct - 21)];
    return none;
}

const char* CriterionRefusal(int opt_struct, int nenv, bool hasPhylogeny, bool hasNominalTrait) {
    if (nenv < 1 && IsOneOf(opt_struct, {1, 9, 10, 14, 15, 16, 17, 24}))
        return "The data set has no ecological variables (matrix E).";
    if (!hasPhylogeny && IsOneOf(opt_struct, {11, 12, 13, 14, 15})) return "The data set has no phylogeny.";
    if (hasNominalTrait && IsOneOf(opt_struct, {9, 10, 17, 23, 24}))
        return "This criterion cannot be computed with nominal traits.";
    return nullptr;
}

int ChRankCode(int opt_struct) {
    const CriterionRow* row = FindCriterion(opt_struct);
    return row ? row->code : 0;
}

const char* ChRankSuffix(int opt_struct) {
    const CriterionRow* row = FindCriterion(opt_struct);
    return row ? row->suffix : nullptr;
}

void SettingsChRank(Console& con, const DataSet& d, FunctionalSettings& fa, HierarchySettings& hier,
                    RankingSettings& rs, const std::function<void()>& showMenu,
                    const std::function<void()>& settingsHierarchy) {
    const bool nominal = HasQualitTrait(d.nch, d.chtype.data());
    for (;;) {
        showMenu();
        PrintCriterionMenu(con, d.nenv, d.hasPhylogeny, nominal);
        con.out << "\nType option no.: ";
        fa.opt_struct = ReadIntIn(con, "%d\n", "1 9 10 11 12 13 14 15 16 17 21 22 23 24");
        const char* why = CriterionRefusal(fa.opt_struct, d.nenv, d.hasPhylogeny, nominal);
        if (!why) break;
        con.err << '\a' << Fmt("\nCriterion %d cannot be used with this data set. %s\n", fa.opt_struct, why);
    }

    rs.rankingAlgorithm = 2;
    fa.includePhylogeny = fa.opt_struct >= 11 && fa.opt_struct <= 15;
    settingsHierarchy();

    if (fa.opt_struct == 10 || fa.opt_struct == 16) hier.rese_opt = 6;
    if (hier.traitBasedOpt != 1) {
        fa.whichObj = 'r';
        hier.rese_opt = 6;
    }
    rs.optUnitTotalAdjust1 = true;

    int nTypes = 0;
    CountGroupsNew(d.tcst, d.partition_OTUs.data(), nTypes);
    rs.nMinCSTGroupsChRank = rs.nMaxCSTGroupsChRank = nTypes;

    int m = 0;
    for (int j = 0; j < d.nch; ++j) m += d.weight[j] > 0.0;
    con.out << Fmt("Minimum number of traits in the trait subset (minimum: 1, maximum: %d): ", m);
    rs.nMinTraitsChRank = ReadIntIn(con, "%d\n", "-", 1, m);
    con.out << Fmt("Maximum number of traits in the trait subset (minimum: %d, maximum: %d): ", rs.nMinTraitsChRank,
                   m);
    rs.nMaxTraitsChRank = ReadIntIn(con, "%d\n", "-", rs.nMinTraitsChRank, m);
    fa.nMinTraitsChRank = rs.nMinTraitsChRank;
    fa.nMaxTraitsChRank = rs.nMaxTraitsChRank;

    con.out << "\nPrint intermediate results of the ranking process?  y/n ";
    rs.printRankIntermedResults = ReadCharIn(con, "y n");
}

}  // namespace kolvar

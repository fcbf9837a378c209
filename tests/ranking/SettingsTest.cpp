// The ranking dialogue in memory: which criteria are offered and refused, the
// options it forces, the trait-count bounds and the file names.

#include <gtest/gtest.h>

#include "RankingFixture.hpp"
#include "ranking/RankingSettings.hpp"

namespace kolvar {
namespace {

struct Dialogue {
    int menus = 0;
    int hierarchy = 0;
    std::string out, err;
};

Dialogue RunDialogue(test::TinyRanking& f, const std::string& answers) {
    std::istringstream in(answers);
    std::ostringstream out, err;
    Console con{in, out, err};
    Dialogue r;
    SettingsChRank(con, f.d, f.fa, f.hier, f.rs, [&] { ++r.menus; }, [&] { ++r.hierarchy; });
    r.out = out.str();
    r.err = err.str();
    return r;
}

TEST(RankingSettings, RefusalsByDataSet) {
    struct Row {
        int nenv;
        bool phyl, nominal;
        std::vector<int> refused;
    };
    const Row rows[] = {
        {2, true, false, {}},
        {0, true, false, {1, 9, 10, 14, 15, 16, 17, 24}},
        {2, false, false, {11, 12, 13, 14, 15}},
        {2, true, true, {9, 10, 17, 23, 24}},  // 12, 13, 14 and 22 are hidden but accepted
    };
    for (const Row& r : rows)
        for (int c : {1, 9, 10, 11, 12, 13, 14, 15, 16, 17, 21, 22, 23, 24}) {
            const bool refused = std::find(r.refused.begin(), r.refused.end(), c) != r.refused.end();
            EXPECT_EQ(CriterionRefusal(c, r.nenv, r.phyl, r.nominal) != nullptr, refused)
                << c << " nenv " << r.nenv << " phyl " << r.phyl << " nominal " << r.nominal;
        }
}

TEST(RankingSettings, NoVariablesNoPhylogenyOffersOnlyBealsCriteria) {
    test::TinyRanking f;
    f.d.nenv = 0;
    f.d.hasPhylogeny = false;
    const Dialogue r = RunDialogue(f, "1\n11\n16\n21\n1\n4\n3\nn\n");
    EXPECT_EQ(r.menus, 4);
    EXPECT_EQ(r.hierarchy, 1);
    EXPECT_EQ(f.fa.opt_struct, 21);
    EXPECT_EQ(r.out.find("   1 r(XE)"), std::string::npos);
    EXPECT_EQ(r.out.find("   11  "), std::string::npos);
    EXPECT_NE(r.out.find("   21  r(XY)\n   22  r(TY)\n   23  r(XY.T)\n\n"), std::string::npos);
    EXPECT_NE(r.err.find("no ecological variables"), std::string::npos);
    EXPECT_NE(r.err.find("no phylogeny"), std::string::npos);
    EXPECT_EQ(f.rs.nMinTraitsChRank, 1);
    EXPECT_EQ(f.rs.nMaxTraitsChRank, 3);
    EXPECT_EQ(f.rs.printRankIntermedResults, 'n');
}

TEST(RankingSettings, NominalTraitHidesCriteriaThatNeedMeans) {
    test::TinyRanking f;
    f.d.chtype = {3, 2, 3};
    // 9 and 23 show the menu again; 22 is hidden but accepted.
    const Dialogue r = RunDialogue(f, "9\n23\n22\n1\n1\ny\n");
    EXPECT_EQ(r.menus, 3);
    EXPECT_EQ(f.fa.opt_struct, 22);
    EXPECT_FALSE(f.fa.includePhylogeny);
    for (const char* hidden : {"   9 r", "   10 r", "   12 ", "   13 ", "   22 ", "   23 "})
        EXPECT_EQ(r.out.find(hidden), std::string::npos) << hidden;
    EXPECT_EQ(f.rs.printRankIntermedResults, 'y');
}

TEST(RankingSettings, UnlistedCriteriaAcceptedAndForcedOptions) {
    for (int c : {14, 15, 17, 24}) {
        test::TinyRanking f;
        RunDialogue(f, std::to_string(c) + "\n1\n3\nn\n");
        EXPECT_EQ(f.fa.opt_struct, c);
        EXPECT_EQ(f.fa.includePhylogeny, c <= 15);
    }
    for (int c : {10, 16}) {
        test::TinyRanking f;
        f.hier.rese_opt = 10;
        RunDialogue(f, std::to_string(c) + "\n1\n3\nn\n");
        EXPECT_EQ(f.hier.rese_opt, 6) << c;
        EXPECT_TRUE(f.rs.optUnitTotalAdjust1);
        EXPECT_EQ(f.rs.rankingAlgorithm, 2);
    }
}

TEST(RankingSettings, TypesAreTheGroupsOfThePartitionAndBoundsComeFromPositiveWeights) {
    test::TinyRanking f;
    f.d.partition_OTUs = {4, 4, 7, 1, 7};
    f.d.weight = {1, 0, 0.5};
    const Dialogue r = RunDialogue(f, "1\n0\n1\n2\n3\n2\nn\n");
    EXPECT_EQ(f.rs.nMinCSTGroupsChRank, 3);
    EXPECT_EQ(f.rs.nMaxCSTGroupsChRank, 3);
    EXPECT_NE(r.out.find("Minimum number of traits in the trait subset (minimum: 1, maximum: 2): "), std::string::npos);
    EXPECT_NE(r.out.find("Maximum number of traits in the trait subset (minimum: 1, maximum: 2): "), std::string::npos);
    EXPECT_EQ(f.rs.nMaxTraitsChRank, 2);
    EXPECT_NE(r.out.find("\nPrint intermediate results of the ranking process?  y/n "), std::string::npos);
}

}  // namespace
}  // namespace kolvar

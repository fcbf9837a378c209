// The ranking dialogue in memory: which criteria are offered and refused, the
// options it forces, the trait-count bounds and the file names.

#include <gtest/gtest.h>

#include "RankingFixture.hpp"
#include "ranking/RankingSettings.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

TEST(RankingSettings, RefusalsByDataSet) {
    // 12, 13, 14 and 22 are hidden but accepted with a nominal trait.
    std::string record;
    for (int nenv : {2, 0})
        for (bool phyl : {true, false})
            for (bool nominal : {false, true})
                for (int c : {1, 9, 10, 11, 12, 13, 14, 15, 16, 17, 21, 22, 23, 24}) {
                    const char* why = CriterionRefusal(c, nenv, phyl, nominal);
                    record += std::to_string(c) + (nenv ? " E" : "") + (phyl ? " P" : "") +
                              (nominal ? " nominal" : "") + ": " + (why ? why : "accepted") + '\n';
                }
    const auto path = test::SourcePath("tests/ranking/data/refusals.txt");
    EXPECT_EQ(record, test::Slurp(path));
}

// A dialogue's record: the console texts, how often the menu heading and the
// hierarchy dialogue were shown, and every setting the dialogue writes.
std::string RunDialogue(test::TinyRanking& f, const std::string& answers) {
    std::istringstream in(answers);
    std::ostringstream out, err, record;
    Console con{in, out, err};
    int menus = 0, hierarchy = 0;
    SettingsChRank(con, f.d, f.fa, f.hier, f.rs, [&] { ++menus; }, [&] { ++hierarchy; });
    record << out.str() << "errors:\n" << err.str() << "\nmenus: " << menus << "\nhierarchy: " << hierarchy
           << "\nopt_struct: " << f.fa.opt_struct << "\nincludePhylogeny: " << f.fa.includePhylogeny
           << "\nrese_opt: " << f.hier.rese_opt << "\noptUnitTotalAdjust1: " << f.rs.optUnitTotalAdjust1
           << "\nrankingAlgorithm: " << f.rs.rankingAlgorithm << "\ntypes: " << f.rs.nMinCSTGroupsChRank << ' '
           << f.rs.nMaxCSTGroupsChRank << "\ntraits: " << f.rs.nMinTraitsChRank << ' ' << f.rs.nMaxTraitsChRank
           << "\nintermediate: " << f.rs.printRankIntermedResults << "\nresults: " << f.rs.whichChorder << '\n';
    return record.str();
}

TEST(RankingSettings, DialoguesGiveTheRecordedTextsAndSettings) {
    struct Case {
        const char* name;  // the record is tests/ranking/data/dialogue_<name>.txt
        const char* answers;
        bool variables, phylogeny, nominal, grouped;
        int reseOpt;
    };
    const Case cases[] = {
        // Only the Beals criteria are offered; 1 and 11 are refused, 16 accepted unlisted then 21.
        {"no_variables_no_phylogeny", "1\n11\n16\n21\n1\n4\n3\nn\n", false, false, false, false, 6},
        // 9 and 23 show the menu again; 22 is hidden but accepted.
        {"nominal", "9\n23\n22\n1\n1\ny\n", true, true, true, false, 6},
        // Unlisted criteria are accepted; 10 and 16 force Euclidean distances between communities.
        {"unlisted_14", "14\n1\n3\nn\n", true, true, false, false, 6},
        {"unlisted_15", "15\n1\n3\nn\n", true, true, false, false, 6},
        {"unlisted_17", "17\n1\n3\nn\n", true, true, false, false, 6},
        {"unlisted_24", "24\n1\n3\nn\n", true, true, false, false, 6},
        {"forced_10", "10\n1\n3\nn\n", true, true, false, false, 10},
        {"forced_16", "16\n1\n3\nn\n", true, true, false, false, 10},
        // Types are the 3 groups of the partition; Sla (weight 0) does not count in the size bounds.
        {"grouped", "1\n0\n1\n2\n3\n2\nn\n", true, true, false, true, 6},
    };
    for (const Case& c : cases) {
        test::TinyRanking f;
        f.d.nenv = c.variables ? 2 : 0;
        f.d.hasPhylogeny = c.phylogeny;
        if (c.nominal) f.d.chtype = {3, 2, 3};
        if (c.grouped) {
            f.d.partition_OTUs = {4, 4, 7, 1, 7};
            f.d.weight = {1, 0, 0.5};
        }
        f.hier.rese_opt = c.reseOpt;
        const std::string record = RunDialogue(f, c.answers);
        const auto path = test::SourcePath(std::string("tests/ranking/data/dialogue_") + c.name + ".txt");
        EXPECT_EQ(record, test::Slurp(path)) << c.name;
    }
}

}  // namespace
}  // namespace kolvar

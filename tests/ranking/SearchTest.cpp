// The search as a whole on the tiny data set: the comparison and list rules,
// traits of weight 0, equal values, thread counts, and the results files. Each
// search of the table must write, at 1 and 2 threads, the record kept in
// data/: its results, progress, rejections, subset table and structures, read
// through by hand for the property its comment names when it was recorded.

#include <gtest/gtest.h>

#include <filesystem>

#include "RankingFixture.hpp"
#include "ranking/BestList.hpp"
#include "ranking/NicheConservation.hpp"
#include "ranking/SubsetSearch.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

using test::ScratchDir;
using test::TinyRanking;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// Runs a search into a scratch folder and returns the results file.
std::string RunSearch(TinyRanking& f, const ScratchDir& dir, int code, int threads = 0) {
    f.session.volumeName = dir.path().string() + "/";
    const RankingInputs in = f.Inputs(threads);
    if (code == 0)
        ChRank_Phylogeny_x_Trait_Assembly(in);
    else
        ChRankLib(in, code);
    return dir.Read(f.rs.whichChorder);
}

TEST(RankingTable, ASecondRunAppendsWithoutASecondHeader) {
    TinyRanking f;
    ScratchDir dir;
    RunSearch(f, dir, 1);
    const std::string once = dir.Read("tinyRanking.tsv");
    RunSearch(f, dir, 1);
    EXPECT_EQ(dir.Read("tinyRanking.tsv"), once + once.substr(once.find('\n') + 1));
}

TEST(BestList, AbsoluteModeStartsAtZeroAndKeepsEarlierEquals) {
    BestList list(CompareMode::Absolute, 3, 3);
    const int a[] = {1}, b[] = {2}, c[] = {3}, d[] = {1, 2};
    EXPECT_FALSE(list.Offer(0.0, 2, 1, a));  // 0 never beats the start value
    EXPECT_TRUE(list.Offer(-0.5, 2, 1, a));
    EXPECT_TRUE(list.Offer(0.5, 2, 1, b));   // equal absolute value: after the earlier one
    EXPECT_TRUE(list.Offer(0.2, 2, 1, c));
    EXPECT_FALSE(list.Offer(-0.2, 2, 2, d)); // full: equal to the last never displaces it
    EXPECT_TRUE(list.Offer(0.9, 2, 2, d));
    ASSERT_EQ(list.Size(), 3u);
    EXPECT_EQ(list[0].value, 0.9);
    EXPECT_EQ(list[1].value, -0.5);
    EXPECT_EQ(list[1].traits, std::vector<int>{1});
    EXPECT_EQ(list[2].value, 0.5);
}

// A search's record: the results file without time stamp, elapsed time,
// processors and program version, then the progress messages, the rejections,
// the table of evaluated subsets without its run (local time) column and the
// structures file.
std::string Record(TinyRanking& f, const ScratchDir& dir, int code, int threads) {
    std::string out;
    for (const auto& l : Lines(test::WithoutTimeStamps(RunSearch(f, dir, code, threads))))
        if (l.rfind("Maximum number of processors", 0) != 0 && l.find("KOLVAR v.") == std::string::npos)
            out += l + '\n';
    for (const std::string& m : f.progress) out += "progress: " + m + '\n';
    out += "errors:\n" + f.err.str() + "tinyRanking.tsv:\n";
    for (const auto& l : Lines(dir.Read("tinyRanking.tsv"))) out += l.substr(l.find('\t') + 1) + '\n';
    if (dir.Exists("tinyStr.txt")) out += "tinyStr.txt:\n" + dir.Read("tinyStr.txt");
    return out;
}

struct SearchCase {
    const char* name;  // the record is tests/ranking/data/<name>.txt
    int code;          // 0: niche conservation, its criterion in optStruct
    int optStruct = 1, minTraits = 1, maxTraits = 3;
    std::vector<double> weight{1, 1, 1};
    std::vector<int> partition{1, 2, 3, 4, 5}, eVarSelect{1, 1, 0, 0, 0};
    bool seedCopiesHt = false, intermediate = false, saveStruct = false;
    int optRo = 1, reseOpt = 6;
};

TEST(Search, EveryThreadCountWritesTheRecordedResults) {
    const SearchCase cases[] = {
        // Sla has weight 0: counted in the 6 iterations, never evaluated (3 values) nor listed.
        {.name = "zero_weight", .code = 10, .maxTraits = 2, .weight = {1, 0, 1}, .intermediate = true},
        {.name = "rao_zero_weight", .code = 1, .weight = {1, 0, 1}, .intermediate = true},
        // Seed copies Ht: the best of size 1 and the first of the list is Ht, the earlier subset.
        {.name = "equal_values", .code = 10, .maxTraits = 1, .weight = {1, 0, 1}, .seedCopiesHt = true},
        // No variable: every correlation with E is 0, so every size reads "none".
        {.name = "partial_none", .code = 12, .eVarSelect = {0, 0, 0, 0, 0}},
        {.name = "full_size", .code = 11, .minTraits = 3, .intermediate = true},
        // One type: nothing is evaluated and the rejection says why.
        {.name = "one_type", .code = 10, .partition = {1, 1, 1, 1, 1}},
        {.name = "partial_all", .code = 12, .intermediate = true},
        // 7 subsets then unfilled slots in the list of 100, best first.
        {.name = "niche_beta", .code = 0, .optStruct = 14},
        {.name = "niche_alpha_beta", .code = 0, .optStruct = 15, .intermediate = true, .saveStruct = true},
        // Three similarity blocks, one per trait, and the Rao entropies.
        {.name = "structures", .code = 2, .maxTraits = 1, .intermediate = true, .saveStruct = true},
        // Procrustes and RV compare the raw matrices X and E, not their distances.
        {.name = "procrustes", .code = 10, .intermediate = true, .optRo = 2},
        {.name = "rv", .code = 10, .intermediate = true, .optRo = 3},
        // Options 3 to 5 would convert DT as if it held cross products or correlations:
        // the values equal those of full_size.
        {.name = "trait_distances_euclidean", .code = 11, .minTraits = 3, .intermediate = true, .reseOpt = 4},
    };
    for (const SearchCase& c : cases)
        for (int threads : {1, 2}) {
            TinyRanking f;
            ScratchDir dir;
            f.fa.opt_struct = c.optStruct;
            f.rs.nMinTraitsChRank = c.minTraits;
            f.rs.nMaxTraitsChRank = c.maxTraits;
            f.d.weight = c.weight;
            f.d.partition_OTUs = c.partition;
            f.d.eVarSelect = c.eVarSelect;
            if (c.seedCopiesHt)
                for (int i = 0; i < 5; ++i) f.d.csm_Float[i][2] = f.d.csm_Float[i][0];
            f.rs.printRankIntermedResults = c.intermediate ? 'y' : 'n';
            f.opt.saveStruct = c.saveStruct ? 'y' : 'n';
            f.fa.opt_ro = c.optRo;
            f.hier.rese_opt = c.reseOpt;
            const std::string record = Record(f, dir, c.code, threads);
            const auto path = test::SourcePath(std::string("tests/ranking/data/") + c.name + ".txt");
            EXPECT_EQ(record, test::Slurp(path)) << c.name << ", threads " << threads;
            if (c.code != 0 && !c.saveStruct) {
                const std::string used = "processors the program used: " + std::to_string(threads) + "\n";
                EXPECT_NE(dir.Read(f.rs.whichChorder).find(used), std::string::npos) << c.name;
            }
        }
}

TEST(Search, UnwritableResultsFileIsFatalAndLeavesNothing) {
    TinyRanking f;
    ScratchDir dir;
    f.session.volumeName = (dir.path() / "missing").string() + "/";
    try {
        ChRankLib(f.Inputs(), 10);
        ADD_FAILURE() << "no error";
    } catch (const FatalError& e) {
        EXPECT_EQ(e.code, FatalCode::FailToOpen);
    }
    EXPECT_NE(f.err.str().find("can't open"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

}  // namespace
}  // namespace kolvar

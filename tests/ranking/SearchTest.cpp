// The search as a whole on the tiny data set: the comparison and list rules,
// traits of weight 0, equal values, thread counts, and the results files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>

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

TEST(RankingTable, OneRowPerEvaluatedSubsetWithTheIntermediateValues) {
    TinyRanking f;
    ScratchDir dir;
    f.rs.printRankIntermedResults = 'y';
    f.d.weight = {1, 0, 1};  // subsets holding trait 2 are never evaluated
    const std::vector<std::string> results = Lines(RunSearch(f, dir, 1));
    std::vector<std::string> values;  // "<label>=\t<value>\tTraits:\t..." lines, in order
    for (const std::string& l : results)
        if (l.rfind("r(RE)=\t", 0) == 0) values.push_back(l.substr(7, l.find('\t', 7) - 7));
    const std::vector<std::string> table = Lines(dir.Read("tinyRanking.tsv"));
    ASSERT_EQ(table.size(), values.size() + 1);
    EXPECT_EQ(table[0], "run\tsession\tcriterion\tsize\ttraits\tvalue");
    for (std::size_t i = 1; i < table.size(); ++i) {
        std::vector<std::string> cells;
        std::istringstream row(table[i]);
        for (std::string c; std::getline(row, c, '\t');) cells.push_back(c);
        ASSERT_EQ(cells.size(), 6u) << table[i];
        EXPECT_EQ(cells[1], "tiny");
        EXPECT_EQ(cells[2], "r(RE)");
        EXPECT_EQ(std::stod(cells[5]), std::stod(values[i - 1])) << table[i];
        EXPECT_EQ(cells[4].find(f.d.chLabel[1]), std::string::npos) << table[i];
        EXPECT_EQ(std::to_string(std::count(cells[4].begin(), cells[4].end(), ' ') + 1), cells[3]) << table[i];
    }
    RunSearch(f, dir, 1);  // a second run appends without a second header
    EXPECT_EQ(Lines(dir.Read("tinyRanking.tsv")).size(), 2 * values.size() + 1);
}

// ---- the comparison and list rules --------------------------------------------

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

TEST(BestList, SignedModeKeepsTheHundredLargestLargestFirst) {
    BestList list(CompareMode::Signed, 1, 100);
    for (int i = 0; i < 150; ++i) {
        const int t[] = {i + 1};
        list.Offer(-1.0 + 0.01 * ((i * 37) % 150), 2, 1, t);  // every value once, in scrambled order
    }
    ASSERT_EQ(list.Size(), 100u);
    for (std::size_t i = 1; i < list.Size(); ++i) EXPECT_GT(list[i - 1].value, list[i].value);
    EXPECT_NEAR(list[0].value, -1.0 + 0.01 * 149, 1e-12);
    EXPECT_NEAR(list[99].value, -1.0 + 0.01 * 50, 1e-12);  // negative values rank by sign, not size
}

TEST(BestList, SizeBestStartsFromTheModeStartValue) {
    SizeBest s;
    s.Reset(CompareMode::Absolute, 2);
    const int t[] = {1};
    EXPECT_FALSE(s.Offer(CompareMode::Absolute, 0.0, 2, 1, t));
    EXPECT_TRUE(s.evaluated);
    EXPECT_TRUE(s.traits.empty());
    s.Reset(CompareMode::Signed, 2);
    EXPECT_TRUE(s.Offer(CompareMode::Signed, -0.7, 2, 1, t));
    EXPECT_FALSE(s.Offer(CompareMode::Signed, -0.7, 3, 1, t));
    EXPECT_EQ(s.groups, 2);
}

// ---- whole searches --------------------------------------------------------------

TEST(Search, ZeroWeightTraitIsCountedButNeverEvaluatedOrReported) {
    TinyRanking f;
    ScratchDir dir;
    f.d.weight = {1, 0, 1};
    f.rs.nMaxTraitsChRank = 2;
    f.rs.printRankIntermedResults = 'y';
    const std::string text = RunSearch(f, dir, 10);
    ASSERT_EQ(f.progress.size(), 6u);  // C(3,1) + C(3,2)
    EXPECT_EQ(f.progress.back(), "Iteration: 6 of 6, Traits: 2");
    EXPECT_NE(text.find("Traits that were considered:\nHt Seed\n"), std::string::npos);
    const std::string body = text.substr(text.find("Trait subset used:"));
    EXPECT_EQ(body.find("Sla"), std::string::npos);
    // Three evaluations: Ht, Seed, Ht+Seed.
    EXPECT_EQ(std::count(body.begin(), body.end(), '='), 3);
}

TEST(Search, EqualValuesKeepTheEarlierSubset) {
    TinyRanking f;
    ScratchDir dir;
    for (int i = 0; i < 5; ++i) f.d.csm_Float[i][2] = f.d.csm_Float[i][0];  // Seed copies Ht
    f.d.weight = {1, 0, 1};
    f.rs.nMaxTraitsChRank = 1;
    const std::vector<std::string> lines = Lines(RunSearch(f, dir, 10));
    const auto size1 = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.rfind("Ranking criterion value, and optimal subset with 1 traits:", 0) == 0;
    });
    ASSERT_NE(size1, lines.end());
    EXPECT_NE(size1->find("\tHt\t"), std::string::npos);
    const auto head = std::find(lines.begin(), lines.end(), "TRC\toptimal subset of traits");
    ASSERT_NE(head, lines.end());
    ASSERT_GE(lines.end() - head, 3);
    EXPECT_NE(head[1].find("\tHt\t"), std::string::npos);
    EXPECT_NE(head[2].find("\tSeed\t"), std::string::npos);
    EXPECT_EQ(head[1].substr(0, 12), head[2].substr(0, 12));
}

TEST(Search, PartialCodeWithNothingAboveZeroReadsNone) {
    TinyRanking f;
    ScratchDir dir;
    f.d.eVarSelect = {0, 0, 0, 0, 0};  // no variable: every correlation with E is 0
    const std::string text = RunSearch(f, dir, 12);
    for (int k = 1; k <= 3; ++k)
        EXPECT_NE(text.find("optimal subset with " + std::to_string(k) + " traits: \tnone\n"), std::string::npos);
    EXPECT_NE(text.find("TRC\toptimal subset of traits\n\n\nTrait subsets with maximum rank"), std::string::npos);
    EXPECT_NE(text.find("Subset of traits\nnone\nnone\nnone\n"), std::string::npos);
}

TEST(Search, FullSizeOnlyEvaluatesOneSubset) {
    TinyRanking f;
    ScratchDir dir;
    f.rs.nMinTraitsChRank = 3;
    f.rs.printRankIntermedResults = 'y';
    const std::string text = RunSearch(f, dir, 11);
    EXPECT_EQ(f.progress, std::vector<std::string>{"Iteration: 1 of 1, Traits: 3"});
    EXPECT_NE(text.find("r(TE)=\t"), std::string::npos);
    EXPECT_EQ(text.find("r(TE)=\t", text.find("r(TE)=\t") + 1), std::string::npos);
}

TEST(Search, FewerThanTwoTypesEvaluatesNothing) {
    TinyRanking f;
    ScratchDir dir;
    f.d.partition_OTUs = {1, 1, 1, 1, 1};
    const std::string text = RunSearch(f, dir, 10);
    EXPECT_TRUE(f.progress.empty());
    EXPECT_NE(f.err.str().find("at least 2 are needed"), std::string::npos);
    EXPECT_NE(text.find("Subset of traits\nnone\nnone\nnone\n"), std::string::npos);
}

// Time stamp, elapsed time and processors aside.
std::string Comparable(const std::string& text) {
    std::string out;
    for (const auto& l : Lines(text)) {
        if (l.rfind("Elapsed time", 0) == 0 || l.rfind("Maximum number of processors", 0) == 0) continue;
        if (std::regex_match(l, std::regex("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}"))) continue;
        out += l + '\n';
    }
    return out;
}

TEST(Search, OneAndTwoThreadsWriteTheSameResults) {
    for (int code : {0, 2, 10, 12}) {
        TinyRanking f1, f2;
        ScratchDir d1, d2;
        for (TinyRanking* f : {&f1, &f2}) {
            f->rs.printRankIntermedResults = 'y';
            f->fa.opt_struct = code == 0 ? 15 : 1;
        }
        const std::string a = RunSearch(f1, d1, code, 1), b = RunSearch(f2, d2, code, 2);
        if (code != 0) {
            EXPECT_NE(a.find("processors the program used: 1\n"), std::string::npos);
            EXPECT_NE(b.find("processors the program used: 2\n"), std::string::npos);
        }
        EXPECT_EQ(Comparable(a), Comparable(b)) << code;
        EXPECT_EQ(f1.progress, f2.progress);
    }
}

TEST(Search, NicheListsPrintAHundredLinesBestFirst) {
    TinyRanking f;
    ScratchDir dir;
    f.fa.opt_struct = 14;
    f.rs.whichChorder = "tinyBeta.txt";
    const std::vector<std::string> lines = Lines(RunSearch(f, dir, 0));
    const auto first = std::find(lines.begin(), lines.end(), "Trait subsets and number of types with maximum matrix correlation:");
    ASSERT_NE(first, lines.end());
    std::vector<double> values;
    for (auto it = first + 2; it != first + 102; ++it) values.push_back(std::stod(*it));
    EXPECT_TRUE(std::is_sorted(values.rbegin(), values.rend()));
    EXPECT_EQ(first[2 + 7], "-1.79769e+308\t0 groups\t");  // 7 subsets, then unfilled slots
    EXPECT_EQ(first[101], "-1.79769e+308\t0 groups\t");
    EXPECT_EQ(first[102], "");
    // The per-size table: labels of each size, then groups, then values.
    const auto elapsed = std::find_if(lines.begin(), lines.end(),
                                      [](const std::string& l) { return l.rfind("Elapsed time: ", 0) == 0; });
    ASSERT_EQ(lines.end() - elapsed, 6);
    EXPECT_EQ(elapsed[4], "5    \t5    \t5    \t");
    const double best1 = std::stod(elapsed[5]);
    EXPECT_NE(lines[static_cast<std::size_t>(elapsed - lines.begin()) + 1].find('\t'), std::string::npos);
    EXPECT_LE(best1, values[0]);
}

TEST(Search, StructuresFileOnlyWhenKept) {
    TinyRanking f;
    ScratchDir dir;
    f.rs.nMaxTraitsChRank = 1;
    RunSearch(f, dir, 2);
    EXPECT_FALSE(dir.Exists("tinyStr.txt"));
    f.opt.saveStruct = 'y';
    RunSearch(f, dir, 2);
    const std::string st = dir.Read("tinyStr.txt");
    EXPECT_EQ(std::count(st.begin(), st.end(), '\n') > 20, true);
    std::size_t blocks = 0;
    for (std::size_t p = 0; (p = st.find("\nSimilarity matrix between 5 populations", p)) != std::string::npos; ++p) ++blocks;
    EXPECT_EQ(blocks, 3u);
    EXPECT_NE(st.find("Rao entropy expressed as equivalent numbers of OTUs"), std::string::npos);
}

TEST(Search, NicheStructuresHoldTwoResidualMatricesPerEvaluation) {
    TinyRanking f;
    ScratchDir dir;
    f.fa.opt_struct = 15;
    f.opt.saveStruct = 'y';
    RunSearch(f, dir, 0);
    const std::string st = dir.Read("tinyStr.txt");
    std::size_t residuals = 0;
    for (std::size_t p = 0; (p = st.find("(residuals after removing the effect of DT):\n", p)) != std::string::npos; ++p)
        ++residuals;
    EXPECT_EQ(residuals, 14u);  // 7 subsets
    EXPECT_NE(st.find("\nTrait ranking criterion:\tro(PT)=\t"), std::string::npos);
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

// Criterion values of one subset on the tiny data set against plain
// reference computations written in the test.

#include <gtest/gtest.h>

#include "RankingFixture.hpp"
#include "ranking/SubsetSearch.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

using test::Reference;
using test::TinyRanking;

double Evaluate(TinyRanking& f, int code, const std::vector<int>& select) {
    RankingData rd;
    PrepareRankingData(f.Inputs(), ChRankNeeds(code), rd, nullptr);
    SubsetWork w;
    w.Allocate(rd);
    w.select = select;
    return EvaluateChRankCode(rd, code, w);
}

struct Case {
    const char* name;
    std::vector<int> select;
};

class CriteriaTest : public ::testing::TestWithParam<Case> {};

TEST_P(CriteriaTest, EveryCodeMatchesThePlainComputation) {
    TinyRanking f;
    const std::vector<int> sel = GetParam().select;
    const Reference r(f, sel);
    const auto DE = test::EuclideanDistances(r.E), DX = test::EuclideanDistances(r.X);
    const auto DT = test::EuclideanDistances(r.T);
    const double rXE = Reference::Mantel(DX, DE), rTE = Reference::Mantel(DT, DE), rXT = Reference::Mantel(DX, DT);
    EXPECT_NEAR(Evaluate(f, 10, sel), rXE, 1e-12);
    EXPECT_NEAR(Evaluate(f, 11, sel), rTE, 1e-12);
    EXPECT_NEAR(Evaluate(f, 12, sel), Reference::Partial(rXE, rXT, rTE), 1e-12);

    const auto DR = test::EuclideanDistances(r.Rao());
    const double rRE = Reference::Mantel(DR, DE), rXR = Reference::Mantel(DX, DR), rTR = Reference::Mantel(DT, DR);
    EXPECT_NEAR(Evaluate(f, 1, sel), rRE, 1e-12);
    const double expectXE_TR = Reference::Partial(Reference::Partial(rXE, rXR, rRE), Reference::Partial(rXT, rXR, rTR),
                                                  Reference::Partial(rTE, rTR, rRE));
    EXPECT_NEAR(Evaluate(f, 2, sel), expectXE_TR, 1e-12);
    EXPECT_NEAR(Evaluate(f, 3, sel), Reference::Mantel(test::EuclideanDistances(r.DarkDiversity()), DE), 1e-12);

    // Crisp taxa {1,2}, {3,4}, {5}: P is W pooled by taxon.
    Matrix<double> P(5, 3);
    const int taxon[5] = {0, 0, 1, 1, 2};
    for (int c = 0; c < 5; ++c)
        for (int i = 0; i < 5; ++i) P[c][taxon[i]] += r.Wn[c][i];
    const auto DP = test::EuclideanDistances(P);
    const double rPX = Reference::Mantel(DP, DX), rPT = Reference::Mantel(DP, DT);
    EXPECT_NEAR(Evaluate(f, 4, sel), rPX, 1e-12);
    EXPECT_NEAR(Evaluate(f, 5, sel), rPT, 1e-12);
    EXPECT_NEAR(Evaluate(f, 6, sel), Reference::Partial(rPX, rXT, rPT), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Subsets, CriteriaTest,
                         ::testing::Values(Case{"all", {1, 1, 1}}, Case{"first", {1, 0, 0}}, Case{"pair", {0, 1, 1}}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Criteria, GroupedTypesKeepRaoOnTheOTUsAndCompareDarkDiversityTypeByType) {
    TinyRanking f;
    f.d.partition_OTUs = {2, 2, 1, 3, 3};
    const std::vector<int> sel{1, 1, 0};
    const Reference r(f, sel);
    const auto DE = test::EuclideanDistances(r.E);
    EXPECT_NEAR(Evaluate(f, 3, sel), Reference::Mantel(test::EuclideanDistances(r.DarkDiversity()), DE), 1e-12);
    // Rao entropy does not depend on the grouping.
    const double grouped = Evaluate(f, 1, sel);
    f.d.partition_OTUs = {1, 2, 3, 4, 5};
    EXPECT_EQ(grouped, Evaluate(f, 1, sel));
}

TEST(Criteria, NominalTraitStillGivesFiniteValuesForTheAcceptedMeanCriteria) {
    // 12, 13, 14 and 22 are hidden but accepted with a nominal trait: their
    // means are formed from the trait's codes and must stay finite.
    TinyRanking f;
    f.d.chtype = {3, 2, 3};
    const std::vector<int> sel{1, 1, 1};
    for (int code : {5, 6, 8}) EXPECT_TRUE(std::isfinite(Evaluate(f, code, sel))) << code;
}

}  // namespace
}  // namespace kolvar

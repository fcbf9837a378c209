// The driver's own computations on hand-checked data sets; what whole runs show
// (copies of W, excluded OTUs, kinds of traits and variables) is kept by the
// recorded runs of tests/scenarios/cases/FunctionalScenario.*.

#include <gtest/gtest.h>

#include <cmath>

#include "QMLib/MatrixProd.hpp"
#include "QMLib/Belonging.hpp"
#include "QMLib/qmlibDim.hpp"
#include "analysis/FunctionalAnalysis.hpp"
#include "QMLib/Random.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

const auto M = Matrix<double>::FromRows;

TEST(FunctionalAnalysis, MissingAbundanceStaysMissingThroughExclusion) {
    // cadat is OTUs x communities: community 0 = (1, 2, 1), community 1 = (0, 3, missing).
    const Matrix<double> cadat = M({{1, 0}, {2, 3}, {1, kMissing}});
    WCopies w;
    FillWCopies(3, 2, cadat, w);
    EXPECT_EQ(w.richness[1], 1);
    AdjustWCopies(2, 3, w, {1, 1, 0}, true, true, 0, GetOTUExclusion(3, {1, 1, 0}, false));
    EXPECT_EQ(w.W[1][2], kMissing);
    EXPECT_EQ(w.Wfw[1][2], kMissing);
    EXPECT_DOUBLE_EQ(w.W[1][1], 1.0);
}

TEST(FunctionalAnalysis, NominalReseNonHierOptions) {
    const Matrix<double> data = M({{1, 2}, {3, 5}});
    Matrix<double> d6(2, 2), d7(2, 2), d8(2, 2), d9(2, 2), d10(2, 2), other(2, 2);
    NominalReseNonHier(2, 2, data, d6, 6);
    NominalReseNonHier(2, 2, data, d7, 7);
    NominalReseNonHier(2, 2, data, d8, 8);
    NominalReseNonHier(2, 2, data, d9, 9);
    EXPECT_DOUBLE_EQ(d6[0][1], std::sqrt(13.0));
    EXPECT_EQ(d6[0][1], d7[0][1]);
    EXPECT_DOUBLE_EQ(d8[0][1], 5.0);
    EXPECT_DOUBLE_EQ(d8[1][0], 5.0);
    EXPECT_EQ(d8[0][1], d9[0][1]);
    const Matrix<double> axes = M({{2, 0}, {0, 3}});
    NominalReseNonHier(2, 2, axes, d10, 10);
    EXPECT_NEAR(d10[0][1], std::sqrt(2.0), 1e-12);
    other.fill(42.0);
    NominalReseNonHier(2, 2, data, other, 3);
    EXPECT_EQ(other[0][1], 42.0);
}

TEST(FunctionalAnalysis, OnlyNominalTraitsAreQualitative) {
    const int types[] = {3, 2, 1};
    EXPECT_TRUE(HasQualitTrait(3, types));
    const int quant[] = {3, 4, 1};
    EXPECT_FALSE(HasQualitTrait(3, quant));
}

struct Visit {
    std::vector<int> select;
    int iteration;
    long long total;
    int k;
};

std::vector<Visit> Subsets(const std::vector<double>& weight, bool comb, int nMin, int nMax) {
    Random rnd = test::Seeded(1);
    std::vector<Visit> out;
    ForEachTraitSubset(rnd, static_cast<int>(weight.size()), weight, comb, nMin, nMax,
                       [&](const std::vector<int>& s, int it, long long total, int k) {
                           out.push_back({s, it, total, k});
                       });
    return out;
}

TEST(FunctionalAnalysis, TraitSubsetsEnumerationAndSkipRules) {
    auto all = Subsets({1, 1, 1, 1}, false, 4, 4);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].select, (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(all[0].k, 4);

    auto deselected = Subsets({1, 0, 1, 1}, false, 4, 4);
    ASSERT_EQ(deselected.size(), 1u);
    EXPECT_EQ(deselected[0].select, (std::vector<int>{1, 0, 1, 1}));
    EXPECT_EQ(deselected[0].k, 3);

    // Sizes 2 and 3 of four traits with trait 2 deselected: the subsets holding
    // it are skipped and not counted; the total counts every subset.
    auto comb = Subsets({1, 0, 1, 1}, true, 2, 3);
    ASSERT_EQ(comb.size(), 4u);
    EXPECT_EQ(comb[0].select, (std::vector<int>{1, 0, 1, 0}));
    EXPECT_EQ(comb[1].select, (std::vector<int>{1, 0, 0, 1}));
    EXPECT_EQ(comb[2].select, (std::vector<int>{0, 0, 1, 1}));
    EXPECT_EQ(comb[3].select, (std::vector<int>{1, 0, 1, 1}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(comb[i].iteration, i + 1);
        EXPECT_EQ(comb[i].total, 10);
    }
    EXPECT_EQ(comb[3].k, 3);

    auto singles = Subsets({1, 1, 1}, true, 1, 1);
    ASSERT_EQ(singles.size(), 3u);
    EXPECT_EQ(singles[2].select, (std::vector<int>{0, 0, 1}));
}

TEST(FunctionalAnalysis, AverageTraitMatrixLeavesMissingOutButCountsMembers) {
    const Matrix<double> B = M({{1, 10}, {2, kMissing}, {3, 30}, {4, 40}});
    Matrix<double> avg;
    AverageTraitMatrix(4, 2, B, {2, 1, 2, 1}, {1, 2}, avg);
    ASSERT_EQ(avg.rows(), 2u);
    EXPECT_DOUBLE_EQ(avg[0][0], 3.0);
    EXPECT_DOUBLE_EQ(avg[0][1], 20.0);
    EXPECT_DOUBLE_EQ(avg[1][0], 2.0);
    EXPECT_DOUBLE_EQ(avg[1][1], 20.0);
}

TEST(FunctionalAnalysis, WeightedProductsAsTheDriverUsesThem) {
    // Copy 2 of community 0 = (0.25, 0.5, 0.25); one trait (2, 4, 6).
    const Matrix<double> W = M({{0.25, 0.5, 0.25}});
    const Matrix<double> B = M({{2}, {4}, {6}});
    const int select[] = {1};
    Matrix<double> T(1, 1), Tin(1, 1), Tout(1, 1);
    const int all[] = {1, 1, 1}, in[] = {1, 1, 0}, out[] = {0, 0, 1};
    MatrixProdSelectMV_Adjust_Weight(1, 3, 3, 1, W, B, T, select, all);
    MatrixProdSelectMV_Adjust_Weight(1, 3, 3, 1, W, B, Tin, select, in);
    MatrixProdSelectMV_Adjust_Weight(1, 3, 3, 1, W, B, Tout, select, out);
    EXPECT_DOUBLE_EQ(T[0][0], 4.0);
    EXPECT_DOUBLE_EQ(Tin[0][0], 2.5);
    // Without the keep-scale re-scaling, complementary OTU sets add up.
    EXPECT_DOUBLE_EQ(Tin[0][0] + Tout[0][0], T[0][0]);

    // X crisp: partition (1, 1, 2).
    const int partition[] = {1, 1, 2};
    Matrix<double> Uc(3, 2), X(1, 2), Xr(1, 2);
    CrispBelonging(3, 2, partition, Uc);
    MatrixProdSelectMV_Adjust_Weight(1, 3, 3, 2, W, Uc, X, nullptr, in, false);
    MatrixProdSelectMV_Adjust_Weight(1, 3, 3, 2, W, Uc, Xr, nullptr, in, true);
    EXPECT_DOUBLE_EQ(X[0][0], 0.75);
    EXPECT_DOUBLE_EQ(X[0][1], 0.25);
    EXPECT_DOUBLE_EQ(Xr[0][0], 0.75);
    EXPECT_DOUBLE_EQ(Xr[0][1], 0.0);
}

}  // namespace
}  // namespace kolvar

// The driver's own computations on hand-checked data sets, and whole runs of
// PFTs_ScalingUp on a small in-memory data set.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "QMLib/MatrixProd.hpp"
#include "QMLib/Belonging.hpp"
#include "QMLib/qmlibDim.hpp"
#include "analysis/FunctionalAnalysis.hpp"
#include "QMLib/Random.hpp"
#include "support/BaseConsole.hpp"
#include "support/Parts.hpp"
#include "support/Scenario.hpp"
#include "support/TestData.hpp"

namespace kolvar {
namespace {

const auto M = Matrix<double>::FromRows;

// cadat is OTUs x communities: community 0 = (1, 2, 1), community 1 = (0, 3, 1).
Matrix<double> SmallCadat() { return M({{1, 0}, {2, 3}, {1, 1}}); }

TEST(FunctionalAnalysis, WCopiesTransposeCountRichnessAndAdjustInOrder) {
    WCopies w;
    FillWCopies(3, 2, SmallCadat(), w);
    EXPECT_EQ(w.richness, (std::vector<int>{3, 2}));
    EXPECT_EQ(w.Wraw[1][1], 3.0);
    EXPECT_EQ(w.Wfw[0][1], 2.0);

    // No exclusion: copy 2 always unit totals, copy 1 only when asked.
    WCopies a = w;
    AdjustWCopies(2, 3, a, {1, 1, 1}, true, false, 0, GetOTUExclusion(3, {1, 1, 1}, true));
    EXPECT_DOUBLE_EQ(a.W[0][1], 0.5);
    EXPECT_DOUBLE_EQ(a.W[1][1], 0.75);
    EXPECT_EQ(a.Wfw[0][1], 2.0);
    EXPECT_EQ(a.Wraw[0][1], 2.0);

    // OTU 3 excluded, additivity kept: its share stays in the totals of copy 2,
    // copy 1 loses the column and is re-scaled.
    const std::vector<int> weights{1, 1, 0};
    const OTUExclusion keepAdd = GetOTUExclusion(3, weights, true);
    EXPECT_TRUE(keepAdd.exclusion);
    EXPECT_FALSE(keepAdd.keepScale);
    WCopies b = w;
    AdjustWCopies(2, 3, b, weights, true, true, 0, keepAdd);
    EXPECT_DOUBLE_EQ(b.W[0][2], 0.25);
    EXPECT_DOUBLE_EQ(b.Wfw[0][0], 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(b.Wfw[0][1], 2.0 / 3.0);
    EXPECT_EQ(b.Wfw[0][2], 0.0);
    EXPECT_DOUBLE_EQ(b.Wfw[1][1], 1.0);

    // Keep-scale: copy 2 also re-scaled over the remaining OTUs.
    const OTUExclusion keepScale = GetOTUExclusion(3, weights, false);
    EXPECT_TRUE(keepScale.keepScale);
    WCopies c = w;
    AdjustWCopies(2, 3, c, weights, true, true, 0, keepScale);
    EXPECT_DOUBLE_EQ(c.W[0][0], 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(c.W[0][1], 2.0 / 3.0);
    EXPECT_EQ(c.W[0][2], 0.0);
    EXPECT_DOUBLE_EQ(c.W[1][1], 1.0);

    // Qualitative component: each present OTU takes the row mean.
    WCopies q = w;
    AdjustWCopies(2, 3, q, {1, 1, 1}, true, true, 2, GetOTUExclusion(3, {1, 1, 1}, true));
    EXPECT_DOUBLE_EQ(q.W[0][0], 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(q.W[0][1], 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(q.W[1][1], 0.5);
    EXPECT_EQ(q.W[1][0], 0.0);
}

TEST(FunctionalAnalysis, MissingAbundanceStaysMissingThroughExclusion) {
    Matrix<double> cadat = SmallCadat();
    cadat[2][1] = kMissing;
    WCopies w;
    FillWCopies(3, 2, cadat, w);
    EXPECT_EQ(w.richness[1], 1);
    AdjustWCopies(2, 3, w, {1, 1, 0}, true, true, 0, GetOTUExclusion(3, {1, 1, 0}, false));
    EXPECT_EQ(w.W[1][2], kMissing);
    EXPECT_EQ(w.Wfw[1][2], kMissing);
    EXPECT_DOUBLE_EQ(w.W[1][1], 1.0);
}

TEST(FunctionalAnalysis, OTUWeightsLeaveBelongingColumnsAndRowsRescale) {
    Matrix<double> U = M({{0.5, 0.25, 0.25}, {0.2, 0.6, 0.2}});
    ApplyOTUWeightsToColumns(2, 3, U, {1, 0, 1});
    EXPECT_DOUBLE_EQ(U[0][0], 2.0 / 3.0);
    EXPECT_EQ(U[0][1], 0.0);
    EXPECT_DOUBLE_EQ(U[1][2], 0.5);
}

TEST(FunctionalAnalysis, DEFollowsTheKindOfE) {
    const Matrix<double> E = M({{0, 0}, {3, 4}, {6, 8}});
    Matrix<double> DE(3, 3);
    BuildDE(1, 0, 3, 2, E, {3, 3}, true, DE);
    EXPECT_DOUBLE_EQ(DE[0][1], 5.0);
    EXPECT_DOUBLE_EQ(DE[0][2], 10.0);

    // A nominal variable: 1 - Gower similarity.
    const Matrix<double> Eq = M({{1, 0}, {1, 5}, {2, 10}});
    for (int kind : {3, 5}) {
        Matrix<double> D(3, 3);
        BuildDE(kind, 1, 3, 2, Eq, {2, 3}, true, D);
        EXPECT_NEAR(D[0][1], 0.25, 1e-12) << kind;
        EXPECT_NEAR(D[0][2], 1.0, 1e-12) << kind;
        EXPECT_NEAR(D[1][2], 0.75, 1e-12) << kind;
    }
    EXPECT_EQ(Eq[0][1], 0.0);  // E itself is not changed
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

TEST(FunctionalAnalysis, QualitativeTraitsAndReorder) {
    const int types[] = {3, 2, 1};
    const int sel1[] = {1, 0, 1}, sel2[] = {0, 1, 0};
    EXPECT_FALSE(HasQualitTraitSelect(3, types, sel1));
    EXPECT_TRUE(HasQualitTraitSelect(3, types, sel2));
    EXPECT_TRUE(HasQualitTrait(3, types));
    const int quant[] = {3, 4, 1};
    EXPECT_FALSE(HasQualitTrait(3, quant));

    const int order[] = {3, 1, 2};
    int a[] = {10, 20, 30}, b[] = {1, 2, 3};
    double c[] = {0.1, 0.2, 0.3}, d[] = {5, 6, 7};
    ReorderVectors(3, order, a, b, c, d);
    EXPECT_EQ(a[0], 30);
    EXPECT_EQ(a[1], 10);
    EXPECT_EQ(b[2], 2);
    EXPECT_EQ(c[0], 0.3);
    EXPECT_EQ(d[1], 5.0);
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

// ---- whole runs on a small data set -------------------------------------------------

struct SmallRun : test::TestConsole {
    FixedClock clock{0};
    test::Parts p;
    test::ScratchDir dir;

    SmallRun() {
        InitIFLibG(con, clock);
        DataSet& d = p.data;
        d.nch = 3;
        d.ncsm = 5;
        d.tcst = 5;
        d.nenv = 1;
        AllocateWorkingStorage(d);
        d.dataName = "small ";
        d.chLabel = {"H", "S", "C"};
        d.chtype = {3, 3, 3};
        d.chrange.assign(3, 0.0);
        d.onsta = {5, 5, 2};
        d.reLabel = {"c1", "c2", "c3", "c4", "c5"};
        d.envLabel = {"moist"};
        d.envVarType = {3};
        d.optEnvVarType = 1;
        d.temEnvQuant = 1;
        d.csm_Float = M({{1, 5, 0}, {2, 3, 1}, {4, 4, 0}, {5, 1, 1}, {7, 2, 0}});
        d.cadat = M({{3, 2, 1, 0, 0}, {1, 2, 2, 1, 0}, {0, 1, 2, 2, 1}, {0, 0, 1, 2, 3}, {1, 0, 0, 1, 2}});
        d.env = M({{1}, {2}, {3}, {4}, {5}});
        d.weight.assign(3, 1.0);
        d.weight_OTUs.assign(5, 1);
        d.relSelect.assign(5, 1);
        d.eVarSelect.assign(5, 1);
        d.partition_OTUs = {1, 2, 3, 4, 5};
        d.nGrPoly[0] = 5;
        p.hier.rese_opt = 6;
        p.hier.fuzzy = 3;
        p.fa.opt_ro = 1;
        p.fa.niter = 9;
        p.fa.rseed = 7;
        p.fa.optUnitTotalAdjust2 = true;
        p.session.sessionName = "t";
        p.session.volumeName = dir.path().string() + "/";
        p.session.whichPrinda = "tPrinda.txt";
    }
    std::string Run() {
        PFTs_ScalingUp(p.Analysis(con, clock));
        return dir.Read("tPrinda.txt");
    }
};

TEST(FunctionalAnalysisRun, OneTypeWritesOnlyHeaderAndClosing) {
    SmallRun r;
    r.p.data.partition_OTUs.assign(5, 1);
    const std::string report = r.Run();
    EXPECT_NE(report.find("EXPLORATION OF COMMUNITY DATA STRUCTURES\n"), std::string::npos);
    EXPECT_NE(report.find("Number of types examined: \t1\n"), std::string::npos);
    EXPECT_EQ(report.find("The statistics shown below"), std::string::npos);
    EXPECT_NE(report.find("\nElapsed time for the analyses: 0 seconds\nMaximum number of processors used by KOLVAR: 1\n\n"),
              std::string::npos);
    EXPECT_FALSE(r.dir.Exists("tRDa.txt"));
}

TEST(FunctionalAnalysisRun, NominalTraitAndMissingEShapeTheStatistics) {
    SmallRun q;
    q.p.data.chtype = {3, 3, 2};
    const std::string withNominal = q.Run();
    EXPECT_EQ(withNominal.find("r(TE)="), std::string::npos);
    EXPECT_EQ(withNominal.find("r(TY)="), std::string::npos);
    EXPECT_NE(withNominal.find("Both TCAP and Divergence (TDAP): r(XE)=\t"), std::string::npos);
    EXPECT_NE(withNominal.find("\nr(XY)=\t"), std::string::npos);

    SmallRun n;
    n.p.data.eVarSelect.assign(5, 0);
    const std::string noE = n.Run();
    EXPECT_EQ(noE.find("r(XE)="), std::string::npos);
    EXPECT_EQ(noE.find("Convergence (TCAP)"), std::string::npos);
    EXPECT_NE(noE.find("\nr(TY)=\t"), std::string::npos);
    EXPECT_NE(noE.find("\nr(RY)=\t"), std::string::npos);
}

// A results folder that does not exist is a failure to open; a folder where the
// random-data file should be stops the run (the program maps it to status 1, silently).
TEST(FunctionalAnalysisRun, UnopenableFilesEndTheRun) {
    for (const bool randomData : {false, true}) {
        SmallRun r;
        if (randomData)
            std::filesystem::create_directory(r.dir.path() / "tRDa.txt");
        else
            r.p.session.volumeName = r.dir.path().string() + "/missing-folder/";
        EXPECT_EQ(test::FatalOf([&] { r.Run(); }), randomData ? FatalCode::Stop : FatalCode::FailToOpen);
        EXPECT_NE(r.err.str().find("can't open"), std::string::npos) << randomData;
    }
}

}  // namespace
}  // namespace kolvar

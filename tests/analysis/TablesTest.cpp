// Tables beside the report: which statistics, which columns, which values.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/Tables.hpp"
#include "support/TextFormats.hpp"

namespace kolvar {
namespace {

TEST(PrintedStatistics, LinesFollowTheReportRules) {
    struct Case {
        bool withE, quant, phyl;
        std::size_t count;
        int first;
    };
    // Counted from the report's layout: 5 TCAP/TDAP lines (3 need T), 5 Beals
    // lines (3 need T), 11 phylogeny lines: ro(BF), ro(PT)*, ro(PX), ro(PX.T)*
    // and, with E, ro(PE), ro(TE.P)*, ro(XE.P), ro(XE.TP)*, ro(PE.T)*, ro(PE.X), r(FE).
    const Case cases[] = {
        {true, true, true, 21, kTE},  {true, false, true, 10, kXE}, {false, true, true, 9, kTY},
        {false, false, true, 4, kXY}, {true, true, false, 10, kTE}, {false, false, false, 2, kXY},
    };
    for (const Case& c : cases) {
        const auto v = PrintedStatistics(c.withE, c.quant, c.phyl);
        EXPECT_EQ(v.size(), c.count) << c.withE << c.quant << c.phyl;
        EXPECT_EQ(v.front().index, c.first);
        for (const PrintedStat& p : v) EXPECT_NE(p.index, kBM);  // ro(BM) is never printed
    }
    const auto all = PrintedStatistics(true, true, true);
    EXPECT_EQ(all.back().index, kFE);
    EXPECT_EQ(all[10].label, "Phylogenetic signal at OTU (species) level ro(BF)");
}

TEST(CorrelationRows, TailsFollowTheTestOptions) {
    PermTest_FunctionalPhyl_Correl_Input in;
    for (int s = 0; s < kNumTestedStats; ++s) {
        in.obs[s] = s;
        in.prob[s] = s / 100.0;
        in.asymProb[s] = s / 50.0;
    }
    const std::vector<PrintedStat> printed = {{"simple", kTE}, {"partial", kXE_T}};
    auto rows = CorrelationRows(in, printed, true);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].observed, kTE);
    EXPECT_EQ(rows[1].P, static_cast<int>(kXE_T) / 100.0);
    EXPECT_EQ(rows[1].asymP, static_cast<int>(kXE_T) / 50.0);
    EXPECT_EQ(rows[0].pTail, "upper");
    EXPECT_EQ(rows[0].asymTail, "upper");
    EXPECT_EQ(rows[1].pTail, "absolute");
    EXPECT_EQ(rows[1].asymTail, "two-sided");
    rows = CorrelationRows(in, printed, false);  // one-tailed partial tests
    EXPECT_EQ(rows[1].pTail, "upper");
    EXPECT_EQ(rows[1].asymTail, "two-sided");  // the asymmetry-based P stays two-sided
}

TEST(RegressionRows, ResponsesFactorsAndIntercepts) {
    RegressionResults r;
    r.Allocate(4, 2);  // traits a, b, then Rf and Rp
    for (int k = 0; k < 4; ++k) {
        r.obs.rSquare[k] = 0.1 * (k + 1);
        r.intercept[k] = 10 + k;
        for (int e = 0; e < 2; ++e) r.obs.coeff[e][k] = 100 * (k + 1) + e;
    }
    const std::vector<std::string> traits = {"a", "b"};
    const std::vector<std::string> env = {"alt", "snow"};
    auto rows = RegressionRows(r, traits, {0, 1}, true, env, true);
    // b, Rf, Rp: r-square, two coefficients and the intercept each.
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[0].response, "b");
    EXPECT_DOUBLE_EQ(rows[0].observed, 0.2);
    EXPECT_EQ(rows[2].factor, "snow");
    EXPECT_DOUBLE_EQ(rows[2].observed, 201);
    EXPECT_EQ(rows[2].pTail, "absolute");
    EXPECT_EQ(rows[3].statistic, "intercept");
    EXPECT_EQ(rows[3].P, -999.0);
    EXPECT_EQ(rows[4].response, "Rf");
    EXPECT_DOUBLE_EQ(rows[4].observed, 0.3);
    EXPECT_EQ(rows[8].response, "Rp");
    // A subset with a nominal trait has no trait responses; no phylogeny, no Rp.
    rows = RegressionRows(r, traits, {1, 1}, false, env, false);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].response, "Rf");
}

TEST(StatsTable, RowsCarryTheRunAndReadBack) {
    RunLabels run{"2026-01-02 03:04:05", "s1", "SLA Height", "taxa shuffle", 999, 12345, 6};
    StatRow r;
    r.statistic = "r(XY)";
    r.observed = 0.818096123;
    r.P = 0.001001;
    r.pTail = "upper";
    const std::string text = StatsTableHeader() + StatsTableRows(run, {r});
    const test::Table t = test::ReadTsv(text);
    ASSERT_EQ(t.rows.size(), 1u);
    const auto& row = t.rows[0];
    EXPECT_EQ(row[t.Col("run")], "2026-01-02 03:04:05");
    EXPECT_EQ(row[t.Col("subset")], "SLA Height");
    EXPECT_EQ(row[t.Col("observed")], "0.818096");
    EXPECT_EQ(row[t.Col("LL")], "NA");
    EXPECT_EQ(row[t.Col("response")], "");
    EXPECT_EQ(row[t.Col("seed")], "12345");
    EXPECT_EQ(row[t.Col("permutations")], "999");
}

TEST(CommunityTable, DiversityPartitionEquivalentsAndMissingColumns) {
    Matrix<double> T = Matrix<double>::FromRows({{1.5, -999.0, 9}, {2.5, 3.5, 9}});
    Matrix<double> scores = Matrix<double>::FromRows({{0.1, -0.1}, {0.2, -0.2}, {0.3, 0.3}});
    const std::vector<double> Rp = {0.25, 0.75};
    CommunityColumns c;
    c.labels = {"site1", "site2"};
    c.traitLabels = {"a", "b", "c"};
    c.T = &T;
    c.select = {1, 1, 0};
    c.richness = {3, 1};
    c.D = {0.5, 0.0};
    c.Rf = {0.75, 0.0};
    c.Rp = &Rp;
    c.ordinations = {{"Y", &scores, 3}, {"X", nullptr, 0}};
    RunLabels run{"r", "s", "a b", "site shuffle", 9, 1, 6};
    const test::Table t = test::ReadTsv(CommunityTableHeader(c) + CommunityTableRows(run, c));
    ASSERT_EQ(t.rows.size(), 2u);
    const auto& r0 = t.rows[0];
    EXPECT_EQ(r0[t.Col("community")], "site1");
    EXPECT_EQ(r0[t.Col("richness")], "3");
    EXPECT_EQ(r0[t.Col("T_a")], "1.5");
    EXPECT_EQ(r0[t.Col("T_b")], "NA");  // missing value
    EXPECT_EQ(r0[t.Col("T_c")], "NA");  // trait not in the subset
    EXPECT_EQ(r0[t.Col("FR")], "0");    // max(0, D - Rf)
    EXPECT_EQ(r0[t.Col("D_eq")], "2");  // 1 / (1 - 0.5)
    EXPECT_EQ(r0[t.Col("Rf_eq")], "4");
    EXPECT_EQ(r0[t.Col("FR_eq")], "-2");
    EXPECT_EQ(r0[t.Col("PR")], "0.25");
    EXPECT_EQ(r0[t.Col("PR_eq")], "0.666667");  // 2 - 1 / (1 - 0.25)
    EXPECT_EQ(r0[t.Col("Y_axis1")], "0.1");
    EXPECT_EQ(r0[t.Col("Y_axis2")], "0.2");
    EXPECT_EQ(r0[t.Col("X_axis1")], "NA");
    EXPECT_EQ(t.rows[1][t.Col("D_eq")], "1");
    EXPECT_EQ(t.rows[1][t.Col("Rp_eq")], "4");
    EXPECT_EQ(t.rows[1][t.Col("Y_axis2")], "-0.2");
    // A subset with a nominal trait has no T at all.
    c.T = nullptr;
    const test::Table u = test::ReadTsv(CommunityTableHeader(c) + CommunityTableRows(run, c));
    EXPECT_EQ(u.rows[1][u.Col("T_a")], "NA");
}

TEST(RankingTable, OneRowPerSubsetWithSizeAndLabels) {
    RunLabels run{"r", "s", "", "", 0, 0, 4};
    const std::vector<RankingRow> rows = {{{"SLA"}, 0.123456}, {{"SLA", "Height"}, -999.0}};
    const test::Table t = test::ReadTsv(RankingTableHeader() + RankingTableRows(run, "ro(TE)", rows));
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0][t.Col("size")], "1");
    EXPECT_EQ(t.rows[0][t.Col("value")], "0.1235");
    EXPECT_EQ(t.rows[1][t.Col("traits")], "SLA Height");
    EXPECT_EQ(t.rows[1][t.Col("size")], "2");
    EXPECT_EQ(t.rows[1][t.Col("value")], "NA");
    EXPECT_EQ(t.rows[1][t.Col("criterion")], "ro(TE)");
}

TEST(RunLabelsText, NullModelAndSubset) {
    EXPECT_EQ(NullModelText('t', 1, false, true), "taxa shuffle, restricted within nesting groups, with bootstrap");
    EXPECT_EQ(NullModelText('s', 1, true, false), "site shuffle");
    EXPECT_EQ(SubsetText({"a", "b", "c"}, {1, 0, 1}), "a c");
    EXPECT_EQ(LabelsOfSelected({"a", "b", "c"}, {0, 1, 1}), (std::vector<std::string>{"b", "c"}));
}

}  // namespace
}  // namespace kolvar

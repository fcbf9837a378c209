// Tables beside the report. Which statistics, columns and values the tables of
// real runs hold is kept by the recorded runs in tests/scenarios/cases/ (with
// the report's statistic lines cross-checked in ReportTest); these are the
// branches no recorded run reaches.
#include <gtest/gtest.h>

#include "analysis/Tables.hpp"
#include "support/TextFormats.hpp"

namespace kolvar {
namespace {

TEST(CommunityTable, RedundancyAboveDiversityLeavesNoFunctionalRichness) {
    CommunityColumns c;
    c.labels = {"site1"};
    c.richness = {3};
    c.D = {0.5};
    c.Rf = {0.75};
    RunLabels run{"r", "s", "", "site shuffle", 9, 1, 6};
    const test::Table t = test::ReadTsv(CommunityTableHeader(c) + CommunityTableRows(run, c));
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.rows[0][t.Col("FR")], "0");  // max(0, D - Rf)
    EXPECT_EQ(t.rows[0][t.Col("D_eq")], "2");  // 1 / (1 - 0.5)
    EXPECT_EQ(t.rows[0][t.Col("FR_eq")], "-2");  // the equivalents are not clamped
}

// Ranking runs keep the default digits; the preference must reach the table.
TEST(RankingTable, ValuesFollowTheDigitsPreference) {
    RunLabels run{"r", "s", "", "", 0, 0, 4};
    const std::vector<RankingRow> rows = {{{"SLA"}, 0.123456}, {{"SLA", "Height"}, -999.0}};
    const test::Table t = test::ReadTsv(RankingTableHeader() + RankingTableRows(run, "ro(TE)", rows));
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0][t.Col("value")], "0.1235");
    EXPECT_EQ(t.rows[1][t.Col("value")], "NA");
}

}  // namespace
}  // namespace kolvar

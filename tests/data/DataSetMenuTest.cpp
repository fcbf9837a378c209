#include <gtest/gtest.h>

#include "data/DataSetMenu.hpp"

namespace kolvar {
namespace {

const auto Rows = Matrix<double>::FromRows;

// Means of groups, missing values taking no part, and the pairs of a change or the
// windows of a series show in the stored files of the DataSetScenario cases
// (DataSetScenario.MissingEnvironmentalValuesTakeNoPartInNewCommunities for the
// missing values). The program pools columns only and keeps the means; the
// option that keeps the total and the pooling of rows are checked here.
TEST(DataSetMenu, ConcentrateGroupsKeepsTheTotalAndPoolsRows) {
    // Two OTUs (own row groups), four communities: the first three form group 1.
    const Matrix<double> x = Rows({{1, 2, 6, 10}, {0, 3, -999, 4}});
    Matrix<double> y(2, 2);
    // Option 1 keeps the total: sums 9+10+3+4 = 26, means 3+10+1.5+4 = 18.5.
    ConcentrateGroups(2, 4, x, y, 2, {1, 2}, 2, {1, 1, 1, 2}, 1);
    EXPECT_DOUBLE_EQ(y[0][0], 3.0 * 26.0 / 18.5);
    EXPECT_NEAR(y[0][0] + y[0][1] + y[1][0] + y[1][1], 26.0, 1e-12);

    // Rows pooled too: one row group of both OTUs.
    Matrix<double> z(1, 1);
    ConcentrateGroups(2, 2, Rows({{1, 2}, {3, 6}}), z, 1, {1, 1}, 1, {1, 1}, 2);
    EXPECT_DOUBLE_EQ(z[0][0], 3.0);
}

// The labels and order of the paired communities are asked in the
// DataSetScenario.ChangeLabelsAreCutToFourCharacters and
// DataSetScenario.ChangeBetweenPairedCommunitiesInBothOrders cases.

}  // namespace
}  // namespace kolvar
